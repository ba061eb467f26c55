// Deliveries over real servers on 127.0.0.1: Debian's aiosmtpd receives the mails, pyftpdlib
// the upload. The station runs in virtual time; only the servers run in real time.
#include "ForwardingBench.h"
#include "ServerProcess.h"
#include "TempFolder.h"
#include "forwarding/CurlFtpSession.h"
#include "forwarding/CurlMailSession.h"

#include <gtest/gtest.h>

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

TEST(RealMail, DataMailWithItsFileByteForByte) {
    RealBench b;
    ASSERT_NE(b.sink.port(), 0);
    const fs::path file = b.folder.path() / "KV12_0905_030226.dat";
    write(file, sampleDataFile());
    DeviceRecord &d = b.station.devices[7];
    d[field::smtpServer] = b.sink.address();
    d[field::forwardAddress] = "data@example.org";
    b.loggerResult.path = file.string();
    b.real.sendDataMail(b.request(), b.loggerResult);
    ASSERT_EQ(b.mailsReceived(), 1) << b.reports().back();
    EXPECT_EQ(contents(b.mail(1, "subject")), "Data from device KV12345678");
    EXPECT_EQ(contents(b.mail(1, "body")), "Data from device 7");
    EXPECT_EQ(contents(b.mail(1, "to")), "data@example.org");
    EXPECT_EQ(contents(b.mail(1, "from")), b.station.settings.dataMailFrom);
    EXPECT_EQ(contents(b.mail(1, "attachments/KV12_0905_030226.dat")), sampleDataFile());
    const std::string raw = contents(b.mail(1, "message.eml"));
    EXPECT_NE(raw.find("\r\nDate: "), std::string::npos);
    EXPECT_NE(raw.find("\r\nMessage-ID: <"), std::string::npos);
}

// Names as the mail clients read them back (the sink decodes like one), and a serial that
// tries to add a header stays inside the subject.
TEST(RealMail, AttachmentNamesAndSubjectsArriveAsSent) {
    const struct {
        const char *legend, *name, *serial, *subject;
    } cases[] = {
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
        const fs::path file = b.folder.path() / c.name;
        write(file, sampleDataFile());
        b.loggerResult.path = file.string();
        d.serialNumber(1) = c.serial;
        b.real.sendDataMail(b.request(), b.loggerResult);
        ASSERT_EQ(b.mailsReceived(), ++k) << c.legend << ": " << b.reports().back();
        EXPECT_EQ(contents(b.mail(k, std::string("attachments/") + c.name)), sampleDataFile())
            << c.legend;
        EXPECT_EQ(contents(b.mail(k, "subject")), c.subject) << c.legend;
        EXPECT_EQ(contents(b.mail(k, "to")), "data@example.org") << c.legend;
    }
}

TEST(RealMail, LimitAlarmAndRunReportByteForByte) {
    RealBench b;
    ASSERT_NE(b.sink.port(), 0);
    DeviceRecord &d = b.station.devices[7];
    d[field::connection] = "netw0302";
    d[field::alarmNotifyKind] = "0";
    d[field::alarmAddress] = "alarm@example.org";
    d[field::active] = "1";
    d[field::scheduleSlot1] = "1";
    b.station.devices[1][field::reportAddress] = "ops@example.org";
    b.station.scheduleTimes[1] = "6";
    b.station.session.dailyMarkIndex = 1;
    b.station.dailyMarks.at(2, 7) = "X";
    b.real.sendLimitAlarm(b.request(), b.loggerResult);
    b.real.sendRunReport();
    ASSERT_EQ(b.mailsReceived(), 2) << b.reports().back();
    EXPECT_EQ(contents(b.mail(1, "subject")), "Korvane Alarm");
    EXPECT_EQ(contents(b.mail(1, "body")),
              "An alarm was triggered in Network 3 in Section 2 in the device KV12345678");
    EXPECT_EQ(contents(b.mail(2, "subject")), "Report of scheduled time 06:00");
    EXPECT_EQ(contents(b.mail(2, "body")),
              "This is a report for all devices:\r\nDevice no.7 done succesfully\r\nEnd report.");
    EXPECT_EQ(contents(b.mail(2, "from")), b.station.settings.reportMailFrom);
}

