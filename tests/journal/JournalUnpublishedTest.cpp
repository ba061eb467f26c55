// The readings still to go to the MQTT broker: a batch's new readings among ones the journal held
// already, what an acknowledgement and a prune leave, and the publisher's paging through them.
#include "JournalFixture.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>

namespace vantrell::testing {
namespace {

// A reading still to go, as channel and record number of the memory below.
using Pending = std::pair<int, int>;

constexpr UtcSeconds firstUtc = 1772319600; // 2026-03-01T00:00 in Berlin
constexpr UtcSeconds step = 600;

UtcSeconds timeOf(int record) {
    return firstUtc + record * step;
}

class JournalUnpublishedTest : public JournalTest {
protected:
    // Records 2, 3 and 6 of an eight-record memory recorded with the broker off, then all of it
    // with the broker on: records 0-1, 4-5 and 7 of each channel are to go.
    void SetUp() override {
        JournalTest::SetUp();
        const std::vector<Reading> known{all[2], all[3], all[6]};
        StoredReadings stored;
        ASSERT_EQ(journal->recordReadings(batchOf(known), stored).text, "");
        LoggerReadings batch = batchOf(all);
        batch.toPublish = true;
        ASSERT_EQ(journal->recordReadings(batch, stored).text, "");
        ASSERT_EQ(stored.added, 4 * 5);
    }

    // What the publisher would send, `page` readings at a time, and the markers it went through.
    std::vector<Pending> pending(int page = 100) {
        std::vector<Pending> out;
        std::vector<UnpublishedReading> batch;
        std::int64_t afterSeq = 0;
        UtcSeconds afterUtc = 0;
        do {
            EXPECT_EQ(journal->unpublishedReadings(afterSeq, afterUtc, page, batch).text, "");
            for (const UnpublishedReading &r : batch) {
                out.emplace_back(r.channel, int((r.utc - firstUtc) / step));
                afterSeq = r.seq;
                afterUtc = r.utc;
                if (std::find(seqs.begin(), seqs.end(), r.seq) == seqs.end())
                    seqs.push_back(r.seq);
            }
        } while (int(batch.size()) == page);
        return out;
    }

    StationZone zone{"Europe/Berlin"};
    std::vector<Reading> all = memory(8);
    std::vector<std::int64_t> seqs;
};

TEST_F(JournalUnpublishedTest, MarkersCoverTheNewReadingsOnlyAndMoveOnAsAcknowledged) {
    std::vector<Pending> everything;
    for (int c = 1; c <= 4; ++c)
        for (int record : {0, 1, 4, 5, 7})
            everything.emplace_back(c, record);
    // Markers in the order recorded: channel 1's three stretches first.
    struct Case {
        const char *legend;
        std::vector<std::pair<int, int>> acknowledged; // marker index -> up to record
        int pruneBefore;                               // record
        std::vector<Pending> gone;                     // besides the pruned ones
    };
    const std::vector<Case> cases{
        {"nothing acknowledged", {}, 0, {}},
        {"a stretch's first reading", {{0, 0}}, 0, {{1, 0}}},
        {"whole stretches", {{0, 1}, {4, 5}}, 0, {{1, 0}, {1, 1}, {2, 4}, {2, 5}}},
        {"a single reading's stretch", {{2, 7}}, 0, {{1, 7}}},
        {"pruning clips a stretch", {}, 5, {}},
    };
    int fresh = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.legend);
        journal.reset();
        file = folder / ("journal" + std::to_string(++fresh) + ".sqlite");
        seqs.clear();
        SetUp();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(pending(), everything);
        ASSERT_EQ(seqs.size(), 4u * 3);
        std::map<std::int64_t, UtcSeconds> acknowledged;
        for (const auto &[marker, record] : c.acknowledged)
            acknowledged[seqs[std::size_t(marker)]] = timeOf(record);
        ASSERT_EQ(journal->markPublished(acknowledged).text, "");
        if (c.pruneBefore != 0) {
            ASSERT_EQ(journal->prune(timeOf(c.pruneBefore)).text, "");
        }
        std::vector<Pending> left;
        for (const Pending &p : everything)
            if (p.second >= c.pruneBefore &&
                std::find(c.gone.begin(), c.gone.end(), p) == c.gone.end())
                left.push_back(p);
        EXPECT_EQ(pending(), left);
        EXPECT_EQ(pending(3), left);
        std::int64_t count = -1;
        ASSERT_EQ(journal->unpublishedCount(count).text, "");
        EXPECT_EQ(count, std::int64_t(left.size()));
    }
}

} // namespace
} // namespace vantrell::testing
