// The timer-driven cycle over whole days in virtual time: fifty devices on one line, read at their
// schedule times, reported, and the day closed; restarts, stale days and a folder that turns
// read-only. With each device failing in a way of its own, every schedule time still ends and is
// reported with a line for every device, no device is read again in the same time, and the
// journal holds one row per session with the letter of its mark and the readings of every saved
// file once.
#include "CycleBench.h"
#include "FullDisk.h"
#include "cycle/SessionTexts.h"
#include "forwarding/Report.h"
#include "general/Text.h"
#include "sim/HayesModem.h"
#include "sim/SimStation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace vantrell {
namespace {

using testing::CycleBench;
using testing::loggerWith;
using testing::recordTransfers;

// Schedule times 06:00, 12:00, 18:00 and 22:00.
constexpr int hours[] = {6, 12, 18, 22};

// Fifty local devices on one line with one logger: every fifth has another serial number
// ("P"), every seventh is inactive, and each is scheduled at the times its number picks.
struct DayBench : CycleBench {
    explicit DayBench(LocalDateTime start = {2026, 2, 3, 5, 58, 0}) : CycleBench(start) {
        for (int s = 1; s <= 4; ++s)
            station.scheduleTimes[s] = std::to_string(hours[s - 1]);
        for (int slot = 1; slot <= maxDevices; ++slot) {
            DeviceRecord &d =
                configure(slot, "locl0000", {slot % 5 == 0 ? "KV0000000X" : "KV00000001"}, false);
            d[field::active] = slot % 7 == 0 ? "0" : "1";
            for (int s = 1; s <= 4; ++s)
                d[field::scheduleSlot1 + s - 1] = scheduledAt(slot, s) ? "1" : "0";
        }
        station.devices[1][field::reportEnabled] = "1";
        station.devices[1][field::reportAddress] = "ops@example.org";
        logger = &addLogger(loggerWith("KV00000001", 3));
        port.attach(*logger);
        saveConfiguration();
    }

    static bool scheduledAt(int slot, int time) { return (slot + time) % 3 != 0; }

    static std::string expectedMark(int slot, int time) {
        return slot % 7 != 0 && scheduledAt(slot, time) && slot % 5 == 0 ? "P" : "X";
    }

