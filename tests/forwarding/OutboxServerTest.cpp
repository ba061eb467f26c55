// Retries over real servers on 127.0.0.1: the first try fails, the data file grows, and the retry
// delivers the file as it was, once; or the server never comes and the delivery is given up. The
// station and the retry passes run in virtual time; only the servers run in real time.
#include "FreePort.h"
#include "OutboxBench.h"
#include "ServerProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

namespace vantrell {
namespace {

namespace fs = std::filesystem;
using testing::contents;
using testing::freePort;
using testing::OutboxBench;
using testing::ServerProcess;
using testing::write;

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

TEST(OutboxRetry, AFailedMailArrivesOnceWithTheFileAsItWas) {
    RetryBench b;
    const int port = freePort();
    b.station.settings.smtpHost = "127.0.0.1:" + std::to_string(port);
    b.station.devices[7][field::forwardAddress] = "data@example.org";
    b.forwarding->sendDataMail(b.request(), b.loggerResult);
    ASSERT_EQ(b.pending().size(), 1u) << b.progress.texts(ProgressLine::detail).back();
    const UtcSeconds created = b.pending()[0].created;
    b.appendToDataFile();
    const fs::path box = b.folder.path() / "mail";
    ServerProcess sink("smtp_sink.py", {box.string(), "", "--port", std::to_string(port)});
    ASSERT_EQ(sink.port(), port);
    OutboxWorker worker = b.worker();
    for (const UtcSeconds at : {created + 299, created + 300, created + 5000})
        worker.retryDue(at);
    ASSERT_TRUE(fs::exists(box / "1")) << b.lastLog();
    EXPECT_FALSE(fs::exists(box / "2"));
    EXPECT_EQ(contents(box / "1" / "attachments" / "KV12_0905_030226.dat"), original);
    EXPECT_EQ(contents(box / "1" / "subject"), "Data from device KV12345678");
    EXPECT_EQ(contents(box / "1" / "from"), b.station.settings.dataMailFrom);
    EXPECT_EQ(b.deliveries(), "mail data@example.org sent 2");
    EXPECT_EQ(b.lastLog(), "mail to \"data@example.org\" sent on try 2");
    EXPECT_EQ(b.snapshotCount(), 0);
    EXPECT_EQ(contents(b.dataFile), original + appended);
}

TEST(OutboxRetry, AFailedUploadLandsOnceWithTheFileAsItWas) {
    RetryBench b;
    const testing::TempFolder root;
    ServerProcess server("ftp_server.py", {root.path().string(), "logger", "secret"});
    ASSERT_NE(server.port(), 0);
    DeviceRecord &d = b.station.devices[7];
    d[field::forwardAddress] = server.address();
    d[field::forwardUser] = "logger";
    d[field::forwardPassword] = "secret";
    d[field::ftpRootDirectory] = "/ForwardData";
    b.forwarding->sendDataFtp(b.request(), b.loggerResult);
    ASSERT_EQ(b.pending().size(), 1u) << b.progress.texts(ProgressLine::detail).back();
    const UtcSeconds created = b.pending()[0].created;
    b.appendToDataFile();
    fs::create_directories(root.path() / "ForwardData");
    OutboxWorker worker = b.worker();
    for (const UtcSeconds at : {created + 299, created + 300, created + 5000})
        worker.retryDue(at);
    const fs::path uploaded = root.path() / "ForwardData" / "KV12_0905_030226.dat";
    EXPECT_EQ(fs::exists(uploaded) ? contents(uploaded) : "none", original);
    EXPECT_EQ(std::distance(fs::directory_iterator(root.path() / "ForwardData"), {}), 1);
    EXPECT_EQ(b.deliveries(), "ftp " + server.address() + " sent 2");
    EXPECT_EQ(b.lastLog(),
              "upload of \"./KV12_0905_030226.dat\" to \"" + server.address() + "\" sent on try 2");
    EXPECT_EQ(b.snapshotCount(), 0);
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
    const struct {
        UtcSeconds at;
        int tries;
    } passes[] = {{299, 1}, {300, 2}, {899, 2}, {900, 3}, {2100, 4}, {3599, 4}, {3600, 5}};
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
        for (const auto &pass : passes) {
            worker.retryDue(created + pass.at);
            const std::vector<DeliveryRow> pending = b.pending();
            const int tries = pending.empty() ? 5 : pending[0].tries;
            EXPECT_EQ(tries, pass.tries) << c.legend << " at " << pass.at;
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
