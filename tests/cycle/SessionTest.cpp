#include "CycleBench.h"
#include "sim/HayesModem.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vantrell {
namespace {

using testing::CycleBench;
using testing::faults;
using testing::loggerWith;
using testing::recordTransfers;

template <typename Texts> int countOf(const Texts &texts, const std::string &text) {
    return int(std::count(texts.begin(), texts.end(), text));
}

// The modem hang-up as it goes out when nothing answers the escape (a logger or a switch on the
// line ignores it).
const std::string unansweredHangUp = "+++ATH0\rAT&F\rATH0\rAT&F\r";

// A logger that answered but cannot be used is released and the line hung up (on a local
// station too), with the pauses its letter asks for; the session ends there.
TEST(Session, ALoggerGivenUpIsReleasedAndTheLineHungUp) {
    const struct {
        const char *legend;
        const char *fault;
        const char *configuredSerial;
        double beforeHangUp, afterHangUp;
    } cases[] = {
        {"wrong serial: 4 s, then 1 s", "", "KV00000009", 4, 1},
        {"parameters unreadable: 10 s, then 10 s", "emptyParameters", "KV00000001", 10, 10},
    };
    const auto toDevice = [](const sim::TrafficByte &t) {
        return t.direction == sim::Direction::toDevice;
    };
    for (const auto &c : cases) {
        CycleBench b;
        b.configure(1, "locl0000", {c.configuredSerial}, false);
        b.port.attach(b.addLogger(loggerWith("KV00000001", 5, faults(c.fault))));
        b.read();
        ASSERT_NE(b.port.sentBytes().find(unansweredHangUp), std::string::npos) << c.legend;
        const std::vector<sim::TrafficByte> &traffic = b.port.traffic();
        const auto plus = std::find_if(traffic.begin(), traffic.end(),
                                       [&](const auto &t) { return toDevice(t) && t.byte == '+'; });
        const auto release =
            std::find_if(std::make_reverse_iterator(plus), traffic.rend(), toDevice);
        ASSERT_NE(release, traffic.rend()) << c.legend;
        EXPECT_TRUE(release->byte == 0x8D || release->byte == 0x93) << c.legend;
        // The escape adds its guard time of 1.5 s of silence before the first "+".
        EXPECT_NEAR(plus->time - release->time, c.beforeHangUp + 1.5, 0.05) << c.legend;
        const auto last = std::find_if(traffic.rbegin(), traffic.rend(), toDevice);
        EXPECT_NEAR(b.now() - last->time, c.afterHangUp, 0.05) << c.legend;
    }
}

// A transfer cut short in every attempt: the last attempt's release is the last that goes out,
// after the switch release that follows every transfer.
TEST(Session, AFailedAttemptReleasesLoggerAndSwitch) {
    const struct {
        const char *legend;
        const char *connection;
        bool useSwitch;
        unsigned char samplingCode;
        std::string expectedBytes;
    } cases[] = {
        {"local, fast sampling", "locl0000", false, 1, testing::bytes({0x8C, 0x93})},
        {"switched, slow sampling", "netw0201", true, 5, testing::bytes({0x8C, 0x8D, 0x8C})},
    };
    for (const auto &c : cases) {
        CycleBench b;
        sim::LoggerDescription d = loggerWith("KV00000001", 10, faults("stopsAfterRecord:3"));
        d.samplingCode = c.samplingCode;
        sim::Logger &logger = b.addLogger(d);
        sim::LineSwitch line(b.world);
        if (c.useSwitch) {
            line.place(1, logger);
            b.port.attach(line);
        } else {
            b.port.attach(logger);
        }
        b.configure(1, c.connection, {"KV00000001"}, c.useSwitch);
        EXPECT_EQ(b.read().mark, "I") << c.legend;
        EXPECT_TRUE(b.port.sentBytes().ends_with(c.expectedBytes)) << c.legend;
        EXPECT_FALSE(b.port.isOpen()) << c.legend;
    }
}

// Two loggers behind a line switch at network 1, section 2, whose serial numbers begin alike and
// whose files are new for each session and forwarded by mail. A logger saved in an attempt is
// not read again, so every file, alarm check and mail happens once per logger.
TEST(Session, ASwitchedStationReadsEachLoggerUntilItIsSaved) {
    const struct {
        const char *legend;
        const char *secondLoggerFault;
        const char *mark;
        std::size_t attempts;
        int secondTransfers;
    } cases[] = {
        {"both read in the first attempt", "", "X", 1, 1},
        {"logger 2 silent in the first attempt: read alone in the second", "wrongWake:4", "X", 2,
         1},
        {"logger 2 cut short every time: only logger 2 is read again", "stopsAfterRecord:4", "I", 3,
         3},
    };
    for (const auto &c : cases) {
        CycleBench b;
        DeviceRecord &d = b.configure(1, "netw0102", {"KV00000001", "KV00000002"}, true);
        d[field::savingMode] = "0";
        d[field::forwardEnabled] = "1";
        d[field::forwardKind] = "0";
        sim::LineSwitch line(b.world);
        line.place(1, b.addLogger(loggerWith("KV00000001", 10)));
        line.place(2, b.addLogger(loggerWith("KV00000002", 10, faults(c.secondLoggerFault))));
        b.port.attach(line);
        const SessionResult result = b.read();
        EXPECT_EQ(result.mark, c.mark) << c.legend;
        EXPECT_EQ(result.attempts.size(), c.attempts) << c.legend;
        EXPECT_EQ(recordTransfers(*b.loggers[0]), 1) << c.legend;
        EXPECT_EQ(recordTransfers(*b.loggers[1]), c.secondTransfers) << c.legend;
        EXPECT_EQ(line.routedNetwork(), 1) << c.legend;
        EXPECT_EQ(line.routedSection(), 2) << c.legend;
        // Each logger's file is its own, read back for its own alarms and forwarded once.
        const auto saved = result.savedLoggers();
        std::vector<std::string> paths;
        for (const LoggerResult *logger : saved)
            paths.push_back(logger->path);
        EXPECT_EQ(b.forwarding.forwarded, paths) << c.legend;
        const auto texts = b.progress.texts(ProgressLine::detail);
        for (const std::string &path : paths) {
            EXPECT_EQ(std::filesystem::file_size(path), (3 + 10) * 62u) << c.legend;
            EXPECT_EQ(countOf(texts, "opening data file..." + path), 1) << c.legend;
        }
        const auto files =
            std::distance(std::filesystem::directory_iterator(b.folder.path() / "data"), {});
        EXPECT_EQ(files, c.mark == std::string("X") ? 2 : 1) << c.legend;
    }
}

// A remote station: a modem in front of a line switch with one logger at position 1. The
// number's characters 5 to 8 (0102) are also its network and section. A failed switch pass
// hangs up, and the next attempt dials again instead of talking to a line it has hung up.
TEST(Session, RemoteStationsAndTheirModemLetters) {
    const struct {
        const char *legend;
        const char *fault; // of the modem or the switch
        const char *mark;
        int transfers;
        int dials;
        double maxSeconds; // a final modem answer ends the wait at once
    } cases[] = {
        {"connected: read, hung up", "", "X", 1, 1, 600},
        {"modem silent", "modemSilent", "M", 0, 0, 200},
        {"busy", "modemBusy", "C", 0, 3, 300},
        {"no carrier", "modemNoCarrier", "C", 0, 3, 300},
        {"no answer to the dial", "modemNoDialAnswer", "C", 0, 3, 600},
        {"switch silent: each attempt dials again", "silentSwitch", "S", 0, 3, 900},
    };
    for (const auto &c : cases) {
        CycleBench b;
        const std::vector<sim::Fault> fault = faults(c.fault);
        const bool atSwitch = !fault.empty() && sim::isSwitchFault(fault[0].kind);
        sim::LineSwitch line(b.world, atSwitch ? fault : std::vector<sim::Fault>{});
        sim::HayesModem modem(b.world, line, atSwitch ? std::vector<sim::Fault>{} : fault);
        b.configure(1, "0211010255", {"KV00000001"}, true);
        line.place(1, b.addLogger(loggerWith("KV00000001", 10)));
        b.port.attach(modem);
        EXPECT_EQ(b.read().mark, c.mark) << c.legend;
        EXPECT_EQ(recordTransfers(*b.loggers[0]), c.transfers) << c.legend;
        const std::string sent = b.port.sentBytes();
        int dials = 0;
        for (auto at = sent.find("atdt0211010255"); at != std::string::npos;
             at = sent.find("atdt0211010255", at + 1))
            ++dials;
        EXPECT_EQ(dials, c.dials) << c.legend;
        EXPECT_LT(b.now(), c.maxSeconds) << c.legend;
        EXPECT_FALSE(modem.connected()) << c.legend;
        if (c.transfers > 0) {
            EXPECT_EQ(line.routedNetwork(), 1) << c.legend;
            EXPECT_EQ(line.routedSection(), 2) << c.legend;
        }
    }
}

// The limits are those of the station being read and no other: device 2, read right after
// device 1, has lost its setup file, so its channel alarms have no limits (and it says so once),
// while the logger's own limit alarm still goes out.
TEST(Session, AStationWithoutItsSetupFileUsesNoOtherStationsLimits) {
    CycleBench b;
    sim::LoggerDescription logger = loggerWith("KV00000001", 3);
    logger.channels[1].limitAlarm = true;
    logger.channels[1].highLimit = sim::ChannelValue::raw(-20000); // every reading crosses it
    b.port.attach(b.addLogger(logger));
    for (const int slot : {1, 2})
        b.configure(slot, "locl0000", {"KV00000001"}, false)[field::alarmEnabled] = "1";
    std::filesystem::remove(b.folder.path() / "DeviceSetup" / "dvcsetup2.xml");
    EXPECT_EQ(b.read(1).mark, "X");
    EXPECT_EQ(b.forwarding.withoutSetup, 0);
    EXPECT_EQ(b.read(2).mark, "X");
    EXPECT_EQ(b.forwarding.withoutSetup, 2) << "the absolute and the acceleration check";
    // Each device's logger sends its own limit alarm; the data files go nowhere: that is off.
    EXPECT_EQ(b.forwarding.calls, (std::vector<std::string>{"absolute", "acceleration", "limit",
                                                            "absolute", "acceleration", "limit"}));
    const auto texts = b.progress.texts(ProgressLine::detail);
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string &text) {
                                return text.ends_with(
                                    "; no channel alarms for this station in this session");
                            }),
              1);
}

