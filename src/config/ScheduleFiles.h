// The four small files that carry the day's schedule and its progress across restarts: the
// schedule times, the per-device marks of the day, the day itself with the marks of the times
// run, and the marks of the reports sent. Each operation loads its file whole, changes value
// texts in place and saves it whole; a write saves even when no record matched. Marks are "X"
// or empty; a done mark holds the session's status letter.
#pragma once

#include "config/ConfigError.h"

#include <string>
#include <string_view>

namespace vantrell {

class Station;

// timeutils.xml: one record, values 0..3 the list index of schedule times 1..4.
class ScheduleTimesFile {
public:
    explicit ScheduleTimesFile(Station &station) : station_(station) {}

    // ScheduleTimes 1..4; an empty value is "-1". Of several records the last one counts.
    ConfigError loadScheduleTimes();
    // Value `timeIndex` (0..3) of the first record <- ScheduleTimes timeIndex+1.
    ConfigError saveScheduleTime(int timeIndex);
    // All four in one write.
    ConfigError saveScheduleTimes();

private:
    std::string listIndex(int timeIndex) const;

    Station &station_;
};

// dlytmtble.xml: per slot, value 2(s-1) the scheduled mark and 2(s-1)+1 the done mark of time s.
class DailyMarksFile {
public:
    explicit DailyMarksFile(Station &station) : station_(station) {}

    ConfigError loadDailyMarks(); // first character of each value
    ConfigError writeScheduledMarks(int slot);
    ConfigError clearDoneMarks();
    // Value `position` (0..7) of the first record of `slot` <- DailyMarks position+1.
    ConfigError writeDailyMark(int slot, int position);

private:
    Station &station_;
};

// schtitbl.xml: place 0 holds the day (dd/mm/yyyy) the marks belong to, places 1..4 the marks
// of the schedule times run that day.
class ScheduleDayFile {
public:
    explicit ScheduleDayFile(Station &station) : station_(station) {}

    // `day` is left as it was when no record has place 0.
    ConfigError readScheduleDay(std::string &day);
    ConfigError writeScheduleDay(std::string_view day);
    ConfigError readSlotMark(int time, std::string &mark);
    ConfigError markSlotDone(int time);
    ConfigError clearSlotMarks();
    // Tomorrow (by the station's clock) into place 0, every time mark cleared.
    ConfigError startNextDay();

private:
    ConfigError readFirst(int place, std::string &text);
    template <typename Edit> ConfigError rewrite(Edit edit);

    Station &station_;
};

// schrprt.xml: places 1..4 "X" once the run report of that time went out today.
class ReportMarksFile {
public:
    explicit ReportMarksFile(Station &station) : station_(station) {}

    ConfigError loadReportMarks();
    ConfigError markReportSent(int time);
    ConfigError clearReportMarks();

private:
    Station &station_;
};

// dd/mm/yyyy, the form of the stored day.
std::string dayText(int year, int month, int day);

} // namespace vantrell
