#include "config/ScheduleFiles.h"

#include "ConfigStation.h"
#include "config/ScheduleTimeStore.h"

#include <gtest/gtest.h>

#include <functional>

namespace vantrell {
namespace {

using test::positionalFile;
using test::records;

TEST(ScheduleFiles, LoadsTakeTheValuesAsTheFilesHoldThem) {
    test::ConfigStation s;
    s.write("timeutils.xml", positionalFile(records("1:1,2,3,4;1:7,,13,-1"))); // the last counts
    // Place 0 has no schedule time nor slot: loading passes over it.
    s.write("dlytmtble.xml", positionalFile(records("0:X;1:X,,Xtra,C;2:X,\xC3\x89t\xC3\xA9")));
    s.write("schrprt.xml", positionalFile(records("0:27/02/2026;1:,X;2:X;4")));
    s.write("schtitbl.xml", positionalFile(records("2:X")));
    s.station.dailyMarks.at(8, 2) = "kept";
    s.station.reportSentMarks[4] = "kept";
    std::string day = "kept";
    std::string mark;

    ASSERT_FALSE(ScheduleTimesFile(s.station).loadScheduleTimes());
    ASSERT_FALSE(DailyMarksFile(s.station).loadDailyMarks());
    ASSERT_FALSE(ReportMarksFile(s.station).loadReportMarks());
    ASSERT_FALSE(ScheduleDayFile(s.station).readScheduleDay(day));
    ASSERT_FALSE(ScheduleDayFile(s.station).readSlotMark(2, mark));

    EXPECT_EQ(s.station.scheduleTimes, (ScheduleTimes{"7", "-1", "13", "-1"}));
    const DailyMarks &m = s.station.dailyMarks;
    EXPECT_EQ(m.at(1, 1) + m.at(2, 1) + m.at(3, 1) + m.at(4, 1), "XXC"); // first characters
    EXPECT_EQ(m.at(2, 2), "\xC3\x89");                                   // a character, not a byte
    EXPECT_EQ(m.at(8, 2), "kept");                                       // beyond a short record
    EXPECT_EQ(s.station.reportSentMarks, (ReportSentMarks{"X", "X", "", "kept"}));
    EXPECT_EQ(day, "kept"); // no record with place 0
    EXPECT_EQ(mark, "X");
}

TEST(ScheduleFiles, EachWriteChangesOnlyItsValues) {
    const char *marks = "1:,d1,X,d2,,d3,X,d4;2:X,C,,,X,T;1:,e1,X,e2,,e3,X,e4";
    const char *day = "0:03/02/2026;1:X;2:;4:X";
    const struct {
        const char *legend;
        const char *file;
        const char *before;
        std::function<ConfigError(Station &)> write;
        const char *after;
    } cases[] = {
        {"schedule time: first record only", "timeutils.xml", "1:-1,-1,-1,-1;1:5,5",
         [](Station &st) {
             st.scheduleTimes[3] = "23";
             return ScheduleTimesFile(st).saveScheduleTime(2);
         },
         "1:-1,-1,23,-1;1:5,5"},
        {"scheduled marks at times 1 and 3: every record of the slot, done marks kept",
         "dlytmtble.xml", marks,
         [](Station &st) {
             st.devices[1][field::scheduleSlot1] = "1";
             st.devices[1][field::scheduleSlot1 + 2] = "1";
             return DailyMarksFile(st).writeScheduledMarks(1);
         },
         "1:X,d1,,d2,X,d3,,d4;2:X,C,,,X,T;1:X,e1,,e2,X,e3,,e4"},
        {"clear done marks: scheduled marks kept, nothing added to a short record", "dlytmtble.xml",
         marks, [](Station &st) { return DailyMarksFile(st).clearDoneMarks(); },
         "1:,,X,,,,X,;2:X,,,,X,;1:,,X,,,,X,"},
        {"daily mark: first record of the slot", "dlytmtble.xml", marks,
         [](Station &st) {
             st.dailyMarks.at(4, 1) = "L";
             return DailyMarksFile(st).writeDailyMark(1, 3);
         },
         "1:,d1,X,L,,d3,X,d4;2:X,C,,,X,T;1:,e1,X,e2,,e3,X,e4"},
        {"daily mark for a slot without record: saved unchanged", "dlytmtble.xml", marks,
         [](Station &st) { return DailyMarksFile(st).writeDailyMark(9, 1); }, marks},
        {"empty schedule day", "schtitbl.xml", day,
         [](Station &st) { return ScheduleDayFile(st).writeScheduleDay(""); }, "0:;1:X;2:;4:X"},
        {"mark slot done", "schtitbl.xml", day,
         [](Station &st) { return ScheduleDayFile(st).markSlotDone(2); },
         "0:03/02/2026;1:X;2:X;4:X"},
        {"mark slot done without record: saved unchanged", "schtitbl.xml", day,
         [](Station &st) { return ScheduleDayFile(st).markSlotDone(3); }, day},
        {"clear slot marks keeps the day", "schtitbl.xml", day,
         [](Station &st) { return ScheduleDayFile(st).clearSlotMarks(); }, "0:03/02/2026;1:;2:;4:"},
        {"mark report sent: value 0 only", "schrprt.xml",
         "1:,X;2:", [](Station &st) { return ReportMarksFile(st).markReportSent(1); }, "1:X,X;2:"},
        {"mark report sent without record: saved unchanged", "schrprt.xml",
         "0:", [](Station &st) { return ReportMarksFile(st).markReportSent(3); }, "0:"},
        {"clear report marks", "schrprt.xml", "0:X;1:X",
         [](Station &st) { return ReportMarksFile(st).clearReportMarks(); }, "0:;1:"},
    };
    for (const auto &c : cases) {
        test::ConfigStation s;
        s.write(c.file, positionalFile(records(c.before)));
        const auto old = std::filesystem::last_write_time(s.file(c.file)) - std::chrono::hours(1);
        std::filesystem::last_write_time(s.file(c.file), old);
        EXPECT_FALSE(c.write(s.station)) << c.legend;
        EXPECT_EQ(s.read(c.file), positionalFile(records(c.after))) << c.legend;
        EXPECT_GT(std::filesystem::last_write_time(s.file(c.file)), old)
            << c.legend << ": not saved";
    }
}

TEST(ScheduleFiles, StartNextDayRollsOverMonthsYearsAndLeapDays) {
    const struct {
        const char *legend;
        LocalDateTime now;
        const char *tomorrow;
    } cases[] = {
        {"inside a month", {2026, 2, 3, 23, 59, 59}, "04/02/2026"},
        {"leap day ahead", {2028, 2, 28, 12, 0, 0}, "29/02/2028"},
        {"end of the year", {2026, 12, 31, 23, 0, 0}, "01/01/2027"},
    };
    for (const auto &c : cases) {
        test::ConfigStation s(c.now);
        s.write("schtitbl.xml", positionalFile(records("0:03/02/2026;1:X;2:X;3:;4:X")));
        ASSERT_FALSE(ScheduleDayFile(s.station).startNextDay()) << c.legend;
        EXPECT_EQ(s.read("schtitbl.xml"),
                  positionalFile(records("0:" + std::string(c.tomorrow) + ";1:;2:;3:;4:")))
            << c.legend;
    }
}

// The schedule times as the main window sets them: the order rule.
constexpr int none = hourNotSet;

TEST(ScheduleTimeStore, TimesAscendFromTheFirstWithoutGaps) {
    const struct {
        const char *legend;
        ScheduleHours hours;
        bool inOrder;
    } cases[] = {
        {"nothing set", {none, none, none, none}, true},
        {"the first alone", {6, none, none, none}, true},
        {"06:00, 12:00, then empty", {6, 12, none, none}, true},
        {"all four ascending", {0, 8, 16, 23}, true},
        {"a second without a first", {none, 8, none, none}, false},
        {"a gap before the third", {6, none, 13, none}, false},
        {"descending", {12, 6, none, none}, false},
        {"the same time twice", {6, 6, none, none}, false},
        {"the last under the one before", {1, 2, 23, 22}, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(scheduleHoursInOrder(c.hours), c.inOrder) << c.legend;
}

TEST(ScheduleTimeStore, StoredTextsReadAsHours) {
    test::ConfigStation s;
    s.station.scheduleTimes = {"7", "", "23", "24"};
    EXPECT_EQ(ScheduleTimeStore(s.station).hours(), (ScheduleHours{7, none, 23, none}));
    s.station.scheduleTimes = {"-1", " 5", "25", "0"};
    EXPECT_EQ(ScheduleTimeStore(s.station).hours(), (ScheduleHours{none, 5, none, 0}));
}

} // namespace
} // namespace vantrell