    sim::Logger *logger = nullptr;
};

// The devices due at schedule time `time`; `read`: only those whose logger is theirs.
int dueAt(int time, bool read = false) {
    int n = 0;
    for (int slot = 1; slot <= maxDevices; ++slot)
        n += slot % 7 != 0 && !(read && slot % 5 == 0) && DayBench::scheduledAt(slot, time);
    return n;
}

using Texts = std::vector<std::string>;

TEST(Schedule, AWholeDayInVirtualTime) {
    DayBench b;
    b.schedule.tick();
    EXPECT_EQ(recordTransfers(*b.logger), 0);
    EXPECT_EQ(b.schedule.hoursToNext(), 0);
    EXPECT_EQ(b.schedule.minutesToNext(), 2);
    EXPECT_NE(b.schedule.tooltipText().find("Next connection in 0 Hours 2 Minutes"),
              std::string::npos);

    b.runUntil(11, 0);
    EXPECT_EQ(recordTransfers(*b.logger), dueAt(1, true));
    for (int slot = 1; slot <= maxDevices; ++slot)
        EXPECT_EQ(b.mark(slot, 1), b.expectedMark(slot, 1)) << "slot " << slot;
    EXPECT_EQ(b.forwarding.calls.back(), "report 1");
    EXPECT_EQ(b.schedule.hoursToNext(), 1); // 11:00 -> 12:00
    EXPECT_EQ(b.mark(2, 2), "");

    b.runUntil(23, 59);
    EXPECT_EQ(recordTransfers(*b.logger),
              dueAt(1, true) + dueAt(2, true) + dueAt(3, true) + dueAt(4, true));
    EXPECT_EQ(b.forwarding.reports(), (Texts{"report 1", "report 3", "report 5", "report 7"}));
    // The day is closed: tomorrow is the schedule day and the done marks are empty again.
    EXPECT_NE(b.file("schtitbl.xml").find("04/02/2026"), std::string::npos);
    EXPECT_EQ(b.mark(2, 4), "");
    b.schedule.tick();
    EXPECT_EQ(b.schedule.hoursToNext(), 6);
    EXPECT_EQ(b.schedule.minutesToNext(), 1);
}

TEST(Schedule, ARestartInTheMiddleOfTheDayResumesWhereTheFilesSay) {
    DayBench b;
    b.runUntil(6, 3); // a few devices of time 1 read
    const int before = recordTransfers(*b.logger);
    ASSERT_GT(before, 0);
    ASSERT_LT(before, dueAt(1, true));

    // A new program over the same folder and the same line.
    RecordingProgress progress;
    RecordingDialogs dialogs;
    Station again({b.world.clock(), b.pump, b.port, progress, dialogs}, b.folder.path());
    ASSERT_FALSE(DeviceFile(again).loadDeviceTable().failed());
    ASSERT_FALSE(ScheduleTimesFile(again).loadScheduleTimes().failed());
    ASSERT_FALSE(DailyMarksFile(again).loadDailyMarks().failed());
    testing::RecordingForwarding forwarding;
    forwarding.station = &again;
    Session session(again, forwarding);
    Schedule schedule(again, session, forwarding);
    while (again.dailyMarks.at(2, 50).empty() && b.world.now() < 24 * 3600) {
        schedule.tick();
        b.world.runFor(10);
    }
    EXPECT_EQ(recordTransfers(*b.logger), dueAt(1, true));
}

TEST(Schedule, AStartOnALaterDayResetsTheMarksAndTheTimesGoOn) {
    DayBench b;
    b.runUntil(11, 0);
    ASSERT_EQ(b.forwarding.calls.back(), "report 1");
    b.world.clock().setLocalTime({2026, 2, 6, 7, 0, 0});
    b.schedule.tick(); // resets and ends
    EXPECT_NE(b.file("schtitbl.xml").find("06/02/2026"), std::string::npos);
    EXPECT_EQ(b.file("schrprt.xml").find(">X<"), std::string::npos)
        << "a report sent on the stale day must not silence today's";
    EXPECT_EQ(b.mark(1, 1), "");
    const int before = recordTransfers(*b.logger);
    b.schedule.tick(); // time 1 of the new day is due at once
    EXPECT_EQ(recordTransfers(*b.logger), before + 1);
    b.runUntil(11, 0, 6);
    EXPECT_EQ(b.forwarding.reports(), (Texts{"report 1", "report 1"}));

    // A device made due at a time already finished is read when the next time comes, not at once.
    b.runUntil(13, 0, 6); // times 1 and 2 done
    b.station.devices[7][field::active] = "1";
    b.station.dailyMarks.at(3, 7) = "X"; // scheduled at time 2, not done
    b.station.dailyMarks.at(4, 7) = "";
    b.runUntil(17, 59, 6);
    EXPECT_EQ(b.mark(7, 2), "");
    b.runUntil(18, 5, 6);
    EXPECT_EQ(b.mark(7, 2), "X");
}

TEST(Schedule, AFolderThatTurnsReadOnlyIsLoggedOncePerTimeAndTheDaysGoOn) {
    DayBench b;
    b.runUntil(11, 0); // time 1 read and reported
    b.progress.clear();
    b.forwarding.calls.clear();
    {
        testing::FullDisk readOnly; // as a folder that turned read-only
        b.runUntil(9, 0, 4);        // times 2 to 4, the close of the day, time 1 of the next
    }
    int failures = 0;
    for (const RecordingProgress::Entry &line : b.progress.entries())
        failures += line.text.find(": could not be saved (") != std::string::npos;
    const int sessions = b.linesStarting("Preparing Connection to Device: ");
    // One session for each device due at each time, not one for each tick.
    EXPECT_EQ(sessions, dueAt(2) + dueAt(3) + dueAt(4) + dueAt(1));
    // Each session says that its own mark was not saved; the cycle says it once for each time it
    // worked on (times 2 to 4, the close of the day, times 1 and 2 of the next day), where a line
    // on every tick would be thousands.
    EXPECT_LE(failures, sessions + 6);
    EXPECT_EQ(b.forwarding.reports(), (Texts{"report 3", "report 5", "report 7", "report 1"}))
        << "every time reported once, the next day too";
    const DailyMarks &last = b.forwarding.reportedMarks.back();
    for (int slot = 1; slot <= maxDevices; ++slot) {
        if (slot % 7 != 0 && DayBench::scheduledAt(slot, 1)) {
            EXPECT_EQ(last.at(2, slot), slot % 5 == 0 ? "P" : "W") << "slot " << slot;
        }
    }
    EXPECT_EQ(b.logger->count(sim::LoggerEvent::Kind::erased), 0);
}

TEST(Schedule, NoTimeSetMeansOffline) {
    CycleBench b;
    for (int s = 1; s <= 4; ++s)
        b.station.scheduleTimes[s] = "-1";
    EXPECT_TRUE(b.schedule.scheduleOff());
    EXPECT_EQ(b.schedule.tooltipText(), "Vantrell offline");
    b.station.session.communicating = true;
    EXPECT_EQ(b.schedule.tooltipText(), "Comunicating... ");
}

// One line, a station of its own behind it for each device: the bytes reach the station of the
// device being read.
class StationRouter final : public sim::Device {
public:
    explicit StationRouter(const Station &station) : station_(station) {}

