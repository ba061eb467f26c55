// The unattended cycle: on every tick, find the day's first schedule time not yet done, test
// whether its hour has come, and read the first device due at it — at most one device a tick.
// Devices not concerned are marked done at once, a finished time is marked and reported, and
// a finished day rolls over to tomorrow. The day's progress lives in the marks files, so a
// restart continues where the files say. With [retry], a time is finished once no retry of it
// waits.
#pragma once

#include "config/Station.h"
#include "cycle/OncePerTime.h"
#include "cycle/Session.h"
#include "cycle/SessionRetries.h"
#include "forwarding/Forwarding.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace vantrell {

class Schedule {
public:
    // With `retry`, a device whose session may be mended is read again within the same time.
    Schedule(Station &station, Session &session, Forwarding &forwarding,
             std::optional<RetrySettings> retry = std::nullopt)
        : station_(station), session_(session), forwarding_(forwarding), retries_(station, retry) {}

    // One tick of the cycle timer: a step of the cycle when any time is set and any device active.
    void tick();
    void runCycleStep();

    bool scheduleOff() const;
    // Sets the countdown as the cycle would, without reading or marking anything.
    void previewCountdown();
    int hoursToNext() const { return hoursToNext_; }
    int minutesToNext() const { return minutesToNext_; }
    // The notification-area tooltip for the station's present state: communicating, offline, or
    // the countdown to the next schedule time.
    std::string tooltipText() const;

    // Whether schedule time `currentSlot` (or the one of dailyMarkIndex) has come; sets the
    // countdown when it has not.
    bool slotDue(int currentSlot);
    // When the retry of device `slot` comes; nothing when none waits.
    std::optional<LocalDateTime> retryAt(int slot) const { return retries_.retryAt(slot); }
    // `sent` is told of each schedule time whose report went out.
    void onReportSent(std::function<void(int time)> sent) { reportSent_ = std::move(sent); }

private:
    bool checkDay();
    void countDownToTomorrow();
    bool runSlots();
    std::optional<int> runTime(int time);
    SessionRequest requestFor(int slot, int time) const;
    void readDevice(int slot, int time);
    bool nextTimeCome(int time) const;
    void finishTime(int time);
    void sendReportOnce(int time);
    void closeDay();

    std::string scheduleDay();
    void storeScheduleDay(const std::string &day);
    std::string slotMark(int time);
    void markSlotDone(int time);
    std::string reportMark(int time);
    void markReportSent(int time);
    void clearSlotMarks();
    void startNextDay();
    bool clearDoneMarks();
    void clearReportMarks();
    void logFailure(const struct ConfigError &error);

    Station &station_;
    Session &session_;
    Forwarding &forwarding_;
    SessionRetries retries_;
    std::function<void(int time)> reportSent_;
    int hoursToNext_ = 0;
    int minutesToNext_ = 0;
    // What the cycle could not save (a folder that turned read-only) stands in for the file
    // until a save of it succeeds: otherwise the cycle would send a report again on every tick,
    // reset a new day on every tick and never start it, or close the old one again and again.
    struct Unsaved {
        std::optional<std::string> day;
        OneBased<std::optional<std::string>, scheduleTimeCount> slotMarks;
        OneBased<std::optional<std::string>, scheduleTimeCount> reportMarks;
    };
    Unsaved unsaved_;
    // The schedule times whose first file failure was logged.
    OncePerTime failureLogged_;
};

// Today as the marks files write a day: dd/mm/yyyy.
std::string dayText(const LocalDateTime &day);

} // namespace vantrell
