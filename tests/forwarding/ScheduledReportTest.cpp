// A whole schedule time in virtual time, from the first tick to the report mail, with the
// station's real mail going to a real SMTP server.
#include "ServerProcess.h"
#include "StationBench.h"
#include "TempFolder.h"
#include "config/DeviceFile.h"
#include "config/ScheduleFiles.h"
#include "config/Templates.h"
#include "cycle/Schedule.h"
#include "forwarding/StationForwarding.h"
#include "sim/Logger.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using testing::contents;

struct ConfigFolder {
    testing::TempFolder folder;
};

// One local logger scheduled at 06:00 whose file is forwarded by mail, the report switched on,
// and the clock at 05:58.
struct MorningStation : ConfigFolder, testing::StationBench {
    MorningStation() : StationBench({2026, 2, 3, 5, 58, 0}, folder.path()) {
        EXPECT_TRUE(installTemplates(folder.path()).failures.empty());
        station.settings.smtpHost = sink.address();
        station.scheduleTimes = {"6", "-1", "-1", "-1"};
        DeviceRecord &d = station.devices[1];
        d[field::active] = "1";
        d[field::connection] = "locl0000";
        d.serialNumber(1) = "0001KV0126";
        d[field::scheduleSlot1] = "1";
        d[field::dataDirectory] = folder.path().string();
        d[field::savingMode] = "0";
        d[field::forwardEnabled] = "1";
        d[field::forwardKind] = "0";
        d[field::forwardAddress] = "data@example.org";
        d[field::smtpServer] = sink.address();
        d[field::reportEnabled] = "1";
        d[field::reportAddress] = "ops@example.org";
        port.attach(logger);
        saveConfiguration();
    }

    void saveConfiguration() {
        for (int i = 0; i < scheduleTimeCount; ++i)
            EXPECT_FALSE(ScheduleTimesFile(station).saveScheduleTime(i).failed());
        DailyMarksFile marks(station);
        for (int slot = 1; slot <= maxDevices; ++slot)
            EXPECT_FALSE(marks.writeScheduledMarks(slot).failed());
        station.selectedDevice = 1;
        EXPECT_FALSE(DeviceFile(station).saveDevice().failed());
        EXPECT_FALSE(DeviceFile(station).saveReportSettings().failed());
        EXPECT_FALSE(marks.loadDailyMarks().failed());
    }

    static sim::LoggerDescription loggerDescription() {
        sim::LoggerDescription d;
        d.memory = sim::makeMemory(5, {2026, 2, 3, 0, 0, 0}, 600);
        return d;
    }

    testing::ServerProcess sink{"smtp_sink.py", {(folder.path() / "mail").string()}};
    sim::Logger logger{world, loggerDescription()};
    sim::SimPort smsPort{world, 3};
    StationForwarding forwarding{station, {curlMailSessions(), curlFtpSessions(), smsPort}};
    Session session{station, forwarding};
    Schedule schedule{station, session, forwarding};
};

TEST(ScheduledRun, EndsWithTheReportMailReceived) {
    MorningStation m;
    ASSERT_NE(m.sink.port(), 0);
    // The cycle ticks every ten seconds; an hour is far more than one local logger needs.
    while (m.station.reportSentMarks[1].empty() && m.world.now() < 3600) {
        m.schedule.tick();
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