    void connect(int slot, sim::Device &front) {
        fronts_.at(slot) = &front;
        front.attachUpstream([this](std::string_view bytes) { answer(bytes); });
    }
    void receive(unsigned char byte) override {
        if (sim::Device *front = fronts_.at(station_.session.device))
            front->receive(byte);
    }

private:
    const Station &station_;
    std::array<sim::Device *, maxDevices + 1> fronts_{};
};

// How a station is configured, and what its deliveries do.
enum class Setting {
    asReported,
    wrongSerial,
    noDataFolder,
    mailRefused,
    uploadFails,
    smsUnconfirmed
};

struct FailureKind {
    const char *legend, *connection;
    bool useSwitch;
    const char *fault; // of the logger, the switch or a modem in front, by kind
    Setting setting;
    const char *letter;
    int transfers; // memory transfers of one session
    int attempts;  // connection attempts of one session
};

const std::vector<FailureKind> &failureKinds() {
    using enum Setting;
    static const std::vector<FailureKind> kinds = {
        {"healthy", "locl0000", false, "", asReported, "X", 1, 1},
        {"modem silent", "0211010255", true, "modemSilent", asReported, "M", 0, 3},
        {"no CONNECT", "0211010255", true, "modemBusy", asReported, "C", 0, 3},
        {"wrong serial", "locl0000", false, "", wrongSerial, "P", 0, 1},
        {"switch silent", "netw0102", true, "silentSwitch", asReported, "S", 0, 1},
        {"empty module status", "netw0102", true, "emptyModuleStatus", asReported, "T", 0, 1},
        {"parameters unreadable", "locl0000", false, "emptyParameters", asReported, "L", 0, 1},
        {"silent logger behind a switch", "netw0102", true, "silent", asReported, "N", 0, 3},
        {"silent logger, no switch: S", "locl0000", false, "silent", asReported, "S", 0, 3},
        {"transfer cut each time", "locl0000", false, "stopsAfterRecord:3", asReported, "I", 3, 3},
        {"data folder missing", "locl0000", false, "", noDataFolder, "W", 3, 3},
        {"data mail refused", "locl0000", false, "", mailRefused, "F", 1, 1},
        {"upload failed", "netw0102", true, "", uploadFails, "F", 1, 1},
        {"alarm SMS not confirmed", "locl0000", false, "", smsUnconfirmed, "A", 1, 1},
    };
    return kinds;
}

const FailureKind &kindOf(int slot) {
    return failureKinds()[std::size_t(slot - 1) % failureKinds().size()];
}

// Schedule times 03:00, 09:00, 15:00 and 21:00; every device active, scheduled at all four,
// erasing its logger's memory once it is saved.
struct FailingDay : CycleBench {
    explicit FailingDay(const ConfSettings &settings = {})
        : CycleBench({2026, 2, 3, 2, 58, 0}, settings), router(station) {
        for (int s = 1; s <= scheduleTimeCount; ++s)
            station.scheduleTimes[s] = std::to_string(3 + 6 * (s - 1));
        for (int slot = 1; slot <= maxDevices; ++slot)
            addStation(slot, kindOf(slot));
        station.devices[1][field::reportEnabled] = "1";
        station.devices[1][field::reportAddress] = "ops@example.org";
        port.attach(router);
        saveConfiguration();
        forwarding.fails = [](const std::string &call, int slot) {
            const Setting setting = kindOf(slot).setting;
            return (setting == Setting::mailRefused && call == "mail") ||
                   (setting == Setting::uploadFails && call == "ftp") ||
                   (setting == Setting::smsUnconfirmed && call == "absolute");
        };
    }

