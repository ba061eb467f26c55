// The outbox in virtual time with stand-in mail sessions and the simulated GSM modem: when a
// failed delivery is due again, what is kept of it and for how long, and what survives a restart.
#include "OutboxBench.h"
#include "ServerProcess.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vantrell {
namespace {

namespace fs = std::filesystem;
using testing::OutboxBench;
using Texts = std::vector<std::string>;

TEST(NextTry, DoublesUpToTheLimitAndEndsWhenTheTimeIsUp) {
    const OutboxSettings settings{300, 3600, 72};
    const UtcSeconds giveUpAt = 72 * 3600;
    const struct {
        const char *legend;
        int tries;
        UtcSeconds now;
        std::optional<UtcSeconds> next;
    } cases[] = {
        {"after the first try", 1, 0, 300},
        {"after the second", 2, 300, 900},
        {"after the fourth", 4, 2100, 2100 + 2400},
        {"the pause stops growing at max_retry_s", 5, 4500, 4500 + 3600},
        {"many tries do not overflow the pause", 400, 7200, 7200 + 3600},
        {"the last try falls on the moment it is given up", 30, giveUpAt - 100, giveUpAt},
        {"given up when give_up_h has passed", 31, giveUpAt, std::nullopt},
        {"and later", 2, giveUpAt + 1, std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(nextTry(settings, c.tries, 0, c.now), c.next) << c.legend;
}

// Every mail fails; each attachment is 100 bytes.
struct CapBench : OutboxBench {
    explicit CapBench(std::uint64_t limit)
        : OutboxBench(OutboxSettings{300, 3600, 72, limit}, {}, [this] {
              return std::make_unique<testing::FakeMailSession>(sent, "451 try again later");
          }) {}
    void mailFile(const std::string &who, std::size_t bytes) {
        const fs::path file = folder.path() / (who + ".dat");
        testing::write(file, std::string(bytes, 'x'));
        loggerResult.path = file.string();
        station.devices[7][field::forwardAddress] = who + "@example.org";
        forwarding->sendDataMail(request(), loggerResult);
    }
    std::vector<MailMessage> sent;
};

TEST(OutboxSnapshots, TheOldestPendingDeliveriesMakeRoomAndSayWhy) {
    const struct {
        const char *legend;
        std::vector<std::size_t> sizes; // of mails to a, b, c ... in order
        std::string pending, givenUp;   // their recipients' letters
    } cases[] = {
        {"room for all", {100, 100}, "ab", ""},
        {"the oldest makes room", {100, 100, 100}, "bc", "a"},
        {"as many as it takes", {100, 100, 200}, "c", "ab"},
        {"one that could never fit gives up itself", {100, 300}, "a", "b"},
    };
    for (const auto &c : cases) {
        CapBench b(250);
        std::string who = "a";
        for (const std::size_t size : c.sizes) {
            b.mailFile(who, size);
            ++who[0];
        }
        std::string pending;
        for (const DeliveryRow &row : b.pending()) {
            pending += row.recipient.front();
            EXPECT_TRUE(fs::exists(row.snapshot)) << c.legend << ": " << row.snapshot;
        }
        EXPECT_EQ(pending, c.pending) << c.legend;
        Texts errors;
        for (const char gone : c.givenUp)
            errors.push_back("mail to \"" + std::string(1, gone) +
                             "@example.org\" given up after 1 "
                             "try: the outbox's snapshots would exceed 250 bytes");
        EXPECT_EQ(b.errors(), errors) << c.legend;
        EXPECT_EQ(b.snapshotCount(), int(c.pending.size())) << c.legend;
    }
}

// Whether a delivery is recorded, kept, or neither.
TEST(OutboxRecords, EveryDeliveryIsRecordedAndOnlyAMendableFailureKept) {
    const struct {
        const char *legend;
        bool outboxOn;
        std::string failure, address;
        std::string row;
        bool kept;
    } cases[] = {
        {"sent", true, "", "a@example.org", "mail a@example.org sent 1", false},
        {"failed, with the outbox", true, "451 later", "a@example.org",
         "mail a@example.org pending 1", true},
        {"failed, with the journal alone", false, "451 later", "a@example.org",
         "mail a@example.org failed 1", false},
        {"an address no retry can mend", true, "no address", "not an address",
         "mail not an address failed 1", false},
    };
    for (const auto &c : cases) {
        std::vector<MailMessage> sent;
        OutboxBench b(c.outboxOn ? std::optional(OutboxSettings{}) : std::nullopt, {},
                      [&sent, failure = c.failure] {
                          return std::make_unique<testing::FakeMailSession>(sent, failure);
                      });
        const fs::path file = b.folder.path() / "KV12.dat";
        testing::write(file, "data");
        b.loggerResult.path = file.string();
        b.station.devices[7][field::forwardAddress] = c.address;
        b.forwarding->sendDataMail(b.request(), b.loggerResult);
        EXPECT_EQ(b.deliveries(), c.row) << c.legend;
        EXPECT_EQ(b.snapshotCount(), c.kept ? 1 : 0) << c.legend;
        EXPECT_EQ(sent.size(), 1u) << c.legend << ": the first try is made as always";
    }
}

// The modem answers the first message ERROR; the retry, on the loop, goes out once.
TEST(OutboxSms, AnSmsAnsweredErrorGoesOutOnceOnTheNextDuePass) {
    for (const bool restarted : {false, true}) {
        const char *legend = restarted ? "after a restart" : "the same outbox";
        OutboxBench b(OutboxSettings{}, {{sim::FaultKind::smsRefused, 1}});
        b.forwarding->alarm().sendSms("+4911", "Alarm 1");
        ASSERT_TRUE(b.modem.messages().empty()) << legend;
        ASSERT_EQ(b.pending().size(), 1u) << legend;
        const UtcSeconds created = b.pending()[0].created;
        if (restarted)
            b.restart();
        SmsModem modem(b.station.line(), b.smsPort, b.station.modemPortNumber);
        b.runUntil(created + 299);
        b.outbox->retryDueSms(modem);
        EXPECT_TRUE(b.modem.messages().empty()) << legend << ": not due yet";
        b.runUntil(created + 300);
        b.outbox->retryDueSms(modem);
        b.world.runFor(600);
        b.outbox->retryDueSms(modem);
        ASSERT_EQ(b.modem.messages().size(), 1u) << legend;
        EXPECT_EQ(b.modem.messages()[0].number, "+4911") << legend;
        EXPECT_EQ(b.modem.messages()[0].text, "Alarm 1") << legend;
        EXPECT_EQ(b.deliveries(), "sms +4911 sent 2") << legend;
        EXPECT_EQ(b.lastLog(), "SMS to \"+4911\" sent on try 2") << legend;
    }
}

// A phone book of failed alarms does not hold the loop: a few go out at each pass.
TEST(OutboxSms, ManyDueGoOutAFewAtEachPass) {
    OutboxBench b(OutboxSettings{}, {{sim::FaultKind::smsRefused, 5}});
    for (int k = 1; k <= 5; ++k)
        b.forwarding->alarm().sendSms("+49" + std::to_string(k), "Alarm");
    ASSERT_EQ(b.pending().size(), 5u);
    SmsModem modem(b.station.line(), b.smsPort, b.station.modemPortNumber);
    b.world.runFor(3600);
    std::vector<std::size_t> sentAfterPass;
    for (int pass = 0; pass < 3; ++pass) {
        b.outbox->retryDueSms(modem);
        sentAfterPass.push_back(b.modem.messages().size());
    }
    EXPECT_EQ(sentAfterPass, (std::vector<std::size_t>{3, 5, 5}));
    EXPECT_EQ(b.modem.messages().front().number, "+491") << "the longest due first";
}

TEST(OutboxWorker, StopEndsTheThreadAtOnce) {
    OutboxBench b;
    OutboxWorker worker = b.worker();
    worker.start();
    const auto asked = std::chrono::steady_clock::now();
    worker.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(1));
    EXPECT_TRUE(b.errors().empty()) << b.errors().front();
}

} // namespace
} // namespace vantrell
