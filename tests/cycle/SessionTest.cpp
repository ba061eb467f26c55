#include "CycleBench.h"
#include "sim/HayesModem.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vantrell {
namespace {

using testing::CycleBench;
using testing::loggerWith;

int recordTransfers(const sim::Logger &logger) {
    return logger.count(sim::LoggerEvent::Kind::recordsSent) +
           logger.count(sim::LoggerEvent::Kind::transferCut);
}

TEST(Session, LocalStationWithoutSwitchEndsWithX) {
    CycleBench b;
    b.configure(1, "locl0000", {"KV00000001"}, false);
    auto &logger = b.addLogger(loggerWith("KV00000001", 20));
    b.port.attach(logger);
    b.read();
    EXPECT_EQ(b.mark(1, 1), "X");
    EXPECT_TRUE(b.progress.contains("Switch Connecting...")); // tried, and failed: "S" first
    EXPECT_EQ(recordTransfers(logger), 1);
    EXPECT_TRUE(std::filesystem::exists(b.folder.path() / "data" / "KV00000001.dat"));
    EXPECT_FALSE(b.station.session.sessionRunning);
    EXPECT_NE(b.file("dlytmtble.xml").find("X"), std::string::npos);
    const std::vector<std::string> expected = {"absolute", "acceleration"};
    EXPECT_EQ(b.forwarding.calls, expected);
}

TEST(Session, EndingsAndLetters) {
    const struct {
        const char *legend;
        std::vector<sim::Fault> faults;
        std::string configuredSerial;
        const char *expectedMark;
        int expectedWakeAttempts; // connection attempts that reached the logger
    } cases[] = {
        {"silent logger: three attempts, G1, mark keeps S",
         {{sim::FaultKind::silent, 0}},
         "KV00000001",
         "S",
         3},
        {"wrong serial stops at once", {}, "KV00000009", "P", 1},
        {"parameter block never comes: L",
         {{sim::FaultKind::emptyParameters, 0}},
         "KV00000001",
         "L",
         1},
    };
    for (const auto &c : cases) {
        CycleBench b;
        b.configure(1, "locl0000", {c.configuredSerial}, false);
        auto &logger = b.addLogger(loggerWith("KV00000001", 5, c.faults));
        b.port.attach(logger);
        b.read();
        EXPECT_EQ(b.mark(1, 1), c.expectedMark) << c.legend;
        EXPECT_EQ(recordTransfers(logger), 0) << c.legend;
        EXPECT_FALSE(b.station.session.sessionRunning) << c.legend;
        const auto attempts = b.progress.texts(ProgressLine::detail);
        EXPECT_EQ(std::count(attempts.begin(), attempts.end(), "Korvane Connecting..."),
                  c.expectedWakeAttempts * (c.expectedMark == std::string("L") ? 2 : 1))
            << c.legend;
    }
}

// The modem hang-up as it goes out when nothing answers the escape (a logger or a switch on the
// line ignores it).
const std::string unansweredHangUp = "+++ATH0\rAT&F\rATH0\rAT&F\r";

// A logger that answered but cannot be used is released and the line hung up (on a local
// station too), with the pauses its letter asks for; the session ends there.
TEST(Session, ALoggerGivenUpIsReleasedAndTheLineHungUp) {
    const struct {
        const char *legend;
        std::vector<sim::Fault> faults;
        const char *configuredSerial;
        double beforeHangUp, afterHangUp;
    } cases[] = {
        {"wrong serial: 4 s, then 1 s", {}, "KV00000009", 4, 1},
        {"parameters unreadable: 10 s, then 10 s",
         {{sim::FaultKind::emptyParameters, 0}},
         "KV00000001",
         10,
         10},
    };
    const auto toDevice = [](const sim::TrafficByte &t) {
        return t.direction == sim::Direction::toDevice;
    };
    for (const auto &c : cases) {
        CycleBench b;
        b.configure(1, "locl0000", {c.configuredSerial}, false);
        auto &logger = b.addLogger(loggerWith("KV00000001", 5, c.faults));
        b.port.attach(logger);
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
        sim::LoggerDescription d =
            loggerWith("KV00000001", 10, {{sim::FaultKind::stopsAfterRecord, 3}});
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

struct SwitchedStation : CycleBench {
    SwitchedStation(std::vector<sim::Fault> secondLoggerFaults) : line(world) {
        configure(1, "netw0102", {"KV00000001", "KV00000002"}, true);
        line.place(1, addLogger(loggerWith("KV00000001", 10)));
        line.place(2, addLogger(loggerWith("KV00000002", 10, std::move(secondLoggerFaults))));
        port.attach(line);
    }
    sim::LineSwitch line;
};

TEST(Session, SwitchedStationReadsEveryPresentLogger) {
    SwitchedStation b({});
    b.read();
    EXPECT_EQ(b.mark(1, 1), "X");
    EXPECT_EQ(recordTransfers(*b.loggers[0]), 1);
    EXPECT_EQ(recordTransfers(*b.loggers[1]), 1);
    EXPECT_EQ(b.line.routedNetwork(), 1);
    EXPECT_EQ(b.line.routedSection(), 2);
}

// Logger 1 is saved in the first attempt and not read again; logger 2 fails every time.
TEST(Session, AnIncompleteTransferAtPositionTwoReadsOnlyTwoAgain) {
    SwitchedStation b({{sim::FaultKind::stopsAfterRecord, 4}});
    b.read();
    EXPECT_EQ(recordTransfers(*b.loggers[0]), 1);
    EXPECT_EQ(recordTransfers(*b.loggers[1]), 3);
    EXPECT_EQ(std::filesystem::file_size(b.folder.path() / "data" / "KV00000001.dat"),
              (3 + 10) * 62u);
    EXPECT_EQ(b.loggers[1]->count(sim::LoggerEvent::Kind::erased), 0);
    EXPECT_EQ(b.mark(1, 1), "I");
    EXPECT_FALSE(std::filesystem::exists(b.folder.path() / "data" / "KV00000002.dat"));
}

// Every connection attempt fails the same way at a present logger; after the third the letter
// says why, so the device is done for the time. Nothing read is ever erased unless saved.
TEST(Session, ALoggerThatFailsEveryAttemptLeavesTheLetterOfItsLastFailure) {
    const struct {
        const char *legend;
        bool useSwitch;
        std::vector<sim::Fault> faults;
        bool dataFolderMissing;
        const char *expectedMark;
        int expectedTransfers;
    } cases[] = {
        {"data folder missing: W replaces the switch probe's S", false, {}, true, "W", 3},
        {"transfer cut every time: I",
         false,
         {{sim::FaultKind::stopsAfterRecord, 2}},
         false,
         "I",
         3},
        {"silent logger behind a switch, no step left a letter: N",
         true,
         {{sim::FaultKind::silent, 0}},
         false,
         "N",
         0},
    };
    for (const auto &c : cases) {
        CycleBench b;
        DeviceRecord &d = b.configure(1, "netw0102", {"KV00000001"}, c.useSwitch);
        d[field::eraseMemory] = "1";
        if (c.dataFolderMissing)
            d[field::dataDirectory] = (b.folder.path() / "missing").string();
        sim::LineSwitch line(b.world);
        auto &logger = b.addLogger(loggerWith("KV00000001", 10, c.faults));
        line.place(1, logger);
        if (c.useSwitch)
            b.port.attach(line);
        else
            b.port.attach(logger);
        b.read();
        EXPECT_EQ(b.mark(1, 1), c.expectedMark) << c.legend;
        EXPECT_NE(
            b.file("dlytmtble.xml").find("<done1>" + std::string(c.expectedMark) + "</done1>"),
            std::string::npos)
            << c.legend;
        EXPECT_EQ(recordTransfers(logger), c.expectedTransfers) << c.legend;
        EXPECT_EQ(logger.count(sim::LoggerEvent::Kind::erased), 0) << c.legend;
        EXPECT_FALSE(b.station.session.sessionRunning) << c.legend;
    }
}

// A remote station: a modem in front of a line switch with one logger at position 1. The
// number's characters 5 to 8 (0102) are also its network and section.
struct RemoteStation : CycleBench {
    explicit RemoteStation(std::vector<sim::Fault> modemFaults,
                           std::vector<sim::Fault> switchFaults = {})
        : line(world, std::move(switchFaults)), modem(world, line, std::move(modemFaults)) {
        configure(1, "0211010255", {"KV00000001"}, true);
        line.place(1, addLogger(loggerWith("KV00000001", 10)));
        port.attach(modem);
    }
    sim::LineSwitch line;
    sim::HayesModem modem;
};

TEST(Session, RemoteStationsAndTheirModemLetters) {
    const struct {
        const char *legend;
        std::vector<sim::Fault> faults;
        const char *expectedMark;
        int expectedTransfers;
        double maxSeconds; // a final modem answer ends the wait at once
    } cases[] = {
        {"connected: read, hung up", {}, "X", 1, 600},
        {"modem silent", {{sim::FaultKind::modemSilent, 0}}, "M", 0, 200},
        {"busy", {{sim::FaultKind::modemBusy, 0}}, "C", 0, 300},
        {"no carrier", {{sim::FaultKind::modemNoCarrier, 0}}, "C", 0, 300},
        {"no answer to the dial", {{sim::FaultKind::modemNoDialAnswer, 0}}, "C", 0, 600},
    };
    for (const auto &c : cases) {
        RemoteStation b(c.faults);
        b.read();
        EXPECT_EQ(b.mark(1, 1), c.expectedMark) << c.legend;
        EXPECT_EQ(recordTransfers(*b.loggers[0]), c.expectedTransfers) << c.legend;
        EXPECT_LT(b.now(), c.maxSeconds) << c.legend;
        EXPECT_FALSE(b.modem.connected()) << c.legend;
        if (c.expectedTransfers > 0) {
            EXPECT_EQ(b.modem.dialledNumber(), "0211010255") << c.legend;
            EXPECT_EQ(b.line.routedNetwork(), 1) << c.legend;
            EXPECT_EQ(b.line.routedSection(), 2) << c.legend;
        }
    }
}

// A failed switch pass hangs up, and the next attempt dials again instead of talking to a line
// it has hung up.
TEST(Session, ARemoteStationsFailedSwitchPassEndsItsAttempt) {
    RemoteStation b({}, {{sim::FaultKind::silentSwitch, 0}});
    const SessionResult result = b.read();
    EXPECT_EQ(result.mark, "S");
    EXPECT_EQ(result.end, SessionEnd::attemptsUsedUp);
    const std::string sent = b.port.sentBytes();
    std::size_t dials = 0;
    for (auto at = sent.find("atdt0211010255"); at != std::string::npos;
         at = sent.find("atdt0211010255", at + 1))
        ++dials;
    EXPECT_EQ(dials, 3u);
    EXPECT_FALSE(b.modem.connected());
}

// Logger 2 does not answer in the first attempt, after logger 1 was saved: the second attempt
// reads logger 2 alone, so every file, alarm check and mail happens once per logger.
TEST(Session, ALoggerSavedInAnEarlierAttemptIsNotReadAgain) {
    SwitchedStation b({{sim::FaultKind::wrongWake, 4}});
    DeviceRecord &d = b.station.devices[1];
    d[field::forwardEnabled] = "1";
    d[field::forwardKind] = "0";
    const SessionResult result = b.read();
    EXPECT_EQ(result.mark, "X");
    ASSERT_EQ(result.attempts.size(), 2u);
    EXPECT_EQ(result.attempts[1].loggers.size(), 1u);
    EXPECT_EQ(recordTransfers(*b.loggers[0]), 1);
    EXPECT_EQ(recordTransfers(*b.loggers[1]), 1);
    for (const char *serial : {"KV00000001.dat", "KV00000002.dat"})
        EXPECT_EQ(std::filesystem::file_size(b.folder.path() / "data" / serial), (3 + 10) * 62u)
            << serial;
    const auto calls = [&](const char *call) {
        return std::count(b.forwarding.calls.begin(), b.forwarding.calls.end(), call);
    };
    EXPECT_EQ(calls("mail"), 2);
    EXPECT_EQ(calls("absolute"), 2);
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
        EXPECT_NE(b.file("dlytmtble.xml").find(c.mark), std::string::npos) << c.legend;
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
