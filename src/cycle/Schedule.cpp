#include "cycle/Schedule.h"

#include "config/ConfigError.h"
#include "config/ScheduleFiles.h"
#include "config/SessionStatus.h"
#include "general/Clock.h"
#include "general/Progress.h"
#include "general/Text.h"

#include <algorithm>
#include <optional>

namespace vantrell {

namespace {

// The tooltip's wording, the same on the tray icon and in the headless status.
constexpr const char *communicatingTip = "Comunicating... ";
constexpr const char *offlineTip = "Vantrell offline";
constexpr const char *stationTip = "Vantrell ";
constexpr const char *nextConnectionTip = "\rNext connection in ";
constexpr const char *hoursTip = " Hours ";
constexpr const char *minutesTip = " Minutes";

constexpr long long secondsPerDay = 24 * 3600;
// The retries of the day's last time end here, so that its report still goes out on its day: at
// midnight an unfinished day is taken for a stale one.
constexpr int lastRetryMinute = 23 * 60 + 30;

std::optional<LocalDateTime> parseDay(std::string_view text) {
    const std::string t = trim(text);
    if (t.size() != 10 || t[2] != '/' || t[5] != '/')
        return std::nullopt;
    const LocalDateTime day{int(valInt(cut(t, {6, 4}))), int(valInt(cut(t, {3, 2}))),
                            int(valInt(cut(t, {0, 2})))};
    if (day.month < 1 || day.month > 12 || day.day < 1 || day.day > 31)
        return std::nullopt;
    return day;
}

long long daysBetween(const LocalDateTime &from, const LocalDateTime &to) {
    const LocalDateTime a{from.year, from.month, from.day};
    const LocalDateTime b{to.year, to.month, to.day};
    return (b.toLocalSeconds() - a.toLocalSeconds()).count() / secondsPerDay;
}

int minutesOfDay(const LocalDateTime &t) {
    return t.hour * 60 + t.minute;
}

// What the cycle meant to write, kept where the save failed; nothing where the file holds it.
std::optional<std::string> keptIfUnsaved(const ConfigError &error, std::string meant) {
    return error.failed() ? std::optional(std::move(meant)) : std::nullopt;
}

} // namespace

std::string dayText(const LocalDateTime &day) {
    return zeroPad(day.day, 2) + "/" + zeroPad(day.month, 2) + "/" + zeroPad(day.year, 4);
}

// A folder that turned read-only fails every save alike: the first failure of each schedule
// time is logged, and the others would only repeat it.
void Schedule::logFailure(const ConfigError &error) {
    if (!error.failed())
        return;
    if (failureLogged_.first(dayText(station_.clock().localNow()), station_.session.dailyMarkIndex))
        station_.progress().detail(describe(error));
}

bool Schedule::scheduleOff() const {
    for (int s = 1; s <= scheduleTimeCount; ++s)
        if (valInt(station_.scheduleTimes[s]) != -1)
            return false;
    return true;
}

void Schedule::tick() {
    if (scheduleOff())
        return;
    for (int slot = 1; slot <= maxDevices; ++slot)
        if (station_.devices[slot].flag(field::active)) {
            runCycleStep();
            return;
        }
}

// A tick that arrives while a session waits finds it running and leaves it alone. Every wait
// in a session is bounded, so a session always ends and no watchdog has to end it.
void Schedule::runCycleStep() {
    if (station_.session.sessionRunning)
        return;
    if (!checkDay())
        return;
    if (runSlots())
        closeDay();
}

// False when the tick ends here: a stale day was reset, or today's work is already finished.
bool Schedule::checkDay() {
    const LocalDateTime now = station_.clock().localNow();
    const std::string stored = scheduleDay();
    if (trim(stored).empty()) {
        storeScheduleDay(dayText(now));
        return true;
    }
    const auto day = parseDay(stored);
    const long long d = day ? daysBetween(now, *day) : -1;
    if (d == 0)
        return true;
    if (d == 1) {
        countDownToTomorrow();
        return false;
    }
    storeScheduleDay(dayText(now));
    clearSlotMarks();
    if (clearDoneMarks())
        logFailure(DailyMarksFile(station_).loadDailyMarks());
    clearReportMarks();
    return false;
}

void Schedule::countDownToTomorrow() {
    const std::string first = scheduleTimeText(station_.scheduleTimes, 1);
    const int target = first.empty() ? 0 : int(valInt(first)) * 60;
    const int m = 24 * 60 - minutesOfDay(station_.clock().localNow()) + target;
    hoursToNext_ = m / 60;
    minutesToNext_ = m % 60;
}

// True when all four times are done (the day can close); false when the tick ended early.
bool Schedule::runSlots() {
    station_.session.dailyMarkIndex = 1;
    for (int currentSlot = 1; currentSlot <= scheduleTimeCount; ++currentSlot) {
        if (isDoneMark(trim(slotMark(currentSlot))))
            continue;
        if (scheduleTimeText(station_.scheduleTimes, currentSlot).empty()) {
            markSlotDone(currentSlot);
            continue;
        }
        if (!slotDue(currentSlot))
            return false;
        for (int time = 1; time <= scheduleTimeCount; ++time) {
            station_.session.dailyMarkIndex = 2 * time - 1;
            if (const std::optional<int> due = runTime(time)) {
                if (!scheduleTimeText(station_.scheduleTimes, currentSlot).empty() &&
                    slotDue(currentSlot))
                    readDevice(*due, time);
                return false;
            }
            if (retries_.waiting(time))
                return false;
        }
        station_.session.dailyMarkIndex = 2 * scheduleTimeCount + 1;
    }
    return true;
}

SessionRequest Schedule::requestFor(int slot, int time) const {
    const DeviceRecord &device = station_.devices[slot];
    return {slot, 2 * time - 1, device.connection(), device};
}

void Schedule::readDevice(int slot, int time) {
    retries_.sessionEnded(time, slot, session_.read(requestFor(slot, time)));
    if (!retries_.waiting(time, slot))
        session_.timeEnded(slot);
}

// The retries of a time stop where the next time that is set begins.
bool Schedule::nextTimeCome(int time) const {
    int end = lastRetryMinute;
    for (int next = scheduleTimeCount; next > time; --next)
        if (const std::string chosen = scheduleTimeText(station_.scheduleTimes, next);
            !chosen.empty())
            end = int(valInt(chosen)) * 60;
    return minutesOfDay(station_.clock().localNow()) >= end;
}

// Marks done every device time `time` does not concern; stops at the first device due and
// gives its slot. Once none is, a retry whose moment has come is due; the time is finished
// when no retry of it waits.
std::optional<int> Schedule::runTime(int time) {
    const int scheduled = 2 * time - 1;
    DailyMarksFile marks(station_);
    for (int slot = 1; slot <= maxDevices; ++slot) {
        if (station_.devices[slot].flag(field::active) &&
            isDoneMark(station_.dailyMarks.at(scheduled, slot))) {
            if (trim(station_.dailyMarks.at(scheduled + 1, slot)).empty())
                return slot;
            continue;
        }
        // Written once: the file already holds a mark that is set.
        std::string &done = station_.dailyMarks.at(scheduled + 1, slot);
        if (isDoneMark(done))
            continue;
        done = letterOf(SessionStatus::done);
        logFailure(marks.writeDailyMark(slot, scheduled));
    }
    if (retries_.waiting(time) && nextTimeCome(time))
        for (const int device : retries_.giveUp(time))
            session_.timeEnded(device);
    if (const std::optional<int> retry = retries_.takeDue(time))
        return retry;
    if (!retries_.waiting(time))
        finishTime(time);
    return std::nullopt;
}

// Every tick passes the times already finished on its way to the one in progress; a mark that is
// set is not written again.
void Schedule::finishTime(int time) {
    if (!isDoneMark(trim(slotMark(time))))
        markSlotDone(time);
    const DeviceRecord &first = station_.devices[1];
    if (!scheduleTimeText(station_.scheduleTimes, time).empty() &&
        !trim(first[field::reportAddress]).empty() && first.flag(field::reportEnabled))
        sendReportOnce(time);
}

void Schedule::sendReportOnce(int time) {
    if (!reportMark(time).empty())
        return;
    ProgressSink &progress = station_.progress();
    progress.openWindow();
    station_.wait(1);
    forwarding_.sendRunReport();
    markReportSent(time);
    if (reportSent_)
        reportSent_(time);
    progress.detail("");
    progress.closeWindow();
}

void Schedule::closeDay() {
    const bool doneMarksCleared = clearDoneMarks();
    startNextDay();
    clearReportMarks();
    DailyMarksFile marks(station_);
    logFailure(marks.writeScheduledMarks(station_.selectedDevice));
    if (doneMarksCleared)
        logFailure(marks.loadDailyMarks());
}

std::string Schedule::scheduleDay() {
    if (unsaved_.day)
        return *unsaved_.day;
    std::string day;
    logFailure(ScheduleDayFile(station_).readScheduleDay(day));
    return day;
}

void Schedule::storeScheduleDay(const std::string &day) {
    const ConfigError error = ScheduleDayFile(station_).writeScheduleDay(day);
    logFailure(error);
    unsaved_.day = keptIfUnsaved(error, day);
}

std::string Schedule::slotMark(int time) {
    if (const auto &unsaved = unsaved_.slotMarks[time])
        return *unsaved;
    std::string mark;
    logFailure(ScheduleDayFile(station_).readSlotMark(time, mark));
    return mark;
}

void Schedule::markSlotDone(int time) {
    const ConfigError error = ScheduleDayFile(station_).markSlotDone(time);
    logFailure(error);
    unsaved_.slotMarks[time] = keptIfUnsaved(error, std::string(letterOf(SessionStatus::done)));
}

std::string Schedule::reportMark(int time) {
    if (const auto &unsaved = unsaved_.reportMarks[time])
        return *unsaved;
    logFailure(ReportMarksFile(station_).loadReportMarks());
    return station_.reportSentMarks[time];
}

void Schedule::markReportSent(int time) {
    const ConfigError error = ReportMarksFile(station_).markReportSent(time);
    logFailure(error);
    unsaved_.reportMarks[time] = keptIfUnsaved(error, std::string(letterOf(SessionStatus::done)));
    station_.reportSentMarks[time] = letterOf(SessionStatus::done);
}

void Schedule::clearSlotMarks() {
    const ConfigError error = ScheduleDayFile(station_).clearSlotMarks();
    logFailure(error);
    unsaved_.slotMarks.fill(keptIfUnsaved(error, ""));
}

void Schedule::startNextDay() {
    const ConfigError error = ScheduleDayFile(station_).startNextDay();
    logFailure(error);
    const LocalDateTime tomorrow = station_.clock().localNow().plusSeconds(secondsPerDay);
    unsaved_.day = keptIfUnsaved(error, dayText(tomorrow));
    unsaved_.slotMarks.fill(keptIfUnsaved(error, ""));
}

// A new day begins with no device done. The marks are cleared in memory too: where the file
// cannot be cleared, reloading it would bring back the marks of the day before. True when the
// file was cleared.
bool Schedule::clearDoneMarks() {
    const ConfigError error = DailyMarksFile(station_).clearDoneMarks();
    logFailure(error);
    for (int slot = 1; slot <= maxDevices; ++slot)
        for (int time = 1; time <= scheduleTimeCount; ++time)
            station_.dailyMarks.at(2 * time, slot).clear();
    station_.retriedFromOutbox.clear();
    retries_.forget();
    return !error.failed();
}

// A report sent on another day must not silence today's report of the same time.
void Schedule::clearReportMarks() {
    const ConfigError error = ReportMarksFile(station_).clearReportMarks();
    logFailure(error);
    unsaved_.reportMarks.fill(keptIfUnsaved(error, ""));
}

void Schedule::previewCountdown() {
    ScheduleDayFile dayFile(station_);
    std::string stored;
    (void)dayFile.readScheduleDay(stored);
    const auto day = parseDay(stored);
    if (day && daysBetween(station_.clock().localNow(), *day) == 1) {
        countDownToTomorrow();
        return;
    }
    for (int time = 1; time <= scheduleTimeCount; ++time) {
        std::string slotMark;
        (void)dayFile.readSlotMark(time, slotMark);
        const std::string chosen = scheduleTimeText(station_.scheduleTimes, time);
        if (isDoneMark(trim(slotMark)) || chosen.empty())
            continue;
        const int m =
            std::max(0, int(valInt(chosen)) * 60 - minutesOfDay(station_.clock().localNow()));
        hoursToNext_ = m / 60;
        minutesToNext_ = m % 60;
        return;
    }
    countDownToTomorrow();
}

bool Schedule::slotDue(int currentSlot) {
    const int dailyMarkIndex = station_.session.dailyMarkIndex;
    const int time = currentSlot == dailyMarkIndex ? currentSlot : dailyMarkIndex / 2 + 1;
    const std::string chosen = scheduleTimeText(station_.scheduleTimes, time);
    if (chosen.empty())
        return false;
    const int m = int(valInt(chosen)) * 60 - minutesOfDay(station_.clock().localNow());
    if (m <= 0)
        return true;
    hoursToNext_ = m / 60;
    minutesToNext_ = m % 60;
    return false;
}

std::string Schedule::tooltipText() const {
    if (station_.session.communicating)
        return communicatingTip;
    if (scheduleOff())
        return offlineTip;
    const LocalDateTime now = station_.clock().localNow();
    const std::string when = dayText(now) + " " + zeroPad(now.hour, 2) + ":" +
                             zeroPad(now.minute, 2) + ":" + zeroPad(now.second, 2);
    return stationTip + when + nextConnectionTip + std::to_string(hoursToNext_) + hoursTip +
           std::to_string(minutesToNext_) + minutesTip;
}

} // namespace vantrell
