#include "config/ScheduleFiles.h"

#include "config/ConfigFiles.h"
#include "config/Station.h"
#include "config/XMLData.h"
#include "general/Clock.h"
#include "general/Text.h"

#include <chrono>

namespace vantrell {

namespace {

constexpr const char *setMark = "X";
constexpr const char *timeNotSet = "-1";

constexpr RecordLayout scheduleTimesLayout{};
// DailyMarks has positions 1..8 for values 0..7; the record with place 0 holds no device.
constexpr RecordLayout dailyMarksLayout{std::pair{0, maxDevices},
                                        std::size_t{2 * scheduleTimeCount}, false};
constexpr RecordLayout timeTableLayout{std::pair{0, scheduleTimeCount}, std::nullopt, false};

constexpr int dayPlace = 0;

std::filesystem::path fileIn(const Station &station, const char *name) {
    return station.configDir() / name;
}

std::size_t position(int p) {
    return static_cast<std::size_t>(p);
}

// Marks are one character; one that takes several bytes in UTF-8 is kept whole.
std::string firstCharacter(const std::string &text) {
    std::size_t length = text.empty() ? 0 : 1;
    while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        ++length;
    return text.substr(0, length);
}

} // namespace

std::string dayText(int year, int month, int day) {
    return zeroPad(day, 2) + "/" + zeroPad(month, 2) + "/" + zeroPad(year, 4);
}

ConfigError ScheduleTimesFile::loadScheduleTimes() {
    return readRecords(fileIn(station_, files::scheduleTimes), scheduleTimesLayout,
                       [this](const XMLData &document) {
                           for (const XmlRecord &record : document.records())
                               for (int s = 1; s <= scheduleTimeCount; ++s) {
                                   std::string text = record.value(position(s - 1));
                                   station_.scheduleTimes.at(s) =
                                       text.empty() ? timeNotSet : std::move(text);
                               }
                       });
}

std::string ScheduleTimesFile::listIndex(int timeIndex) const {
    const std::string stored = trim(station_.scheduleTimes.at(timeIndex + 1));
    return stored.empty() ? timeNotSet : std::to_string(valInt(stored));
}

ConfigError ScheduleTimesFile::saveScheduleTime(int timeIndex) {
    return rewriteRecords(
        fileIn(station_, files::scheduleTimes), scheduleTimesLayout, [&](XMLData &document) {
            if (!document.records().empty())
                document.records().front().setValue(position(timeIndex), listIndex(timeIndex));
        });
}

ConfigError ScheduleTimesFile::saveScheduleTimes() {
    return rewriteRecords(fileIn(station_, files::scheduleTimes), scheduleTimesLayout,
                          [&](XMLData &document) {
                              if (document.records().empty())
                                  return;
                              for (int k = 0; k < scheduleTimeCount; ++k)
                                  document.records().front().setValue(position(k), listIndex(k));
                          });
}

ConfigError DailyMarksFile::loadDailyMarks() {
    return readRecords(fileIn(station_, files::dailyTimeTable), dailyMarksLayout,
                       [this](const XMLData &document) {
                           for (const XmlRecord &record : document.records()) {
                               if (record.place() < 1)
                                   continue;
                               for (std::size_t p = 0; p < record.valueCount(); ++p)
                                   station_.dailyMarks.at(static_cast<int>(p) + 1, record.place()) =
                                       firstCharacter(record.value(p));
                           }
                       });
}

ConfigError DailyMarksFile::writeScheduledMarks(int slot) {
    const DeviceRecord &device = station_.devices.at(slot);
    return rewriteRecords(
        fileIn(station_, files::dailyTimeTable), dailyMarksLayout, [&](XMLData &document) {
            for (XmlRecord &record : document.records()) {
                if (record.place() != slot)
                    continue;
                for (int s = 1; s <= scheduleTimeCount; ++s)
                    record.setValue(position(2 * (s - 1)), device.scheduledAt(s) ? setMark : "");
            }
        });
}

ConfigError DailyMarksFile::clearDoneMarks() {
    return rewriteRecords(fileIn(station_, files::dailyTimeTable), dailyMarksLayout,
                          [](XMLData &document) {
                              for (XmlRecord &record : document.records())
                                  for (int s = 1; s <= scheduleTimeCount; ++s)
                                      record.setValue(position(2 * (s - 1) + 1), "");
                          });
}

ConfigError DailyMarksFile::writeDailyMark(int slot, int p) {
    const std::string mark = station_.dailyMarks.at(p + 1, slot);
    return rewriteRecords(fileIn(station_, files::dailyTimeTable), dailyMarksLayout,
                          [&](XMLData &document) {
                              if (XmlRecord *record = document.firstRecord(slot))
                                  record->setValue(position(p), mark);
                          });
}

ConfigError ScheduleDayFile::readFirst(int place, std::string &text) {
    return readRecords(fileIn(station_, files::scheduleTimeTable), timeTableLayout,
                       [&](XMLData &document) {
                           if (const XmlRecord *record = document.firstRecord(place))
                               text = record->value(0);
                       });
}

template <typename Edit> ConfigError ScheduleDayFile::rewrite(Edit edit) {
    return rewriteRecords(fileIn(station_, files::scheduleTimeTable), timeTableLayout, edit);
}

ConfigError ScheduleDayFile::readScheduleDay(std::string &day) {
    return readFirst(dayPlace, day);
}

ConfigError ScheduleDayFile::writeScheduleDay(std::string_view day) {
    return rewrite([day](XMLData &document) {
        if (XmlRecord *record = document.firstRecord(dayPlace))
            record->setValue(0, day);
    });
}

ConfigError ScheduleDayFile::readSlotMark(int time, std::string &mark) {
    return readFirst(time, mark);
}

ConfigError ScheduleDayFile::markSlotDone(int time) {
    return rewrite([time](XMLData &document) {
        for (XmlRecord &record : document.records())
            if (record.place() == time)
                record.setValue(0, setMark);
    });
}

ConfigError ScheduleDayFile::clearSlotMarks() {
    return rewrite([](XMLData &document) {
        for (XmlRecord &record : document.records())
            if (record.place() != dayPlace)
                record.setValue(0, "");
    });
}

ConfigError ScheduleDayFile::startNextDay() {
    using namespace std::chrono;
    const LocalDateTime now = station_.clock().localNow();
    const year_month_day tomorrow{sys_days{year{now.year} / now.month / now.day} + days{1}};
    const std::string tomorrowText = dayText(int(tomorrow.year()), int(unsigned(tomorrow.month())),
                                             int(unsigned(tomorrow.day())));
    return rewrite([&](XMLData &document) {
        for (XmlRecord &record : document.records())
            record.setValue(0, record.place() == dayPlace ? tomorrowText : "");
    });
}

ConfigError ReportMarksFile::loadReportMarks() {
    return readRecords(fileIn(station_, files::scheduleReport), timeTableLayout,
                       [this](const XMLData &document) {
                           for (const XmlRecord &record : document.records())
                               if (record.place() != dayPlace && record.valueCount() > 0)
                                   station_.reportSentMarks.at(record.place()) =
                                       record.value(record.valueCount() - 1);
                       });
}

ConfigError ReportMarksFile::markReportSent(int time) {
    return rewriteRecords(fileIn(station_, files::scheduleReport), timeTableLayout,
                          [time](XMLData &document) {
                              for (XmlRecord &record : document.records())
                                  if (record.place() == time)
                                      record.setValue(0, setMark);
                          });
}

ConfigError ReportMarksFile::clearReportMarks() {
    return rewriteRecords(fileIn(station_, files::scheduleReport), timeTableLayout,
                          [](XMLData &document) {
                              for (XmlRecord &record : document.records())
                                  record.setValue(0, "");
                          });
}

} // namespace vantrell
