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
    b.station.data.dataFilePath = dataFile;
}

TEST(DataMail, CarriesTheDataFileWithTheDevicesSubjectAndText) {
    ForwardingBench b;
    forwardingDevice(b, "0");
    b.forwarding.sendDataMail();
    ASSERT_EQ(b.mails.size(), 1u);
    const MailMessage &m = b.mails[0];
    EXPECT_EQ(m.subject, "Data from device KV12345678");
    EXPECT_EQ(m.text, "Data from device 7");
    EXPECT_EQ(m.attachments, std::vector<std::string>{dataFile});
    EXPECT_EQ(m.server, "mail.example.org:2525");
    EXPECT_EQ(m.authenticationType, 0);
    EXPECT_EQ(m.mailFrom, b.station.settings.dataMailFrom);
    EXPECT_EQ(m.sendTo, "data@example.org");
    EXPECT_TRUE(b.progress.contains("sending data to Mail address..."));
}

TEST(DataMail, ADeviceWithoutSmtpServerUsesTheStationsAndAFailureIsOnlyALine) {
    ForwardingBench b;
    forwardingDevice(b, "0");
    b.station.devices[7][field::smtpServer] = " ";
    b.station.recordStatus("X");
    b.mailFailure = "server 127.0.0.1:25: Couldn't connect to server";
    b.forwarding.sendDataMail();
    ASSERT_EQ(b.mails.size(), 1u);
    EXPECT_EQ(b.mails[0].server, b.station.settings.smtpHost);
    EXPECT_EQ(b.reports().back(), "Mail to \"data@example.org\" not sent: server 127.0.0.1:25: "
                                  "Couldn't connect to server");
    EXPECT_EQ(b.station.currentStatus(), "X");
}

TEST(DataUpload, CommandsInOrderWithTheDevicesLogin) {
    ForwardingBench b;
    forwardingDevice(b, "1");
    b.forwarding.sendDataFtp();
    EXPECT_EQ(b.commands(),
              (std::vector<std::string>{"DIR", "CD /ForwardData",
                                        "PUT /data/KV12_0905_030226.dat ./KV12_0905_030226.dat",
                                        "CLOSE", "cancel"}));
    EXPECT_EQ(b.ftpLogin.remoteHost, "ftp.example.org");
    EXPECT_EQ(b.ftpLogin.remotePort, 21);
    EXPECT_EQ(b.ftpLogin.userName, "logger");
    EXPECT_EQ(b.ftpLogin.password, "secret");
    EXPECT_TRUE(b.progress.contains("sending data to FTP address..."));
}

TEST(DataUpload, SlowFailingAndEndlessCommands) {
    const std::vector<std::string> all{"DIR", "CD /ForwardData",
                                       "PUT /data/KV12_0905_030226.dat ./KV12_0905_030226.dat",
                                       "CLOSE", "cancel"};
    const struct {
        const char *legend;
        std::map<std::string, testing::FtpBehaviour> behaviour;
        std::vector<std::string> expected;
        std::string logged; // part of the last progress line; empty: no failure line
        double atMost;      // seconds the upload may take
    } cases[] = {
        {"a listing of 10 s delays the CD instead of ending the upload",
         {{"DIR", {10.0, ""}}},
         all,
         "",
         20},
        {"a CD that fails ends the upload before the PUT",
         {{"CD", {0.5, "CD /ForwardData: 550 No such directory"}}},
         {"DIR", "CD /ForwardData", "CLOSE", "cancel"},
         "550 No such directory",
         10},
        {"a PUT that never ends is abandoned within the bound",
         {{"PUT", {1e9, ""}}},
         all,
         "no end of the command within 330 s",
         400},
    };
    for (const auto &c : cases) {
        ForwardingBench b;
        forwardingDevice(b, "1");
        b.ftpBehaviour = c.behaviour;
        const double start = b.now();
        b.forwarding.sendDataFtp();
        EXPECT_EQ(b.commands(), c.expected) << c.legend;
        EXPECT_LE(b.now() - start, c.atMost) << c.legend;
        const std::string last = b.reports().back();
        if (c.logged.empty()) {
            EXPECT_EQ(last, "sending data to FTP address...") << c.legend;
        } else {
            EXPECT_NE(last.find("Data file to FTP host \"ftp.example.org\" not sent: "),
                      std::string::npos)
                << c.legend << ": " << last;
        }
        EXPECT_NE(last.find(c.logged), std::string::npos) << c.legend << ": " << last;
    }
}

} // namespace
} // namespace vantrell
