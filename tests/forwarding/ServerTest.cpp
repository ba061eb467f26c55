// Deliveries over real servers on 127.0.0.1: Debian's aiosmtpd receives the mails, pyftpdlib
// the upload, up to a whole schedule time from the first tick to the report mail. The station
// runs in virtual time; only the servers run in real time.
#include "ForwardingBench.h"
#include "ServerProcess.h"
#include "TempFolder.h"
#include "cycle/CycleBench.h"
#include "forwarding/CurlFtpSession.h"
#include "forwarding/CurlMailSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace vantrell {
namespace {

namespace fs = std::filesystem;
using testing::contents;
using testing::ServerProcess;
using testing::write;
using Folder = testing::TempFolder;

// A station whose deliveries are real, with an SMTP sink (or a misbehaving server) beside it.
struct RealBench : testing::ForwardingBench {
    explicit RealBench(const std::string &mode = "")
        : sink("smtp_sink.py", {(folder.path() / "mail").string(), mode}),
          real(station, {curlMailSessions(), curlFtpSessions(), smsPort}) {
        station.settings.smtpHost = sink.address();
    }
    fs::path mail(int k, const std::string &part) const {
        return folder.path() / "mail" / std::to_string(k) / part;
    }
    int mailsReceived() const {
        const fs::path box = folder.path() / "mail";
        return fs::exists(box) ? int(std::distance(fs::directory_iterator(box), {})) : 0;
    }

    Folder folder;
    ServerProcess sink;
    StationForwarding real;
};

// A data file as the writer leaves it: 62-byte records, zero bytes, 8-bit units.
std::string sampleDataFile() {
    std::string bytes(62 * 5, ' ');
    bytes.replace(0, 7, "00000  ");
    bytes[61 + 62] = '\xB0';
    std::fill(bytes.begin() + 124, bytes.begin() + 186, '\0');
    bytes.replace(186, 20, "00001  ;03-02-26;09:");
    return bytes;
}

// Names as the mail clients read them back (the sink decodes like one), and a serial that
// tries to add a header stays inside the subject.
TEST(RealMail, DataMailWithItsFileByteForByte) {
    const struct {
        const char *legend, *name, *serial, *subject;
    } cases[] = {
        {"a data file", "KV12_0905_030226.dat", "KV12345678", "Data from device KV12345678"},
        {"blanks in the name", "KV12 0905 030226.dat", "KV12345678", "Data from device KV12345678"},
        {"non-ASCII, quotes and a semicolon", "K\xC3\xBCvette \"1\";x=2.dat", "KV12345678",
         "Data from device KV12345678"},
        {"a line break in the serial", "KV12_0905_030226.dat", "KV1\r\nBcc: x@example.org",
         "Data from device KV1  Bcc: x@example.org"},
    };
    RealBench b;
    ASSERT_NE(b.sink.port(), 0);
    DeviceRecord &d = b.station.devices[7];
    d[field::smtpServer] = b.sink.address();
    d[field::forwardAddress] = "data@example.org";
    int k = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        const fs::path file = b.folder.path() / c.name;
        write(file, sampleDataFile());
        b.loggerResult.path = file.string();
        d.serialNumber(1) = c.serial;
        b.real.sendDataMail(b.request(), b.loggerResult);
        ASSERT_EQ(b.mailsReceived(), ++k) << b.reports().back();
        EXPECT_EQ(contents(b.mail(k, std::string("attachments/") + c.name)), sampleDataFile());
        EXPECT_EQ(contents(b.mail(k, "subject")), c.subject);
        EXPECT_EQ(contents(b.mail(k, "body")), "Data from device 7");
        EXPECT_EQ(contents(b.mail(k, "to")), "data@example.org");
        EXPECT_EQ(contents(b.mail(k, "from")), b.station.settings.dataMailFrom);
        const std::string raw = contents(b.mail(k, "message.eml"));
        EXPECT_NE(raw.find("\r\nDate: "), std::string::npos);
        EXPECT_NE(raw.find("\r\nMessage-ID: <"), std::string::npos);
    }
}

