// A whole station in virtual time over an installed configuration folder: the simulated line,
// the reading session and the cycle, with forwarding recorded instead of delivered, and the
// journal when the settings turn it on (the silent-station alarm's mail recorded as well).
#pragma once

#include "StationBench.h"
#include "TempFolder.h"
#include "config/ConfFile.h"
#include "config/ConfigStation.h"
#include "config/DeviceFile.h"
#include "config/ScheduleFiles.h"
#include "config/Templates.h"
#include "cycle/Schedule.h"
#include "cycle/Session.h"
#include "cycle/StationJournal.h"
#include "forwarding/ForwardingBench.h"
#include "sim/Faults.h"
#include "sim/LineSwitch.h"
#include "sim/Logger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vantrell::testing {

// Records the calls; an alarm check raises one alarm, and a delivery fails, where `fails` says
// so for the call and the device.
class RecordingForwarding final : public Forwarding {
public:
    std::vector<Sent> checkAbsoluteAlarms(const SessionRequest &request, const ChannelSetup *setup,
                                          const LoggerResult &) override {
        withoutSetup += setup == nullptr ? 1 : 0;
        return alarm("absolute", request.device);
    }
    std::vector<Sent> checkAccelerationAlarms(const SessionRequest &request,
                                              const ChannelSetup *setup, const LoggerResult &,
                                              const std::vector<Reading> &history) override {
        withoutSetup += setup == nullptr ? 1 : 0;
        histories.push_back(history);
        return alarm("acceleration", request.device);
    }
    std::vector<Sent> sendLimitAlarm(const SessionRequest &request, const LoggerResult &) override {
        return alarm("limit", request.device);
    }
    Sent sendDataMail(const SessionRequest &request, const LoggerResult &logger) override {
        forwarded.push_back(logger.path);
        return outcome("mail", request.device);
    }
    Sent sendDataFtp(const SessionRequest &request, const LoggerResult &logger) override {
        forwarded.push_back(logger.path);
        return outcome("ftp", request.device);
    }
    void sendRunReport() override {
        calls.push_back("report " + std::to_string(station->session.dailyMarkIndex));
        reportedMarks.push_back(station->dailyMarks);
        reportedSessions.push_back(station->sessionsInTime);
    }

    Station *station = nullptr;
    std::function<bool(const std::string &call, int device)> fails = [](auto &, int) {
        return false;
    };
    bool retried = false; // the outbox keeps what failed
    std::vector<std::string> calls;
    std::vector<std::string> forwarded;          // the data files mailed or uploaded
    int withoutSetup = 0;                        // alarm checks given no channel setup
    std::vector<std::vector<Reading>> histories; // what each acceleration check was given

    std::vector<DailyMarks> reportedMarks;                            // as each report found them
    std::vector<std::map<std::pair<int, int>, int>> reportedSessions; // the same

    // The run reports sent, as "report <daily mark index>".
    std::vector<std::string> reports() const {
        std::vector<std::string> out;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                     [](const std::string &call) { return call.starts_with("report"); });
        return out;
    }

private:
    Sent outcome(const std::string &call, int device) {
        calls.push_back(call);
        return fails(call, device) ? Sent{Delivery::failed("refused"), retried} : Sent{};
    }
    std::vector<Sent> alarm(const std::string &call, int device) {
        const Sent sent = outcome(call, device);
        return sent.delivery.delivered() ? std::vector<Sent>{} : std::vector<Sent>{sent};
    }
};

struct ConfigFolder {
    TempFolder folder;
};

struct CycleBench : ConfigFolder, StationBench {
    explicit CycleBench(LocalDateTime start = {2026, 2, 3, 9, 5, 0},
                        const ConfSettings &settings = {})
        : StationBench(start, folder.path()), journal(station, settings),
          schedule(station, session, forwarding, settings.retry) {
        journal.attachAlarms(alarms);
        EXPECT_TRUE(installTemplates(folder.path()).failures.empty());
        forwarding.station = &station;
    }

    // Reads device `slot` as the schedule would at schedule time `time`.
    SessionResult read(int slot = 1, int time = 1) {
        station.session.dailyMarkIndex = 2 * time - 1;
        const DeviceRecord &device = station.devices[slot];
        return session.read({slot, 2 * time - 1, device.connection(), device});
    }