TEST(RealMail, DeliveriesThatFailSayWhyWithinTheirLimits) {
    const struct {
        const char *legend;
        std::string mode;
        std::string reasonPart;
    } cases[] = {
        {"the server refuses the recipient", "--refuse", "550"},
        {"the server takes the connection and never answers", "--silent", "timed out"},
        {"nothing listens on the port", "down", "onnect"},
    };
    for (const auto &c : cases) {
        RealBench b(c.mode == "down" ? "" : c.mode);
        ASSERT_NE(b.sink.port(), 0) << c.legend;
        std::string server = b.sink.address();
        if (c.mode == "down")
            server = "127.0.0.1:1";
        CurlMailSession mail({}, MailLimits{std::chrono::seconds(2), std::chrono::seconds(2)});
        mail.setServer(server);
        mail.setMailFrom("a@example.org");
        mail.setSendTo("b@example.org");
        mail.setMessageText("x");
        const auto started = std::chrono::steady_clock::now();
        const Delivery d = mail.sendEmail();
        EXPECT_FALSE(d.delivered()) << c.legend;
        EXPECT_NE(d.reason().find(c.reasonPart), std::string::npos)
            << c.legend << ": " << d.reason();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << c.legend;
    }
}

struct FtpBench : testing::ForwardingBench {
    FtpBench()
        : server("ftp_server.py", {root.path().string(), "logger", "secret"}),
          real(station, {curlMailSessions(), curlFtpSessions(), smsPort}) {
        DeviceRecord &d = station.devices[7];
        d[field::forwardAddress] = server.address();
        d[field::forwardUser] = "logger";
        d[field::forwardPassword] = "secret";
        d[field::ftpRootDirectory] = "/ForwardData";
        loggerResult.path = (local.path() / "KV12_0905_030226.dat").string();
        write(loggerResult.path, sampleDataFile());
    }
    Folder root;
    Folder local;
    ServerProcess server;
    StationForwarding real;
};

TEST(RealFtp, TheUploadLandsInTheRootFolderUnderItsNameOrSaysWhyNot) {
    const struct {
        const char *legend;
        std::string password, folder;
        bool uploaded;
        std::string lastLine; // its end
    } cases[] = {
        {"the upload", "secret", "ForwardData", true, "sending data to FTP address..."},
        {"a wrong password ends the upload at the listing", "wrong", "ForwardData", false,
         "not sent: DIR: Access denied: 530"},
        {"a missing root folder ends it at the CD", "secret", "Elsewhere", false,
         "not sent: CD /ForwardData: Server denied you to change to the given directory"},
    };
    for (const auto &c : cases) {
        FtpBench b;
        ASSERT_NE(b.server.port(), 0) << c.legend;
        fs::create_directories(b.root.path() / c.folder);
        b.station.devices[7][field::forwardPassword] = c.password;
        b.real.sendDataFtp(b.request(), b.loggerResult);
        const fs::path uploaded = b.root.path() / "ForwardData" / "KV12_0905_030226.dat";
        EXPECT_EQ(fs::exists(uploaded) ? contents(uploaded) : "none",
                  c.uploaded ? sampleDataFile() : "none")
            << c.legend;
        EXPECT_TRUE(b.reports().back().ends_with(c.lastLine))
            << c.legend << ": " << b.reports().back();
    }
}

TEST(RealFtp, AnyLegalFileNameIsUploadedUnderItsName) {
    FtpBench b;
    ASSERT_NE(b.server.port(), 0);
    fs::create_directories(b.root.path() / "ForwardData");
    for (const char *name : {"KV12 0905 030226.dat", "KV \"12\" \\x.dat", "K\xC3\xBCvette 1.dat"}) {
        b.loggerResult.path = (b.local.path() / name).string();
        write(b.loggerResult.path, sampleDataFile());
        b.real.sendDataFtp(b.request(), b.loggerResult);
        const fs::path uploaded = b.root.path() / "ForwardData" / name;
        EXPECT_EQ(fs::exists(uploaded) ? contents(uploaded) : "none", sampleDataFile()) << name;
        EXPECT_EQ(b.reports().back(), "sending data to FTP address...") << name;
    }
}

} // namespace
} // namespace vantrell