// A session that saved every logger says whether what it handed on went out: an alarm that
// did not outweighs a data file that did not; the outbox's retry is kept for the report.
TEST(Session, DeliveriesThatFailedLeaveTheirLetter) {
    const struct {
        const char *legend;
        const char *forwardKind;
        std::vector<std::string> failing;
        bool retried;
        const char *mark;
    } cases[] = {
        {"everything went out", "0", {}, false, "X"},
        {"the data mail refused", "0", {"mail"}, false, "F"},
        {"the upload failed", "1", {"ftp"}, false, "F"},
        {"a channel alarm not sent", "0", {"absolute"}, false, "A"},
        {"the logger's limit alarm not sent", "0", {"limit"}, false, "A"},
        {"an alarm and the mail: the alarm counts", "0", {"mail", "acceleration"}, false, "A"},
        {"the outbox retries the mail", "0", {"mail"}, true, "F"},
    };
    for (const auto &c : cases) {
        CycleBench b;
        DeviceRecord &d = b.configure(1, "locl0000", {"KV00000001"}, false);
        d[field::forwardEnabled] = "1";
        d[field::forwardKind] = c.forwardKind;
        d[field::alarmEnabled] = "1";
        sim::LoggerDescription logger = loggerWith("KV00000001", 5);
        for (auto &channel : logger.channels) {
            channel.limitAlarm = true;
            channel.highLimit = sim::ChannelValue::raw(-20000); // every reading crosses it
        }
        b.port.attach(b.addLogger(logger));
        b.forwarding.fails = [&](const std::string &call, int) {
            return std::find(c.failing.begin(), c.failing.end(), call) != c.failing.end();
        };
        b.forwarding.retried = c.retried;
        EXPECT_EQ(b.read().mark, c.mark) << c.legend;
        EXPECT_EQ(b.mark(1, 1), c.mark) << c.legend;
        EXPECT_EQ(b.station.retriedFromOutbox.contains({1, 1}), c.retried) << c.legend;
    }
}

