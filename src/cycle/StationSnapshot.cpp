#include "StationSnapshot.h"

#include "config/ScheduleFiles.h"
#include "config/Station.h"
#include "cycle/Schedule.h"
#include "general/Text.h"
#include "journal/LocalTime.h"

#include <ctime>

namespace vantrell {

namespace {

std::string timeZoneName(UtcSeconds utc) {
    const std::time_t t = utc;
    std::tm local{};
    if (::localtime_r(&t, &local) == nullptr || local.tm_zone == nullptr)
        return {};
    return local.tm_zone;
}

} // namespace

StationSnapshot takeSnapshot(Station &station, const Schedule &schedule,
                             std::vector<std::string> logLines) {
    StationSnapshot s;
    s.stationName = station.configDir().filename().string();
    if (s.stationName.empty())
        s.stationName = station.configDir().parent_path().filename().string();
    s.localNow = station.clock().localNow();
    const ReadingTime now = toUtc(s.localNow);
    s.localTime = isoLocal(now.utc, now.offsetSeconds);
    s.timeZone = timeZoneName(now.utc);
    s.communicating = station.session.communicating;
    if (!schedule.scheduleOff()) {
        s.countdown = StationSnapshot::Countdown{schedule.hoursToNext(), schedule.minutesToNext()};
        // The countdown counts whole minutes: the next time starts at the minute.
        const UtcSeconds next =
            now.utc + (s.countdown->hours * 60 + s.countdown->minutes) * 60 - now.utc % 60;
        int offset = 0;
        (void)toLocal(next, &offset);
        s.nextTime = isoLocal(next, offset);
    }
    ScheduleDayFile dayFile(station);
    (void)dayFile.readScheduleDay(s.scheduleDay);
    s.scheduleDay = trim(s.scheduleDay);
    for (int t = 1; t <= scheduleTimeCount; ++t) {
        s.times[t - 1] = scheduleTimeText(station.scheduleTimes, t);
        (void)dayFile.readSlotMark(t, s.done[t - 1]);
        s.done[t - 1] = trim(s.done[t - 1]);
    }
    for (int slot = 1; slot <= maxDevices; ++slot) {
        const DeviceRecord &d = station.devices[slot];
        if (d.isFree())
            continue;
        DeviceSnapshot device{
            slot, d[field::description], d.connection(), d.flag(field::active), {}, {}, {}};
        for (int t = 1; t <= scheduleTimeCount; ++t) {
            device.scheduled[t - 1] = d.scheduledAt(t);
            device.marks[t - 1] = station.dailyMarks.at(2 * t, slot);
        }
        for (int logger = 1; logger <= maxLoggers; ++logger)
            device.serials.push_back(trim(d.serialNumber(logger)));
        while (!device.serials.empty() && device.serials.back().empty())
            device.serials.pop_back();
        s.devices.push_back(std::move(device));
    }
    s.logLines = std::move(logLines);
    return s;
}

void SnapshotBox::publish(StationSnapshot snapshot) {
    auto next = std::make_shared<const StationSnapshot>(std::move(snapshot));
    const std::lock_guard lock(mutex_);
    current_ = std::move(next);
}

std::shared_ptr<const StationSnapshot> SnapshotBox::current() const {
    const std::lock_guard lock(mutex_);
    return current_;
}

void LogRing::show(ProgressLine line, std::string_view text) {
    keep(text);
    inner_.show(line, text);
}

void LogRing::failure(std::string_view text) {
    keep(text);
    inner_.failure(text);
}

void LogRing::note(std::string_view text) {
    keep(text);
    inner_.note(text);
}

void LogRing::keep(std::string_view text) {
    const std::lock_guard lock(mutex_);
    if (lines_.size() == capacity)
        lines_.pop_front();
    lines_.emplace_back(text);
    ++generation_;
}

std::vector<std::string> LogRing::lines() const {
    const std::lock_guard lock(mutex_);
    return {lines_.begin(), lines_.end()};
}

std::size_t LogRing::generation() const {
    const std::lock_guard lock(mutex_);
    return generation_;
}

} // namespace vantrell
