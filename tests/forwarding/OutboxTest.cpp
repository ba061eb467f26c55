// The outbox in virtual time with stand-in mail sessions and the simulated GSM modem: when a
// failed delivery is due again, what is kept of it and for how long, and what survives a restart.
// Then retries over real servers on 127.0.0.1, which alone run in real time: the retry delivers
// the file as it was at the first try, once, or the delivery is given up when its time is up.
#include "FreePort.h"
#include "OutboxBench.h"
#include "ServerProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

namespace vantrell {
namespace {

namespace fs = std::filesystem;
using testing::contents;
using testing::freePort;
using testing::OutboxBench;
using testing::ServerProcess;
using testing::write;
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

// Mails go to stand-in sessions that end with `failure` ("": sent).
struct FakeMailBench : OutboxBench {
    FakeMailBench(std::optional<OutboxSettings> given, const std::string &failure)
        : OutboxBench(given, {}, [this, failure] {
              return std::make_unique<testing::FakeMailSession>(sent, failure);
          }) {}
    // A data file of `bytes` bytes mailed to `who`@example.org.
    void mailFile(const std::string &who, std::size_t bytes) {
        const fs::path file = folder.path() / (who + ".dat");
        write(file, std::string(bytes, 'x'));
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
        FakeMailBench b(OutboxSettings{300, 3600, 72, 250}, "451 try again later");
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
        bool outboxOn, kept;
        std::string failure, row;
        std::string who = "a";
    } cases[] = {
        {"sent", true, false, "", "mail a@example.org sent 1"},
        {"failed, with the outbox", true, true, "451 later", "mail a@example.org pending 1"},
        {"failed, with the journal alone", false, false, "451 later",
         "mail a@example.org failed 1"},
        {"an address no retry can mend", true, false, "no address",
         "mail not an@example.org failed 1", "not an"},
    };
    for (const auto &c : cases) {
        FakeMailBench b(c.outboxOn ? std::optional(OutboxSettings{}) : std::nullopt, c.failure);
        b.mailFile(c.who, 4);
        EXPECT_EQ(b.deliveries(), c.row) << c.legend;
        EXPECT_EQ(b.snapshotCount(), c.kept ? 1 : 0) << c.legend;
        EXPECT_EQ(b.sent.size(), 1u) << c.legend << ": the first try is made as always";
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

const std::string original = std::string(62 * 3, 'r') + "\xB0";
const std::string appended = std::string(62, 'n');

struct RetryBench : OutboxBench {
    RetryBench() {
        dataFile = (folder.path() / "KV12_0905_030226.dat").string();
        write(dataFile, original);
        loggerResult.path = dataFile;
    }
    // The next session appends its records to the file the failed delivery carried.
    void appendToDataFile() { write(dataFile, original + appended); }
    std::string dataFile;
};

// The mail sink is not there at the first try, the upload's folder is not: the retry delivers
// the file as it was then, once, though the next session has appended to it since.
TEST(OutboxRetry, AFailedDeliveryArrivesOnceWithTheFileAsItWas) {
    for (const bool upload : {false, true}) {
        SCOPED_TRACE(upload ? "an upload" : "a mail");
        RetryBench b;
        const testing::TempFolder root; // what the server received
        const int port = freePort();
        std::optional<ServerProcess> server;
        if (upload) {
            server.emplace("ftp_server.py", Texts{root.path().string(), "logger", "secret"});
            testing::uploadTo(b.station.devices[7], server->address());
            b.forwarding->sendDataFtp(b.request(), b.loggerResult);
        } else {
            b.station.settings.smtpHost = "127.0.0.1:" + std::to_string(port);
            b.station.devices[7][field::forwardAddress] = "data@example.org";
            b.forwarding->sendDataMail(b.request(), b.loggerResult);
        }
        ASSERT_EQ(b.pending().size(), 1u) << b.reports().back();
        const UtcSeconds created = b.pending()[0].created;
        b.appendToDataFile();
        const fs::path box = root.path() / (upload ? "ForwardData" : "mail");
        if (upload)
            fs::create_directories(box);
        else
            server.emplace("smtp_sink.py", Texts{box.string(), "", "--port", std::to_string(port)});
        ASSERT_NE(server->port(), 0);
        OutboxWorker worker = b.worker();
        for (const UtcSeconds at : {created + 299, created + 300, created + 5000})
            worker.retryDue(at);
        const fs::path arrived = upload ? box : box / "1" / "attachments";
        EXPECT_EQ(contents(arrived / "KV12_0905_030226.dat"), original) << b.lastLog();
        EXPECT_EQ(std::distance(fs::directory_iterator(box), {}), 1);
        const std::string name =
            upload ? "upload of \"./KV12_0905_030226.dat\" to \"" + server->address() + "\""
                   : "mail to \"data@example.org\"";
        EXPECT_EQ(b.lastLog(), name + " sent on try 2");
        EXPECT_EQ(b.deliveries(),
                  (upload ? "ftp " + server->address() : "mail data@example.org") + " sent 2");
        EXPECT_EQ(b.snapshotCount(), 0);
        EXPECT_EQ(contents(b.dataFile), original + appended);
        if (!upload) {
            EXPECT_EQ(contents(box / "1" / "subject"), "Data from device KV12345678");
            EXPECT_EQ(contents(box / "1" / "from"), b.station.settings.dataMailFrom);
        }
    }
}

// Nothing ever listens: each due pass is one more try, until give_up_h has passed.
TEST(OutboxRetry, ADeliveryNobodyTakesIsGivenUpWhenItsTimeIsUp) {
    const struct {
        const char *legend;
        bool upload;
        std::string name;
    } cases[] = {
        {"a mail", false, "mail to \"data@example.org\""},
        {"an upload", true, "upload of \"./KV12_0905_030226.dat\" to \"127.0.0.1:1\""},
    };
    // first_retry_s 300, max_retry_s 3600, give_up_h 1: tries at 0, 300, 900, 2100 and 3600.
    // Each pass: seconds after the first try, tries made by then.
    const std::pair<UtcSeconds, int> passes[] = {{299, 1},  {300, 2},  {899, 2}, {900, 3},
                                                 {2100, 4}, {3599, 4}, {3600, 5}};
    for (const auto &c : cases) {
        RetryBench b;
        b.settings = OutboxSettings{300, 3600, 1};
        b.restart();
        b.station.settings.smtpHost = "127.0.0.1:1";
        b.station.devices[7][field::forwardAddress] = c.upload ? "127.0.0.1:1" : "data@example.org";
        if (c.upload)
            b.forwarding->sendDataFtp(b.request(), b.loggerResult);
        else
            b.forwarding->sendDataMail(b.request(), b.loggerResult);
        ASSERT_EQ(b.pending().size(), 1u) << c.legend;
        const UtcSeconds created = b.pending()[0].created;
        EXPECT_EQ(b.snapshotCount(), 1) << c.legend;
        OutboxWorker worker = b.worker();
        for (const auto &[at, tries] : passes) {
            worker.retryDue(created + at);
            const std::vector<DeliveryRow> pending = b.pending();
            EXPECT_EQ(pending.empty() ? 5 : pending[0].tries, tries) << c.legend << " at " << at;
        }
        EXPECT_TRUE(b.pending().empty()) << c.legend;
        const std::string kind = c.upload ? "ftp 127.0.0.1:1" : "mail data@example.org";
        EXPECT_EQ(b.deliveries(), kind + " given up 5") << c.legend;
        EXPECT_TRUE(b.lastLog().starts_with(c.name + " given up after 5 tries: "))
            << c.legend << ": " << b.lastLog();
        EXPECT_EQ(b.errors().size(), 4u) << c.legend << ": three failed retries and the end";
        EXPECT_EQ(b.snapshotCount(), 0) << c.legend;
    }
}

} // namespace
} // namespace vantrell
