#include "CycleBench.h"

#include "config/ConfigFiles.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vantrell {
namespace {

using testing::CycleBench;
using testing::loggerWith;

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
        saveEverything();
    }

    static bool scheduledAt(int slot, int time) { return (slot + time) % 3 != 0; }

    void saveEverything() {
        ScheduleTimesFile times(station);
        for (int i = 0; i < 4; ++i)
            EXPECT_FALSE(times.saveScheduleTime(i).failed());
        DailyMarksFile marks(station);
        for (int slot = 1; slot <= maxDevices; ++slot) {
            station.selectedDevice = slot;
            EXPECT_FALSE(DeviceFile(station).saveDevice().failed());
            EXPECT_FALSE(marks.writeScheduledMarks(slot).failed());
        }
        EXPECT_FALSE(DeviceFile(station).saveReportSettings().failed());
        station.selectedDevice = 1;
        EXPECT_FALSE(marks.loadDailyMarks().failed());
    }

    // Ticks every ten seconds until the local time reaches `hour`:`minute`.
    void runUntil(int hour, int minute, int day = 3) {
        for (;;) {
            const LocalDateTime now = world.clock().localNow();
            if (now.day > day ||
                (now.day == day && now.hour * 60 + now.minute >= hour * 60 + minute))
                return;
            schedule.tick();
            world.runFor(10);
        }
    }

    std::string expectedMark(int slot, int time) const {
        if (slot % 7 == 0 || !scheduledAt(slot, time))
            return "X";
        return slot % 5 == 0 ? "P" : "X";
    }

    std::string file(const char *name) const {
        std::ifstream in(folder.path() / name);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    sim::Logger *logger = nullptr;
};

int readings(const sim::Logger &logger) {
    return logger.count(sim::LoggerEvent::Kind::recordsSent);
}

int devicesRead(int time) {
    int n = 0;
    for (int slot = 1; slot <= maxDevices; ++slot)
        n += slot % 7 != 0 && slot % 5 != 0 && DayBench::scheduledAt(slot, time);
    return n;
}

TEST(Schedule, AWholeDayInVirtualTime) {
    DayBench b;
    b.schedule.tick();
    EXPECT_EQ(readings(*b.logger), 0);
    EXPECT_EQ(b.schedule.hoursToNext(), 0);
    EXPECT_EQ(b.schedule.minutesToNext(), 2);
    EXPECT_NE(b.schedule.tooltipText().find("Next connection in 0 Hours 2 Minutes"),
              std::string::npos);

    b.runUntil(11, 0);
    EXPECT_EQ(readings(*b.logger), devicesRead(1));
    for (int slot = 1; slot <= maxDevices; ++slot)
        EXPECT_EQ(b.mark(slot, 1), b.expectedMark(slot, 1)) << "slot " << slot;
    EXPECT_EQ(b.forwarding.calls.back(), "report 1");
    EXPECT_EQ(b.schedule.hoursToNext(), 1); // 11:00 -> 12:00
    EXPECT_EQ(b.mark(2, 2), "");

    b.runUntil(23, 59);
    EXPECT_EQ(readings(*b.logger),
              devicesRead(1) + devicesRead(2) + devicesRead(3) + devicesRead(4));
    const auto reports =
        std::count_if(b.forwarding.calls.begin(), b.forwarding.calls.end(),
                      [](const std::string &c) { return c.rfind("report", 0) == 0; });
    EXPECT_EQ(reports, 4);
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
    const int before = readings(*b.logger);
    ASSERT_GT(before, 0);
    ASSERT_LT(before, devicesRead(1));

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
    EXPECT_EQ(readings(*b.logger), devicesRead(1));
}

TEST(Schedule, AStartOnALaterDayResetsTheMarks) {
    DayBench b;
    b.runUntil(7, 0);
    b.world.clock().setLocalTime({2026, 2, 6, 7, 0, 0});
    b.schedule.tick(); // resets and ends
    EXPECT_NE(b.file("schtitbl.xml").find("06/02/2026"), std::string::npos);
    EXPECT_EQ(b.mark(1, 1), "");
    const int before = readings(*b.logger);
    b.schedule.tick(); // time 1 of the new day is due at once
    EXPECT_EQ(readings(*b.logger), before + 1);
}

TEST(Schedule, SlotDueFollowsTheIndexRule) {
    const struct {
        const char *legend;
        int currentSlot;
        int dailyMarkIndex;
        bool expectedDue; // at 13:00 with times 06, 12, 18, 22
    } cases[] = {
        {"slot 2, index 1: time 1", 2, 1, true},
        {"slot 3, index 3: time 3, not time 2", 3, 3, false},
        {"slot 1, index 5: time 3", 1, 5, false},
        {"slot 1, index 3: time 2", 1, 3, true},
    };
    for (const auto &c : cases) {
        DayBench b({2026, 2, 3, 13, 0, 0});
        b.station.session.dailyMarkIndex = c.dailyMarkIndex;
        EXPECT_EQ(b.schedule.slotDue(c.currentSlot), c.expectedDue) << c.legend;
    }
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

} // namespace
} // namespace vantrell