    // Device `slot` as an active local station with the given loggers' serial numbers.
    DeviceRecord &configure(int slot, const std::string &connection,
                            std::vector<std::string> serials, bool useSwitch) {
        DeviceRecord &d = station.devices[slot];
        d[field::connection] = connection;
        test::setFields(d, std::string("active=1 savingMode=1 useSwitch=") +
                               (useSwitch ? "1" : "0") +
                               " dataDirectory=" + (folder.path() / "data").string());
        for (std::size_t k = 0; k < serials.size(); ++k)
            d.serialNumber(int(k) + 1) = serials[k];
        std::filesystem::create_directories(folder.path() / "data");
        return d;
    }

    // Writes the schedule times, every device with its scheduled marks and the report settings,
    // as the windows would, and loads the day's marks.
    void saveConfiguration() {
        ScheduleTimesFile times(station);
        for (int i = 0; i < scheduleTimeCount; ++i)
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

    // Ticks every ten seconds until the local time reaches `hour`:`minute` of `day`.
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

    sim::Logger &addLogger(sim::LoggerDescription description) {
        loggers.push_back(std::make_unique<sim::Logger>(world, std::move(description)));
        return *loggers.back();
    }

    std::string mark(int slot, int time) const { return station.dailyMarks.at(2 * time, slot); }

    // A file of the configuration folder, whole.
    std::string file(const char *name) const {
        std::ifstream in(folder.path() / name);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // What the journal holds, through a connection of the test's own.
    std::unique_ptr<Journal> readJournal() const {
        std::unique_ptr<Journal> opened;
        EXPECT_FALSE(Journal::open(journal.file(), Journal::Access::readOnly, opened));
        return opened;
    }
    DeviceJournal deviceJournal(int slot) const {
        DeviceJournal seen;
        const std::unique_ptr<Journal> opened = readJournal();
        EXPECT_TRUE(opened && !opened->deviceJournal(slot, seen)) << "device " << slot;
        return seen;
    }
    // The readings of device `slot`, channel by channel, in the journal's order.
    std::map<int, std::vector<ExportedReading>> journalReadings(int slot) const {
        std::map<int, std::vector<ExportedReading>> byChannel;
        const std::unique_ptr<Journal> opened = readJournal();
        EXPECT_TRUE(opened && !opened->forEachReading(
                                  {slot, {}, {}, {}},
                                  [&](const auto &r) { byChannel[r.channel].push_back(r); }))
            << "device " << slot;
        return byChannel;
    }

    // The detail lines that begin with `prefix`.
    int linesStarting(std::string_view prefix) const {
        int n = 0;
        for (const std::string &text : progress.texts(ProgressLine::detail))
            n += text.starts_with(prefix);
        return n;
    }

    RecordingForwarding forwarding;
    std::vector<MailMessage> alarmMails;
    sim::SimPort smsPort{world, smsPortNumber};
    AlarmDelivery alarms{station, smsPort,
                         [this] { return std::make_unique<FakeMailSession>(alarmMails, ""); },
                         noOutbox()};
    StationJournal journal;
    Session session{station, forwarding, &journal};
    Schedule schedule;
    std::vector<std::unique_ptr<sim::Logger>> loggers;
};

// Memory transfers a logger ran, whole or cut short.
inline int recordTransfers(const sim::Logger &logger) {
    return logger.count(sim::LoggerEvent::Kind::recordsSent) +
           logger.count(sim::LoggerEvent::Kind::transferCut);
}

// A fault in the simulator's own words ("silent", "stopsAfterRecord:3"); none for "".
inline std::vector<sim::Fault> faults(std::string_view text) {
    const std::optional<sim::Fault> fault = sim::parseFault(text);
    return fault ? std::vector{*fault} : std::vector<sim::Fault>{};
}

inline sim::LoggerDescription loggerWith(const std::string &serial, std::size_t records,
                                         std::vector<sim::Fault> faults = {}) {
    sim::LoggerDescription d;
    d.serial = serial;
    d.memory = sim::makeMemory(records, {2026, 2, 2, 0, 0, 0}, 600);
    d.faults = std::move(faults);
    return d;
}

} // namespace vantrell::testing
