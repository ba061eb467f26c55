#include "ForwardingBench.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using testing::ForwardingBench;

constexpr const char *dataFile = "/data/KV12_0905_030226.dat";

void forwardingDevice(ForwardingBench &b, const std::string &kind) {
    DeviceRecord &d = b.station.devices[7];
    d[field::forwardEnabled] = "1";
    d[field::forwardKind] = kind;
    d[field::forwardAddress] = kind == "0" ? "data@example.org" : "ftp.example.org";
    d[field::forwardUser] = "logger";
    d[field::forwardPassword] = "secret";
    d[field::ftpRootDirectory] = "/ForwardData";
    d[field::smtpServer] = "mail.example.org:2525";
    b.loggerResult.path = dataFile;
}

// Subject, text and attachment are checked on a real server; here the choices around them.
TEST(DataMail, TheDevicesServerOrElseTheStationsAndAFailureIsALineAndAnOutcome) {
    ForwardingBench b;
    forwardingDevice(b, "0");
    EXPECT_TRUE(b.forwarding.sendDataMail(b.request(), b.loggerResult).delivery.delivered());
    b.station.devices[7][field::smtpServer] = " ";
    b.mailFailure = "server 127.0.0.1:25: Couldn't connect to server";
    EXPECT_FALSE(b.forwarding.sendDataMail(b.request(), b.loggerResult).delivery.delivered());
    ASSERT_EQ(b.mails.size(), 2u);
    EXPECT_EQ(b.mails[0].server, "mail.example.org:2525");
    EXPECT_EQ(b.mails[0].authenticationType, 0);
    EXPECT_EQ(b.mails[0].attachments, std::vector<std::string>{dataFile});
    EXPECT_EQ(b.mails[1].server, b.station.settings.smtpHost);
    EXPECT_EQ(b.reports().back(), "Mail to \"data@example.org\" not sent: server 127.0.0.1:25: "
                                  "Couldn't connect to server");
}

TEST(DataUpload, CommandsInOrderEachAfterThePreviousEnded) {
    const std::string put = "PUT /data/KV12_0905_030226.dat ./KV12_0905_030226.dat";
    const struct {
        const char *legend;
        const char *verb;    // the command that behaves as told
        double seconds;      // how long that command takes
        const char *failure; // its error, or "" when it succeeds
        bool uploads;
        std::string logged; // the end of the last progress line
        double atMost;      // seconds the upload may take
    } cases[] = {
        {"a quick server: the four commands in order", "DIR", 0.5, "", true,
         "sending data to FTP address...", 10},
        {"a listing of 10 s delays the CD instead of ending the upload", "DIR", 10.0, "", true,
         "sending data to FTP address...", 20},
        {"a CD that fails ends the upload before the PUT", "CD", 0.5, "CD /ForwardData: 550", false,
         "FTP host \"ftp.example.org\" not sent: CD /ForwardData: 550", 10},
        {"a PUT that never ends is abandoned within the bound", "PUT", 1e9, "", true,
         "not sent: no end of the command within 330 s", 400},
    };
    for (const auto &c : cases) {
        ForwardingBench b;
        forwardingDevice(b, "1");
        b.ftpBehaviour[c.verb] = testing::FtpBehaviour{c.seconds, c.failure};
        b.forwarding.sendDataFtp(b.request(), b.loggerResult);
        std::vector<std::string> expected{"DIR", "CD /ForwardData", put, "CLOSE", "cancel"};
        if (!c.uploads)
            expected.erase(expected.begin() + 2);
        EXPECT_EQ(b.commands(), expected) << c.legend;
        EXPECT_LE(b.now(), c.atMost) << c.legend;
        EXPECT_TRUE(b.reports().back().ends_with(c.logged))
            << c.legend << ": " << b.reports().back();
        EXPECT_EQ(b.ftpLogin.remoteHost + ":" + std::to_string(b.ftpLogin.remotePort) + " " +
                      b.ftpLogin.userName + " " + b.ftpLogin.password,
                  "ftp.example.org:21 logger secret")
            << c.legend;
    }
}

struct Due {
    int slot;
    bool active;
    bool scheduled; // at time 2
    std::string mark;
    bool retried = false; // the outbox retries its failed delivery
};

TEST(RunReport, OneLinePerDueDeviceWithAKnownLetter) {
    const std::string heading = "This is a report for all devices:\r\n";
    const struct {
        const char *legend;
        std::vector<Due> devices;
        std::string body;
    } cases[] = {
        {"no device due", {}, heading + "No selected devices for this time\r\nEnd report."},
        {"device 1 read, device 4 with a wrong serial number",
         {{1, true, true, "X"}, {4, true, true, "P"}},
         heading + "Device no.1 done succesfully\r\nDevice no.4 serial number incorrect\r\n"
                   "End report."},
        {"device 12 not communicating",
         {{12, true, true, "L"}},
         heading + "Device no.12 not comunicating\r\nEnd report."},
        {"a due device without a mark counts but has no line",
         {{3, true, true, ""}},
         heading + "End report."},
        {"inactive or not scheduled devices do not count",
         {{2, false, true, "X"}, {5, true, false, "X"}},
         heading + "No selected devices for this time\r\nEnd report."},
        {"the other letters",
         {{1, true, true, "M"}, {2, true, true, "C"}, {3, true, true, "S"}, {4, true, true, "T"}},
         heading + "Device no.1 modem not ready or line in use\r\nDevice no.2 remote modem not "
                   "ready\r\nDevice no.3 switch not ready\r\nDevice no.4 switch not set\r\n"
                   "End report."},
        {"the letters of a session that used up its attempts",
         {{1, true, true, "W"}, {2, true, true, "I"}, {3, true, true, "N"}},
         heading + "Device no.1 data not saved\r\nDevice no.2 transfer incomplete\r\n"
                   "Device no.3 logger not answering\r\nEnd report."},
        {"data read but a delivery failed; the outbox retries one",
         {{1, true, true, "F"}, {2, true, true, "A", true}},
         heading + "Device no.1 data read, not forwarded\r\nDevice no.2 data read, alarm not "
                   "sent (retried from the outbox)\r\nEnd report."},
    };
    for (const auto &c : cases) {
        ForwardingBench b;
        b.station.devices[7][field::connection] = "";
        b.station.devices[1][field::reportAddress] = "ops@example.org";
        b.station.scheduleTimes[2] = "8";
        b.station.session.dailyMarkIndex = 3;
        for (const Due &d : c.devices) {
            DeviceRecord &r = b.station.devices[d.slot];
            r[field::active] = d.active ? "1" : "0";
            r[field::scheduleSlot1 + 1] = d.scheduled ? "1" : "0";
            b.station.dailyMarks.at(4, d.slot) = d.mark;
            if (d.retried)
                b.station.retriedFromOutbox.insert({2, d.slot});
        }
        b.forwarding.sendRunReport();
        ASSERT_EQ(b.mails.size(), 1u) << c.legend;
        const MailMessage &m = b.mails[0];
        EXPECT_EQ(m.text, c.body) << c.legend;
        EXPECT_EQ(m.subject, "Report of scheduled time 08:00") << c.legend;
        EXPECT_EQ(m.sendTo, "ops@example.org") << c.legend;
        EXPECT_EQ(m.mailFrom, b.station.settings.reportMailFrom) << c.legend;
        EXPECT_EQ(m.server, b.station.settings.smtpHost) << c.legend;
        EXPECT_TRUE(b.progress.contains("Sending report to ops@example.org...")) << c.legend;
    }
}

} // namespace
} // namespace vantrell
