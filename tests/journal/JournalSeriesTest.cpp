// The reads plots make: a channel over any range in a bounded number of points with the true
// extremes, and the channels a device has read.
#include "JournalFixture.h"
#include "journal/Schema.h"

#include <algorithm>

namespace vantrell::testing {
namespace {

constexpr UtcSeconds day = 86400;
constexpr int days = 400;
constexpr int perDay = 144;                     // one reading every ten minutes
constexpr UtcSeconds firstReading = 1772323200; // 2026-03-01 00:00 UTC
constexpr UtcSeconds end = firstReading + days * day;
constexpr const char *serial = "KV12345678";

// 400 days of four channels written once for every case: channel c reads c * 10 + record number,
// so the extremes of a range are its first and last reading.
class ReadingSeries : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const StationZone utc("UTC");
        folder_ = new TempFolder;
        const auto readings = memory(days * perDay);
        StoredReadings stored;
        ASSERT_EQ(Journal::open(*folder_ / "journal.sqlite", Journal::Access::write, journal_).text,
                  "");
        ASSERT_EQ(journal_->recordReadings(batchOf(readings), stored).text, "");
        ASSERT_EQ(stored.added, 4 * days * perDay);
    }
    static void TearDownTestSuite() {
        journal_.reset();
        delete folder_;
    }

    static inline TempFolder *folder_ = nullptr;
    static inline std::unique_ptr<Journal> journal_;
};

