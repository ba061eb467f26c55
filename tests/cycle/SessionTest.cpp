#include "CycleBench.h"
#include "FullDisk.h"
#include "config/SetupFiles.h"
#include "journal/LocalTime.h"
#include "loggerdata/DataFileIo.h"
#include "sim/HayesModem.h"
#include "sim/SimStation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>

namespace vantrell {
namespace {

namespace fs = std::filesystem;
using testing::CycleBench;
using testing::faults;
using testing::FullDisk;
using testing::loggerWith;
using testing::recordTransfers;

// The modem hang-up as it goes out when nothing answers the escape (a logger or a switch on the
// line ignores it).
const std::string unansweredHangUp = "+++ATH0\rAT&F\rATH0\rAT&F\r";

// A logger that answered but cannot be used is released and the line hung up (on a local
// station too), with the pauses its letter asks for; the session ends there.
TEST(Session, ALoggerGivenUpIsReleasedAndTheLineHungUp) {
    const struct {
        const char *legend, *fault, *configuredSerial;
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
        const char *legend, *connection;
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
        sim::SimStation simulated(b.world, {c.useSwitch, {{1, d}}, {}});
        b.port.attach(simulated.front());
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
        const char *legend, *secondLoggerFault, *mark;
        std::size_t attempts;
        int secondTransfers;
    } cases[] = {
        {"both read in the first attempt", "", "X", 1, 1},
        {"logger 2 silent in the first attempt: read again alone", "wrongWake:4", "X", 2, 1},
        {"logger 2 cut short every time: only it is read again", "stopsAfterRecord:4", "I", 3, 3},
    };
    for (const auto &c : cases) {
        CycleBench b;
        DeviceRecord &d = b.configure(1, "netw0102", {"KV00000001", "KV00000002"}, true);
        test::setFields(d, "savingMode=0 forwardEnabled=1 forwardKind=0");
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
            EXPECT_EQ(fs::file_size(path), (3 + 10) * 62u) << c.legend;
            EXPECT_EQ(std::count(texts.begin(), texts.end(), "opening data file..." + path), 1)
                << c.legend;
        }
        const auto files = std::distance(fs::directory_iterator(b.folder.path() / "data"), {});
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
        int transfers, dials;
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
        // Each part takes the fault that is its own.
        const std::vector<sim::Fault> fault = faults(c.fault);
        sim::SimStation simulated(b.world, {true, {{1, loggerWith("KV00000001", 10)}}, fault});
        sim::HayesModem modem(b.world, simulated.front(), fault);
        b.configure(1, "0211010255", {"KV00000001"}, true);
        b.port.attach(modem);
        EXPECT_EQ(b.read().mark, c.mark) << c.legend;
        EXPECT_EQ(recordTransfers(*simulated.loggerAt(1)), c.transfers) << c.legend;
        const std::string sent = b.port.sentBytes();
        int dials = 0;
        for (auto at = sent.find("atdt0211010255"); at != std::string::npos;
             at = sent.find("atdt0211010255", at + 1))
            ++dials;
        EXPECT_EQ(dials, c.dials) << c.legend;
        EXPECT_LT(b.now(), c.maxSeconds) << c.legend;
        EXPECT_FALSE(modem.connected()) << c.legend;
        if (c.transfers > 0) {
            EXPECT_EQ(simulated.lineSwitch()->routedNetwork(), 1) << c.legend;
            EXPECT_EQ(simulated.lineSwitch()->routedSection(), 2) << c.legend;
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
    fs::remove(b.folder.path() / "DeviceSetup" / "dvcsetup2.xml");
    EXPECT_EQ(b.read(1).mark, "X");
    EXPECT_EQ(b.forwarding.withoutSetup, 0);
    EXPECT_EQ(b.read(2).mark, "X");
    EXPECT_EQ(b.forwarding.withoutSetup, 2) << "the absolute and the acceleration check";
    // Each device's logger sends its own limit alarm; the data files go nowhere: that is off.
    EXPECT_EQ(b.forwarding.calls, (std::vector<std::string>{"absolute", "acceleration", "limit",
                                                            "absolute", "acceleration", "limit"}));
    const auto texts = b.progress.texts(ProgressLine::detail);
    const auto saidSo = [](const std::string &text) {
        return text.ends_with("; no channel alarms for this station in this session");
    };
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(), saidSo), 1);
}

// A session that saved every logger says whether what it handed on went out: an alarm that
// did not outweighs a data file that did not; the outbox's retry is kept for the report.
TEST(Session, DeliveriesThatFailedLeaveTheirLetter) {
    const struct {
        const char *legend, *forwardKind;
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
        test::setFields(d, std::string("forwardEnabled=1 alarmEnabled=1 forwardKind=") +
                               c.forwardKind);
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
        const char *legend, *connection;
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
        EXPECT_EQ(fs::exists(b.folder.path() / "data" / "KV00000001.dat"), c.expectedFile)
            << c.legend;
        EXPECT_EQ(logger.count(sim::LoggerEvent::Kind::erased), c.expectedFile ? 1 : 0) << c.legend;
        EXPECT_FALSE(b.station.session.sessionRunning) << c.legend;
        EXPECT_FALSE(b.port.isOpen()) << c.legend;
        EXPECT_LT(b.now(), 900.0) << c.legend;
    }
}

// The loop's side of the journal: what a reading session leaves there, the silent-station alarm
// it drives, and a journal that cannot be written, which must never cost a session its data file.
ConfSettings settingsWith(std::optional<JournalSettings> journal,
                          std::optional<SilenceSettings> silence = std::nullopt) {
    ConfSettings settings;
    settings.journal = journal;
    settings.silence = silence;
    return settings;
}

const ConfSettings journalOn = settingsWith(JournalSettings{});

// Twenty records from 2 February 00:00, ten minutes apart, read on 3 February at 02:00; the first
// session of a day prunes what is older than keep_days.
TEST(StationJournal, ASessionRowAndTheReadingsOfItsFile) {
    const struct {
        const char *legend;
        int scheduleTime;
        const char *fault, *letter;
        std::int64_t recordsRead;
        int attempts;
        int kept; // readings of each channel in the journal
        int keepDays = 400;
        bool stopRequested = false;
    } cases[] = {
        {"healthy, schedule time 2", 2, "", "X", 20, 1, 20},
        {"one day kept: from the session's end a day before, 02:10 on", 1, "", "X", 20, 1, 7, 1},
        {"transfer cut: records read, no file", 3, "stopsAfterRecord:8", "I", 24, 3, 0},
        {"abandoned at shutdown: no letter", 4, "", "", 0, 0, 0, 400, true},
    };
    for (const auto &c : cases) {
        CycleBench b({2026, 2, 3, 2, 0, 0},
                     settingsWith(JournalSettings{"journal.sqlite", c.keepDays}));
        b.configure(1, "locl0000", {"KV00000001"}, false);
        b.port.attach(b.addLogger(loggerWith("KV00000001", 20, testing::faults(c.fault))));
        b.station.session.stopRequested = c.stopRequested;
        (void)b.read(1, c.scheduleTime);

        const DeviceJournal seen = b.deviceJournal(1);
        ASSERT_TRUE(seen.lastSession.has_value()) << c.legend;
        const SessionRow &row = *seen.lastSession;
        EXPECT_EQ(row.letter, c.letter) << c.legend;
        EXPECT_EQ(row.scheduleTime, c.scheduleTime) << c.legend;
        EXPECT_EQ(row.recordsRead, c.recordsRead) << c.legend;
        EXPECT_EQ(row.attempts, c.attempts) << c.legend;
        EXPECT_EQ(row.started, toUtc({2026, 2, 3, 2, 0, 0}).utc) << c.legend;
        EXPECT_GE(row.ended, row.started) << c.legend;
        EXPECT_EQ(!row.dataFile.empty() && fs::exists(row.dataFile), c.kept > 0) << c.legend;

        // The logger's records, ten minutes apart, reading by reading.
        const UtcSeconds first = toUtc({2026, 2, 2, 0, 0, 0}).utc + 600 * (20 - c.kept);
        const auto readings = b.journalReadings(1);
        EXPECT_EQ(readings.empty(), c.kept == 0) << c.legend;
        for (const auto &[channel, stored] : readings) {
            EXPECT_EQ(stored.size(), std::size_t(c.kept)) << c.legend << ", channel " << channel;
            for (std::size_t k = 0; k < stored.size(); ++k) {
                EXPECT_EQ(stored[k].serial, "KV00000001");
                EXPECT_EQ(stored[k].utc, first + 600 * UtcSeconds(k));
                EXPECT_FALSE(stored[k].valueText.empty());
            }
        }
    }
}

// A device that keeps its logger's memory, read twice: 40 records, then what its line holds by
// the second session. Each record reaches the file and the journal once, unless the memory is no
// longer the one saved from; a file of the new records alone looks back through the journal,
// whose 30 newest readings make the acceleration window (10 a day, 3 days).
TEST(StationJournal, ALoggerWhoseMemoryIsKeptGivesOnlyItsNewRecords) {
    using Second = std::function<sim::Logger &(CycleBench &)>;
    const Second sameLogger = [](CycleBench &b) -> sim::Logger & { return *b.loggers[0]; };
    const Second twoMore = [](CycleBench &b) -> sim::Logger & {
        b.loggers[0]->store(sim::makeMemory(2, {2026, 2, 2, 6, 40, 0}, 600));
        return *b.loggers[0];
    };
    const Second fortyTwoMore = [](CycleBench &b) -> sim::Logger & {
        b.loggers[0]->store(sim::makeMemory(42, {2026, 2, 2, 6, 40, 0}, 600));
        return *b.loggers[0];
    };
    const auto another = [](std::size_t records, LocalDateTime first) -> Second {
        return [=](CycleBench &b) -> sim::Logger & {
            sim::LoggerDescription d = loggerWith("KV00000001", 0);
            d.memory = sim::makeMemory(records, first, 600);
            return b.addLogger(d);
        };
    };
    const struct {
        const char *legend, *savingMode;
        Second second;
        const char *requests, *reason;
        std::size_t fileRecords, journalReadings, history;
        int recordsSaved; // on the line, against the first session
        bool firstErases = false;
    } cases[] = {
        {"two records more, appended", "1", twoMore, "L0029002A ", "", 42, 42, 43, 38},
        {"nothing new: nothing asked, nothing appended", "1", sameLogger, "", "", 40, 40, 41, 40},
        {"erased elsewhere", "1", another(12, {2026, 2, 4, 0, 0, 0}), "L0001000C ",
         "Memory pointer 00013 below the 00041 saved: reading the whole memory", 52, 52, 53, 28},
        {"another logger under the serial", "1", another(42, {2026, 1, 1, 0, 0, 0}),
         "L0029002A L0001002A ",
         "First new record not after the last one saved: reading the whole memory", 82, 82, 83, -2},
        {"a file per session: the window from the journal", "0", twoMore, "L0029002A ", "", 2, 42,
         31, 38},
        // Read once more and erased by a device that erased for a while: asked from record 41
        // on, the last session would leave the first 40 new records behind.
        {"a memory erased by the station, which then stops erasing", "1", fortyTwoMore,
         "L0001002A ", "", 122, 82, 123, -2, true},
    };
    ConfSettings collect;
    collect.collect.emplace();
    for (const auto &c : cases) {
        CycleBench b({2026, 2, 3, 9, 5, 0}, collect);
        b.configure(1, "locl0000", {"KV00000001"}, false)[field::savingMode] = c.savingMode;
        b.station.setupFileName = setupFileOf(1);
        LoggerSetup window = loggerSetup(b.station.channelSetup, 1);
        window.readingsPerDay = "10";
        window.columns[0][setup::accelAlarmOn] = "1";
        window.columns[0][setup::accelDays] = "3";
        ASSERT_FALSE(ChannelSetupFile(b.station).saveLoggerSetup(1, window));
        b.port.attach(b.addLogger(loggerWith("KV00000001", 40)));
        if (c.firstErases) {
            (void)b.read(1, 1);
            b.station.devices[1][field::eraseMemory] = "1";
        }
        const SessionResult first = b.read(1, 1);
        b.station.devices[1][field::eraseMemory] = "0";
        b.port.attach(c.second(b));
        const double start = b.now();
        const SessionResult second = b.read(1, 2);

        const std::string sent = b.port.sentBytesSince(start);
        std::string requests, reasons;
        for (auto at = sent.find("\x80L"); at != std::string::npos; at = sent.find("\x80L", at + 1))
            requests += sent.substr(at + 1, 9) + " ";
        EXPECT_EQ(requests, c.requests) << c.legend;
        for (const std::string &text : b.progress.texts(ProgressLine::detail))
            reasons += text.ends_with("the whole memory") ? text : "";
        EXPECT_EQ(reasons, c.reason) << c.legend;
        EXPECT_EQ(first.mark + second.mark, "XX") << c.legend;
        ASSERT_EQ(second.savedLoggers().size(), 1u) << c.legend;
        EXPECT_EQ(fs::file_size(second.savedLoggers().front()->path), (3 + c.fileRecords) * 62)
            << c.legend;
        EXPECT_EQ(b.journalReadings(1)[1].size(), c.journalReadings) << c.legend;
        // Its newest entry, before the one that ends a file, is the newest record of the file.
        const std::vector<Reading> &history = b.forwarding.histories.back();
        ASSERT_EQ(history.size(), c.history) << c.legend;
        std::string bytes;
        ASSERT_EQ(readDataFile(second.savedLoggers().front()->path, bytes), "") << c.legend;
        const std::vector<Reading> inFile = parseDataFile(bytes).readings;
        EXPECT_EQ(history[c.history - 2].values[1], inFile[inFile.size() - 2].values[1])
            << c.legend;
        // An erase takes line time of its own.
        if (!c.firstErases) {
            EXPECT_NEAR(*first.lineSeconds - *second.lineSeconds,
                        c.recordsSaved * 17 * sim::byteTime, 0.1)
                << c.legend;
        }
        EXPECT_EQ(b.linesStarting("Line time "), c.firstErases ? 3 : 2) << c.legend;
    }
}

TEST(StationJournal, TheSilentAlarmGoesOutOncePerSilenceAndOnceWhenTheStationAnswers) {
    // Sessions in order: "-" a silent logger, "X" one that is read.
    const std::string silent = "Station silent: device 1 -> ";
    const std::string again = "Station answering again: device 1 -> ";
    const struct {
        const char *legend;
        int afterMissed;
        bool alarmsOn; // by mail to the alarm address; off: to the report address
        const char *sessions;
        std::string mails; // "after session k: subject -> address", in order
    } cases[] = {
        {"two missed, then read", 2, true, "---X-",
         "2: " + silent + "alarm@example.org 4: " + again + "alarm@example.org "},
        {"alarms off: the report address", 1, false, "-X-",
         "1: " + silent + "ops@example.org 2: " + again + "ops@example.org 3: " + silent +
             "ops@example.org "},
        {"read before the count is reached", 3, true, "--X--", ""},
        {"0 turns it off", 0, true, "----", ""},
        {"no alarm, so no answering again", 2, true, "X-X", ""},
    };
    for (const auto &c : cases) {
        CycleBench b({2026, 2, 3, 9, 5, 0},
                     settingsWith(std::nullopt, SilenceSettings{c.afterMissed}));
        DeviceRecord &device = b.configure(1, "locl0000", {"KV00000001"}, false);
        device[field::description] = "Pump house";
        test::setFields(device, std::string("alarmNotifyKind=0 ") +
                                    "alarmAddress=alarm@example.org reportAddress=ops@example.org "
                                    "alarmEnabled=" +
                                    (c.alarmsOn ? "1" : "0"));
        auto &silentLogger = b.addLogger(loggerWith("KV00000001", 5, testing::faults("silent")));
        auto &answering = b.addLogger(loggerWith("KV00000001", 5));

        std::string mails;
        const std::string sessions = c.sessions;
        std::size_t sent = 0;
        for (std::size_t k = 0; k < sessions.size(); ++k) {
            b.port.attach(sessions[k] == 'X' ? answering : silentLogger);
            (void)b.read(1, int(k % scheduleTimeCount) + 1);
            ASSERT_EQ(b.mark(1, int(k % scheduleTimeCount) + 1) == "X", sessions[k] == 'X')
                << c.legend;
            for (std::size_t m = sent; m < b.alarmMails.size(); ++m, ++sent)
                mails += std::to_string(k + 1) + ": " + b.alarmMails[m].subject + " -> " +
                         b.alarmMails[m].sendTo + " ";
        }
        EXPECT_EQ(mails, c.mails) << c.legend;
        // The journal has each of them, oldest last.
        std::vector<AlarmRow> recorded;
        ASSERT_EQ(b.readJournal()->alarmsSince(0, 1, 10, recorded).text, "");
        std::string journaled, expected;
        for (const AlarmRow &r : recorded)
            journaled = r.kind + ": " + r.message + " " + r.outcome + " " + journaled;
        for (const MailMessage &m : b.alarmMails)
            expected += (m.subject.starts_with("Station silent") ? "silent station: "
                                                                 : "answering again: ") +
                        m.subject + " sent ";
        EXPECT_EQ(journaled, expected) << c.legend;
        if (!b.alarmMails.empty() && sessions.front() == '-') {
            const std::string &text = b.alarmMails.front().text;
            for (const std::string &part :
                 {std::string("Device 1 \"Pump house\""), std::string("Last good read: never"),
                  "Last letters: " + std::string(c.afterMissed, 'S')})
                EXPECT_NE(text.find(part), std::string::npos) << text;
        }
    }
}

TEST(StationJournal, AJournalThatCannotBeWrittenCostsNoSessionItsDataFile) {
    for (const bool fullDisk : {false, true}) {
        const char *legend = fullDisk ? "a full disk" : "a file that is no journal";
        CycleBench b({2026, 2, 3, 9, 5, 0}, journalOn);
        b.configure(1, "locl0000", {"KV00000001"}, false);
        b.port.attach(b.addLogger(loggerWith("KV00000001", 5)));
        const fs::path dataFile = b.folder.path() / "data" / "KV00000001.dat";
        std::optional<FullDisk> disk;
        if (fullDisk) {
            ASSERT_NE(b.journal.journal(), nullptr);
            disk.emplace(4096); // room for the data file and the marks, none for a journal page
        } else {
            std::ofstream(b.journal.file()) << "these are not the pages of a database\n";
        }

        // Two sessions at schedule time 1, one at time 2: one line for each time.
        for (const int time : {1, 1, 2}) {
            const auto sizeBefore =
                fs::exists(dataFile) ? fs::file_size(dataFile) : std::uintmax_t(0);
            (void)b.read(1, time);
            EXPECT_EQ(b.mark(1, time), "X") << legend;
            ASSERT_TRUE(fs::exists(dataFile)) << legend;
            EXPECT_GT(fs::file_size(dataFile), sizeBefore) << legend;
        }
        EXPECT_EQ(b.linesStarting("journal "), 2) << legend;

        // Mended, it is used again from the next schedule time on.
        disk.reset();
        if (!fullDisk)
            fs::remove(b.journal.file());
        (void)b.read(1, 3);
        EXPECT_EQ(b.linesStarting("journal "), 2) << legend;
        const DeviceJournal seen = b.deviceJournal(1);
        ASSERT_TRUE(seen.lastSession.has_value()) << legend;
        EXPECT_EQ(seen.lastSession->scheduleTime, 3) << legend;
    }
}

} // namespace
} // namespace vantrell