// A delivery keeps the loop inside libcurl for as long as the server takes; the loop's own mail
// runs the loop's idle work meanwhile (what tells the service manager the loop is alive). A retry
// on the outbox thread beside it, at the same time, runs none of it.
TEST(RealMail, DeliveriesThatFailSayWhyWithinTheirLimits) {
    const struct {
        const char *legend;
        std::string mode, reasonPart;
        int beats; // of the loop's idle work, at least: the steps are a fraction of a second
    } cases[] = {
        {"the server refuses the recipient", "--refuse", "550", 0},
        {"the server takes the connection and never answers", "--silent", "timed out", 3},
        {"nothing listens on the port", "down", "onnect", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        RealBench b(c.mode == "down" ? "" : c.mode);
        ASSERT_NE(b.sink.port(), 0);
        const std::string server = c.mode == "down" ? "127.0.0.1:1" : b.sink.address();
        const std::thread::id loop = std::this_thread::get_id();
        std::atomic<int> beats = 0;
        std::atomic<bool> elsewhere = false;
        const MailLimits limits{std::chrono::seconds(2), std::chrono::seconds(3)};
        const auto idle = [&] {
            elsewhere = elsewhere || std::this_thread::get_id() != loop;
            ++beats;
        };
        const auto send = [&server](CurlMailSession &mail) {
            mail.setServer(server);
            mail.setMailFrom("a@example.org");
            mail.setSendTo("b@example.org");
            mail.setMessageText("x");
            return mail.sendEmail();
        };
        CurlMailSession retry({}, limits);
        std::thread outbox([&] { EXPECT_FALSE(send(retry).delivered()); });
        CurlMailSession mail(idle, limits);
        const auto started = std::chrono::steady_clock::now();
        const Delivery d = send(mail);
        outbox.join();
        EXPECT_GE(beats, c.beats);
        EXPECT_FALSE(elsewhere);
        EXPECT_FALSE(d.delivered());
        EXPECT_NE(d.reason().find(c.reasonPart), std::string::npos) << d.reason();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    }
}

struct FtpBench : testing::ForwardingBench {
    FtpBench()
        : server("ftp_server.py", {root.path().string(), "logger", "secret"}),
          real(station, {curlMailSessions(), curlFtpSessions(), smsPort}) {
        testing::uploadTo(station.devices[7], server.address());
    }
    Folder root;
    Folder local;
    ServerProcess server;
    StationForwarding real;
};

TEST(RealFtp, TheUploadLandsInTheRootFolderUnderItsNameOrSaysWhyNot) {
    const std::string sent = "sending data to FTP address...";
    const struct {
        const char *legend, *name, *password, *folder;
        std::string lastLine; // its end; the upload landed when it is `sent`
    } cases[] = {
        {"the upload", "KV12_0905_030226.dat", "secret", "ForwardData", sent},
        {"blanks in the name", "KV12 0905 030226.dat", "secret", "ForwardData", sent},
        {"quotes and a backslash", "KV \"12\" \\x.dat", "secret", "ForwardData", sent},
        {"non-ASCII", "K\xC3\xBCvette 1.dat", "secret", "ForwardData", sent},
        {"a wrong password ends the upload at the listing", "KV12_0905_030226.dat", "wrong",
         "ForwardData", "not sent: DIR: Access denied: 530"},
        {"a missing root folder ends it at the CD", "KV12_0905_030226.dat", "secret", "Elsewhere",
         "not sent: CD /ForwardData: Server denied you to change to the given directory"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        FtpBench b;
        ASSERT_NE(b.server.port(), 0);
        fs::create_directories(b.root.path() / c.folder);
        b.station.devices[7][field::forwardPassword] = c.password;
        b.loggerResult.path = (b.local.path() / c.name).string();
        write(b.loggerResult.path, sampleDataFile());
        b.real.sendDataFtp(b.request(), b.loggerResult);
        const fs::path uploaded = b.root.path() / "ForwardData" / c.name;
        EXPECT_EQ(fs::exists(uploaded) ? contents(uploaded) : "none",
                  c.lastLine == sent ? sampleDataFile() : "none");
        EXPECT_TRUE(b.reports().back().ends_with(c.lastLine)) << b.reports().back();
    }
}

// One local logger scheduled at 06:00 whose file is forwarded by mail, the report switched on,
// and the clock at 05:58.
struct MorningStation : testing::CycleBench {
    MorningStation() : CycleBench({2026, 2, 3, 5, 58, 0}) {
        station.settings.smtpHost = sink.address();
        station.scheduleTimes = {"6", "-1", "-1", "-1"};
        DeviceRecord &d = configure(1, "locl0000", {"0001KV0126"}, false);
        test::setFields(d, "schedule1=1 savingMode=0 forwardEnabled=1 forwardKind=0 "
                           "forwardAddress=data@example.org reportEnabled=1 "
                           "reportAddress=ops@example.org smtpServer=" +
                               sink.address());
        port.attach(addLogger(testing::loggerWith("0001KV0126", 5)));
        saveConfiguration();
    }

    testing::ServerProcess sink{"smtp_sink.py", {(folder.path() / "mail").string()}};
    StationForwarding real{station, {curlMailSessions(), curlFtpSessions(), smsPort}};
    Session reading{station, real};
    Schedule cycle{station, reading, real};
};

TEST(ScheduledRun, EndsWithTheReportMailReceived) {
    MorningStation m;
    ASSERT_NE(m.sink.port(), 0);
    // The cycle ticks every ten seconds; an hour is far more than one local logger needs.
    while (m.station.reportSentMarks[1].empty() && m.world.now() < 3600) {
        m.cycle.tick();
        m.world.runFor(10);
    }
    ASSERT_FALSE(m.station.reportSentMarks[1].empty());
    const auto mail = [&](int k, const char *part) {
        return contents(m.folder.path() / "mail" / std::to_string(k) / part);
    };
    EXPECT_EQ(mail(1, "subject"), "Data from device 0001KV0126");
    EXPECT_EQ(mail(2, "subject"), "Report of scheduled time 06:00");
    EXPECT_EQ(mail(2, "to"), "ops@example.org");
    EXPECT_EQ(mail(2, "body"),
              "This is a report for all devices:\r\nDevice no.1 done succesfully\r\nEnd report.");
}

} // namespace
} // namespace vantrell