TEST_F(ReadingSeries, AnyRangeStaysWithinThePointsAndKeepsTheExtremes) {
    struct Case {
        const char *legend;
        SeriesRequest request;
        std::int64_t bucketSeconds;
        std::size_t size;
    };
    const std::vector<Case> cases{
        {"1 day: single readings", {serial, 3, end - day, end, 1000}, 0, perDay},
        {"7 days: more readings than points, hourly",
         {serial, 3, end - 7 * day, end, 1000},
         3600,
         7 * 24},
        {"7 days, few points: daily", {serial, 3, end - 7 * day, end, 100}, day, 7},
        {"all: daily", {serial, 3, {}, {}, 1000}, day, days},
        {"all, more than any page gets", {serial, 2, {}, {}, 100000}, day, days},
        {"all, 100 points: four days merged", {serial, 3, {}, {}, 100}, 4 * day, 100},
        {"all, 7 points: 58 days merged", {serial, 3, {}, {}, 7}, 58 * day, 7},
        {"a nonsense request still gets a point", {serial, 3, {}, {}, 0}, 400 * day, 1},
        {"a logger never read", {"KV00000000", 1, {}, {}, 500}, 0, 0},
        {"a channel out of range", {serial, 5, {}, {}, 500}, 0, 0},
        {"before the first reading", {serial, 1, 0, firstReading, 500}, 0, 0},
        {"an empty range", {serial, 1, firstReading + day, firstReading + day, 500}, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        Series series;
        series.points.resize(1); // left over
        ASSERT_EQ(journal_->readingSeries(c.request, series).text, "");
        EXPECT_EQ(series.channel.serial, c.request.serial);
        ASSERT_EQ(series.points.size(), c.size);
        if (c.size == 0)
            continue;
        EXPECT_EQ(series.channel.name, "Kanal " + std::to_string(c.request.channel));
        EXPECT_EQ(series.channel.unit, "°C");
        EXPECT_EQ(series.bucketSeconds, c.bucketSeconds);

        const UtcSeconds from = c.request.since.value_or(firstReading);
        const double first = 10 * c.request.channel + double(from - firstReading) / 600;
        const double last = 10 * c.request.channel + double(end - firstReading) / 600 - 1;
        double lowest = series.points.front().min, highest = lowest, sum = 0;
        std::int64_t count = 0;
        for (const SeriesPoint &p : series.points) {
            lowest = std::min(lowest, p.min);
            highest = std::max(highest, p.max);
            sum += p.mean * double(p.count);
            count += p.count;
        }
        EXPECT_EQ(series.points.front().start, from);
        EXPECT_DOUBLE_EQ(lowest, first);
        EXPECT_DOUBLE_EQ(highest, last);
        EXPECT_EQ(count, (end - from) / 600);
        EXPECT_NEAR(sum / double(count), (first + last) / 2, 1e-6);
    }
}

TEST_F(ReadingSeries, ARangeBetweenBucketsKeepsTheWholeBucketsAtItsEdges) {
    const UtcSeconds since = firstReading + 10 * day + 1800;
    Series series;
    ASSERT_EQ(journal_->readingSeries({serial, 1, since, since + 30 * day, 500}, series).text, "");
    ASSERT_EQ(series.bucketSeconds, day);
    ASSERT_EQ(series.points.size(), 31u);
    EXPECT_EQ(series.points.front().start, firstReading + 10 * day);
}

std::vector<std::string> serialsAndChannels(Journal &journal, int device) {
    std::vector<ChannelOfDevice> channels{{"left over", 1, "", ""}};
    EXPECT_EQ(journal.channelsOfDevice(device, channels).text, "");
    std::vector<std::string> out;
    for (const auto &c : channels)
        out.push_back(c.serial + "/" + std::to_string(c.channel) + " " + c.name);
    return out;
}

TEST_F(JournalTest, ADeviceListsTheChannelsOfItsLoggersNewestFirst) {
    const StationZone utc("UTC");
    const auto march = memory(3);
    const auto april = memory(3, {2026, 4, 1, 0, 0, 0});
    auto older = batchOf(april, 1, "KV11111111");
    auto newer = batchOf(march, 1, "KV22222222");
    newer.channels[1].enabled = false;
    newer.channels[3].enabled = false;
    StoredReadings stored;
    ASSERT_EQ(journal->recordReadings(newer, stored).text, "");
    ASSERT_EQ(journal->recordReadings(older, stored).text, "");
    ASSERT_EQ(journal->recordReadings(batchOf(march, 2, "KV33333333"), stored).text, "");
    // Read again later in the year: KV22222222 is now the newest of device 1.
    const auto may = memory(3, {2026, 5, 1, 0, 0, 0});
    ASSERT_EQ(journal->recordReadings(batchOf(may, 1, "KV22222222"), stored).text, "");

    const std::vector<std::string> device1{"KV22222222/1 Kanal 1", "KV22222222/2 Kanal 2",
                                           "KV22222222/3 Kanal 3", "KV22222222/4 Kanal 4",
                                           "KV11111111/1 Kanal 1", "KV11111111/2 Kanal 2",
                                           "KV11111111/3 Kanal 3", "KV11111111/4 Kanal 4"};
    EXPECT_EQ(serialsAndChannels(*journal, 1), device1);
    EXPECT_EQ(serialsAndChannels(*journal, 2).size(), 4u);
    EXPECT_TRUE(serialsAndChannels(*journal, 3).empty());

    // A journal from before plots finds them again once migrated, and one from before alarms
    // gains their table.
    journal.reset();
    EXPECT_EQ(RawConnection(file).run("DROP TABLE device_loggers; DROP TRIGGER sessions_counted; "
                                      "DROP TABLE session_totals; DROP TABLE unpublished; "
                                      "DROP TABLE alarms; PRAGMA user_version = 1"),
              "");
    ASSERT_EQ(Journal::open(file, Journal::Access::write, journal).text, "");
    EXPECT_EQ(serialsAndChannels(*journal, 1), device1);
    EXPECT_EQ(serialsAndChannels(*journal, 2).size(), 4u);
    EXPECT_EQ(RawConnection(file).run("SELECT count(*) FROM alarms; PRAGMA user_version"),
              std::to_string(journalSchemaVersion()));

    // Each channel's newest reading that the device read itself: device 2 reading KV11111111 in
    // June leaves device 1 its reading of April; a missing reading is one.
    auto june = memory(3, {2026, 6, 1, 0, 0, 0});
    june.back().values[2] = "  -----";
    ASSERT_EQ(journal->recordReadings(batchOf(june, 2, "KV11111111"), stored).text, "");
    const auto latest = [&](int device) {
        std::vector<LatestReading> rows(1); // left over
        EXPECT_EQ(journal->latestReadings(device, rows).text, "");
        std::vector<std::string> out;
        for (const auto &r : rows)
            out.push_back(r.serial + "/" + std::to_string(r.channel) + " " + isoUtc(r.utc) + " " +
                          (r.value ? std::to_string(int(*r.value)) : "none"));
        return out;
    };
    EXPECT_EQ(latest(1).size(), 8u);
    EXPECT_EQ(latest(1).front(), "KV11111111/1 2026-04-01T00:20:00Z 12");
    EXPECT_EQ(latest(1).back(), "KV22222222/4 2026-05-01T00:20:00Z 42");
    EXPECT_EQ(latest(2)[1], "KV11111111/2 2026-06-01T00:20:00Z none");
    EXPECT_EQ(latest(2).size(), 8u);
    EXPECT_TRUE(latest(3).empty());
}

} // namespace
} // namespace vantrell::testing