    void addStation(int slot, const FailureKind &kind) {
        const std::string serial = "KV" + zeroPad(slot, 8);
        const bool wrongSerial = kind.setting == Setting::wrongSerial;
        DeviceRecord &d =
            configure(slot, kind.connection, {wrongSerial ? "KV99999999" : serial}, kind.useSwitch);
        d[field::eraseMemory] = "1";
        test::setFields(d, "schedule1=1 schedule2=1 schedule3=1 schedule4=1");
        if (kind.setting == Setting::noDataFolder)
            d[field::dataDirectory] = (folder.path() / "missing").string();
        d[field::forwardEnabled] = "1";
        d[field::forwardKind] = kind.setting == Setting::uploadFails ? "1" : "0";
        // The simulated station takes a logger's or a switch's fault, a modem in front the rest.
        const std::vector<sim::Fault> fault = testing::faults(kind.fault);
        sim::SimStation &simulated = *stations.emplace_back(std::make_unique<sim::SimStation>(
            world, sim::StationPlan{kind.useSwitch, {{1, loggerWith(serial, 5)}}, fault}));
        loggerAt[slot] = simulated.loggerAt(1);
        sim::Device *front = &simulated.front();
        if (!fault.empty() && sim::isModemFault(fault[0].kind)) {
            modems.push_back(std::make_unique<sim::HayesModem>(world, *front, fault));
            front = modems.back().get();
        }
        router.connect(slot, *front);
    }

    int sessionsOf(int slot) const {
        const std::string start =
            std::string(sessionText::preparingConnection) + " " + std::to_string(slot);
        const auto texts = progress.texts(ProgressLine::detail);
        return int(std::count(texts.begin(), texts.end(), start));
    }