// Trouble from outside the protocol: the program ending at any moment, the adapter pulled out,
// odd connection texts. Every case ends, leaves the line released, and never erases or saves
// what was not read in full.
TEST(Session, TroubleFromOutsideEndsTheSessionSafely) {
    const struct {
        const char *legend;
        const char *connection;
        double stopAt;   // the program is asked to end (seconds; < 0: never)
        double unplugAt; // the adapter is pulled out (seconds; < 0: never)
        const char *expectedMark;
        bool expectedFile;
    } cases[] = {
        {"stop before anything", "locl0000", 0, -1, "", false},
        {"stop during the switch stage", "locl0000", 8, -1, "", false},
        {"stop during the transfer", "locl0000", 65, -1, "", false},
        {"adapter pulled out mid-session", "locl0000", -1, 30, "S", false},
        {"empty connection text: nothing answers the modem check", "", -1, -1, "M", false},
        {"odd connection text", "netw??", -1, -1, "X", true},
    };
    for (const auto &c : cases) {
        CycleBench b;
        b.configure(1, c.connection, {"KV00000001"}, false);
        b.station.devices[1][field::eraseMemory] = "1";
        auto &logger = b.addLogger(loggerWith("KV00000001", 3000));
        b.port.attach(logger);
        if (c.stopAt >= 0)
            b.world.at(c.stopAt, [&b] { b.station.session.stopRequested = true; });
        if (c.unplugAt >= 0)
            b.world.at(c.unplugAt, [&b] { b.port.unplug(); });
        b.read();
        EXPECT_EQ(b.mark(1, 1), c.expectedMark) << c.legend;
        EXPECT_EQ(std::filesystem::exists(b.folder.path() / "data" / "KV00000001.dat"),
                  c.expectedFile)
            << c.legend;
        EXPECT_EQ(logger.count(sim::LoggerEvent::Kind::erased), c.expectedFile ? 1 : 0) << c.legend;
        EXPECT_FALSE(b.station.session.sessionRunning) << c.legend;
        EXPECT_FALSE(b.port.isOpen()) << c.legend;
        EXPECT_LT(b.now(), 900.0) << c.legend;
    }
}

} // namespace
} // namespace vantrell
