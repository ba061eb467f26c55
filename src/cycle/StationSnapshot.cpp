#include "StationSnapshot.h"

#include "config/ScheduleFiles.h"
#include "config/Station.h"
#include "cycle/Schedule.h"
#include "general/Text.h"

namespace vantrell {

StationSnapshot takeSnapshot(Station &station, const Schedule &schedule,
                             std::vector<std::string> logLines) {
    StationSnapshot s;
    s.stationName = station.configDir().filename().string();
    if (s.stationName.empty())
        s.stationName = station.configDir().parent_path().filename().string();
    const LocalDateTime now = station.clock().localNow();
    s.localTime = zeroPad(now.year, 4) + "-" + zeroPad(now.month, 2) + "-" + zeroPad(now.day, 2) +
                  " " + zeroPad(now.hour, 2) + ":" + zeroPad(now.minute, 2) + ":" +
                  zeroPad(now.second, 2);
    s.countdownText = schedule.tooltipText();
    if (!schedule.scheduleOff())
        s.countdown = StationSnapshot::Countdown{schedule.hoursToNext(), schedule.minutesToNext()};
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
            slot, d[field::description], d.connection(), d.flag(field::active), {}, {}};
        for (int t = 1; t <= scheduleTimeCount; ++t) {
            device.scheduled[t - 1] = d.scheduledAt(t);
            device.marks[t - 1] = station.dailyMarks.at(2 * t, slot);
        }
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