    StationRouter router;
    std::vector<std::unique_ptr<sim::SimStation>> stations;
    std::vector<std::unique_ptr<sim::HayesModem>> modems;
    std::array<sim::Logger *, maxDevices + 1> loggerAt{};
};

TEST(Schedule, AWholeDayWithEveryKindOfFailure) {
    ConfSettings journalOn;
    journalOn.journal.emplace();
    FailingDay b(journalOn);
    b.runUntil(0, 0, 4);

    EXPECT_EQ(b.forwarding.reports(), (Texts{"report 1", "report 3", "report 5", "report 7"}));
    EXPECT_NE(b.file("schtitbl.xml").find("04/02/2026"), std::string::npos) << "the day closed";

    for (std::size_t r = 0; r < b.forwarding.reportedMarks.size(); ++r) {
        const int doneMark = 2 * int(r + 1);
        for (int slot = 1; slot <= maxDevices; ++slot) {
            const std::string mark = b.forwarding.reportedMarks[r].at(doneMark, slot);
            EXPECT_EQ(mark, kindOf(slot).letter) << kindOf(slot).legend << ", time " << r + 1;
            EXPECT_FALSE(statusReportText(mark).empty()) << "a line of its own for " << mark;
        }
    }
    for (int slot = 1; slot <= maxDevices; ++slot) {
        const FailureKind &kind = kindOf(slot);
        const sim::Logger &logger = *b.loggerAt[slot];
        const bool saved = dataSaved(kind.letter);
        EXPECT_EQ(b.sessionsOf(slot), scheduleTimeCount) << kind.legend << ", slot " << slot;
        EXPECT_EQ(testing::recordTransfers(logger), scheduleTimeCount * kind.transfers)
            << kind.legend;
        EXPECT_EQ(logger.count(sim::LoggerEvent::Kind::erased), saved ? scheduleTimeCount : 0)
            << kind.legend;

        // One row per session with the letter of its mark.
        const DeviceJournal seen = b.deviceJournal(slot);
        ASSERT_TRUE(seen.lastSession.has_value()) << kind.legend;
        EXPECT_EQ(seen.lastLetters, std::string(scheduleTimeCount, kind.letter[0])) << kind.legend;
        EXPECT_EQ(seen.lastSession->scheduleTime, scheduleTimeCount) << kind.legend;
        EXPECT_EQ(seen.lastSession->attempts, kind.attempts) << kind.legend;
        EXPECT_EQ(seen.missedTimes, saved ? 0 : scheduleTimeCount) << kind.legend;
        EXPECT_LE(seen.lastSession->started, seen.lastSession->ended) << kind.legend;

        // Every logger holds five records; only a file written in full reaches the journal, once.
        const auto readings = b.journalReadings(slot);
        EXPECT_EQ(readings.empty(), !saved) << kind.legend;
        for (const auto &[channel, stored] : readings) {
            std::set<UtcSeconds> times;
            for (const ExportedReading &r : stored)
                times.insert(r.utc);
            EXPECT_EQ(times.size(), 5u) << kind.legend << ", channel " << channel;
            EXPECT_EQ(stored.size(), 5u) << kind.legend << ", channel " << channel;
        }
    }
}

// One local station without a switch, scheduled at 06:00, 07:00, 08:00 and 09:00; with
// [retry] two more sessions, `afterMinutes` apart. Its logger answers from `answersAt` minutes
// past six on, or as `fault` says all day.
TEST(Schedule, ADeviceReadAgainWithinItsTime) {
    const struct {
        const char *legend;
        std::optional<int> afterMinutes; // none: [retry] off
        const char *fault;
        int answersAt;         // -1: never
        const char *serial;    // configured for the device
        const char *failing;   // the delivery that fails, if any
        std::string journaled; // the letters of time 1, one per session: the last is reported
    } cases[] = {
        {"read at once", 20, "", -1, "KV00000001", "", "X"},
        {"silent at first, answering 20 minutes later", 20, "silent", 20, "KV00000001", "", "SX"},
        {"silent all day: one session and two retries", 20, "silent", -1, "KV00000001", "", "SSS"},
        {"40 minutes apart: the next time gives the last retry up", 40, "silent", -1, "KV00000001",
         "", "SS"},
        {"a wrong serial number is not retried", 20, "", -1, "KV0000000X", "", "P"},
        {"data saved, mail refused: not retried", 20, "", -1, "KV00000001", "mail", "F"},
        {"data saved, alarm not sent: not retried", 20, "", -1, "KV00000001", "absolute", "A"},
        {"[retry] off: one session", std::nullopt, "silent", 20, "KV00000001", "", "S"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        ConfSettings settings;
        settings.journal.emplace();
        settings.silence = SilenceSettings{1};
        if (c.afterMinutes)
            settings.retry = RetrySettings{*c.afterMinutes, 2};
        CycleBench b({2026, 2, 3, 5, 58, 0}, settings);
        for (int s = 1; s <= scheduleTimeCount; ++s)
            b.station.scheduleTimes[s] = std::to_string(5 + s);
        DeviceRecord &d = b.configure(1, "locl0000", {c.serial}, false);
        test::setFields(d, "schedule1=1 schedule2=1 schedule3=1 schedule4=1 reportEnabled=1 "
                           "forwardEnabled=1 reportAddress=ops@example.org");
        b.saveConfiguration();
        b.forwarding.fails = [&c](const std::string &call, int) { return call == c.failing; };
        b.port.attach(b.addLogger(loggerWith("KV00000001", 3, testing::faults(c.fault))));
        sim::Logger &answering = b.addLogger(loggerWith("KV00000001", 3));
        const auto sessions = [&b] {
            return b.linesStarting(std::string(sessionText::preparingConnection) + " 1");
        };
        const int read = int(c.journaled.size());
        const std::string last = c.journaled.substr(c.journaled.size() - 1);

        b.runUntil(6, 10);
        EXPECT_EQ(b.schedule.retryAt(1).has_value(), read > 1);
        if (c.answersAt >= 0) {
            b.runUntil(6, c.answersAt);
            b.port.attach(answering);
        }
        b.runUntil(7, 0);
        EXPECT_EQ(sessions(), read) << "none after the next time";
        EXPECT_EQ(b.deviceJournal(1).missedTimes, dataSaved(last) ? 0 : 1) << "one time missed";
        b.runUntil(7, 10);
        ASSERT_EQ(b.forwarding.reports().at(0), "report 1");
        EXPECT_EQ(b.forwarding.reportedMarks[0].at(2, 1), last);
        const auto &counted = b.forwarding.reportedSessions[0];
        EXPECT_EQ(counted.contains({1, 1}) ? counted.at({1, 1}) : 1, read);
        EXPECT_NE(b.mark(1, 2), "") << "the next time's session is not held up";
        EXPECT_EQ(sessions(), read + 1);
        EXPECT_EQ(b.deviceJournal(1).lastLetters.substr(0, read), c.journaled);
        const auto silent = std::count_if(b.alarmMails.begin(), b.alarmMails.end(), [](auto &m) {
            return m.subject.starts_with("Station silent");
        });
        EXPECT_EQ(silent, dataSaved(last) ? 0 : 1) << "the silence is judged on the time's last";
    }
}

} // namespace
} // namespace vantrell
