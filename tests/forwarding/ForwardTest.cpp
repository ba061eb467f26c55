#include "ForwardingBench.h"
#include "config/SetupFiles.h"
#include "cycle/CycleBench.h"
#include "sim/GsmModem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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

// Two loggers behind a line switch whose serial numbers begin alike, read in the same minute,
// a new file per session, each file forwarded.
struct TwinLoggers : testing::CycleBench {
    explicit TwinLoggers(const std::string &forwardKind) : line(world) {
        DeviceRecord &d = configure(1, "netw0102", {"KV12000001", "KV12000002"}, true);
        d[field::savingMode] = "0";
        d[field::forwardEnabled] = "1";
        d[field::forwardKind] = forwardKind;
        d[field::forwardAddress] = forwardKind == "0" ? "data@example.org" : "ftp.example.org";
        d[field::ftpRootDirectory] = "/ForwardData";
        line.place(1, addLogger(testing::loggerWith("KV12000001", 10)));
        line.place(2, addLogger(testing::loggerWith("KV12000002", 12)));
        port.attach(line);
    }

    // The files the mails carried and the uploads sent, in order.
    std::vector<std::string> forwarded() const {
        std::vector<std::string> out;
        for (const MailMessage &m : mails)
            out.insert(out.end(), m.attachments.begin(), m.attachments.end());
        for (const testing::FtpCall &c : ftpCalls)
            if (c.command.starts_with("PUT "))
                out.push_back(c.command.substr(4, c.command.find(" ./") - 4));
        return out;
    }

    sim::LineSwitch line;
    std::vector<MailMessage> mails;
    std::vector<testing::FtpCall> ftpCalls;
    FtpLogin ftpLogin;
    std::map<std::string, testing::FtpBehaviour> ftpBehaviour;
    sim::SimPort smsPort{world, testing::smsPortNumber};
    StationForwarding delivery{
        station,
        {[this] { return std::make_unique<testing::FakeMailSession>(mails, ""); },
         [this] {
             return std::make_unique<testing::FakeFtpSession>(world, ftpCalls, ftpLogin,
                                                              ftpBehaviour);
         },
         smsPort}};
    Session reading{station, delivery};
};

TEST(DataForwarding, EachLoggerSendsTheFileItsOwnDataWentTo) {
    for (const std::string kind : {"0", "1"}) {
        TwinLoggers b(kind);
        (void)b.reading.read({1, 1, "netw0102", b.station.devices[1]});
        EXPECT_EQ(b.mark(1, 1), "X") << kind;
        const std::filesystem::path data = b.folder.path() / "data";
        const std::string first = (data / "KV12_0905_030226.dat").string();
        const std::string second = (data / "KV12_0905_030226_2.dat").string();
        EXPECT_EQ(b.forwarded(), (std::vector<std::string>{first, second})) << kind;
        EXPECT_EQ(std::filesystem::file_size(first), (3 + 10) * 62u) << kind;
        EXPECT_EQ(std::filesystem::file_size(second), (3 + 12) * 62u) << kind;
        const auto reports = b.progress.texts(ProgressLine::detail);
        EXPECT_EQ(std::count(reports.begin(), reports.end(), "opening data file..." + second), 1)
            << kind << ": logger 2's alarms read logger 2's file";
        EXPECT_EQ(b.loggers[1]->count(sim::LoggerEvent::Kind::recordsSent), 1) << kind;
    }
}

// Device 1's setup raises an absolute alarm on every reading of channel 1; device 2's setup file
// is gone. Device 2, read right after device 1, raises no channel alarm: a station's alarms use
// its own limits or none, and the logger's own limit alarm still goes out.
TEST(ChannelAlarms, AStationWithoutItsSetupFileUsesNoOtherStationsLimits) {
    testing::CycleBench b;
    for (int slot : {1, 2}) {
        DeviceRecord &d =
            b.configure(slot, "locl0000", {"KV0000000" + std::to_string(slot)}, false);
        d[field::alarmEnabled] = "1";
        d[field::alarmNotifyKind] = "1";
        d[field::alarmAddress] = "+4922";
    }
    LoggerSetup raising;
    raising.readingsPerDay = "144";
    raising.columns[0][setup::absAlarmOn] = "1";
    raising.columns[0][setup::absMinimum] = "1000";
    raising.columns[0][setup::absMaximum] = "2000";
    raising.columns[0][setup::absMessage] = "Low";
    ChannelSetupFile setups(b.station);
    setups.chooseSetupFile(1);
    ASSERT_FALSE(setups.saveLoggerSetup(1, raising).failed());
    std::filesystem::remove(b.folder.path() / "DeviceSetup" / "dvcsetup2.xml");
    b.station.phonebook[1] = "+4911";

    sim::SimPort smsPort{b.world, testing::smsPortNumber};
    sim::GsmModem gsm{b.world};
    smsPort.attach(gsm);
    b.station.modemPortNumber = testing::smsPortNumber;
    StationForwarding delivery{b.station, {{}, {}, smsPort}};
    Session reading{b.station, delivery};
    std::vector<std::string> sms;
    for (int slot : {1, 2}) {
        sim::LoggerDescription logger = testing::loggerWith("KV0000000" + std::to_string(slot), 3);
        logger.channels[1].limitAlarm = slot == 2;
        logger.channels[1].highLimit = sim::ChannelValue::raw(-20000);
        b.port.attach(b.addLogger(logger));
        EXPECT_EQ(reading.read({slot, 1, "", b.station.devices[slot]}).mark, "X") << slot;
    }
    for (const sim::SmsMessage &m : gsm.messages())
        sms.push_back(m.number + " " + m.text.substr(0, 3));
    EXPECT_EQ(sms, (std::vector<std::string>{"+4911 Low", "+4922 An "}));
    const auto texts = b.progress.texts(ProgressLine::detail);
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string &text) {
                                return text.ends_with(
                                    "; no channel alarms for this station in this session");
                            }),
              1);
}

} // namespace
} // namespace vantrell
