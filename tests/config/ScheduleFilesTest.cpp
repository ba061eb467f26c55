#include "config/ScheduleFiles.h"

#include "ConfigStation.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using test::positionalFile;
using test::record;

std::string marksRecord(int slot, std::initializer_list<std::string> values) {
    return record(std::to_string(slot), values);
}

TEST(ScheduleTimesFile, LoadTurnsEmptyIntoNotSetAndTheLastRecordWins) {
    test::ConfigStation s;
    s.write("timeutils.xml",
            positionalFile(record("1", {"1", "2", "3", "4"}) + record("1", {"7", "", "13", "-1"})));
    ASSERT_FALSE(ScheduleTimesFile(s.station).loadScheduleTimes());
    EXPECT_EQ(s.station.scheduleTimes, (ScheduleTimes{"", "7", "-1", "13", "-1"}));
}

TEST(ScheduleTimesFile, SaveWritesTheListIndexIntoTheFirstRecord) {
    test::ConfigStation s;
    s.write("timeutils.xml", positionalFile(record("1", {"-1", "-1", "-1", "-1"}) +
                                            record("1", {"5", "5", "5", "5"})));
    s.station.scheduleTimes = {"", "6", "", "23", "-1"};
    ScheduleTimesFile file(s.station);
    for (int i = 0; i < 4; ++i)
        ASSERT_FALSE(file.saveScheduleTime(i));
    EXPECT_EQ(s.read("timeutils.xml"), positionalFile(record("1", {"6", "-1", "23", "-1"}) +
                                                      record("1", {"5", "5", "5", "5"})));
}

TEST(DailyMarksFile, LoadKeepsTheFirstCharacterOfEachValue) {
    test::ConfigStation s;
    s.station.dailyMarks.at(8, 2) = "kept";
    s.write("dlytmtble.xml", positionalFile(marksRecord(1, {"X", "", "Xtra", "C", "", "", "", ""}) +
                                            marksRecord(2, {"X", "P"})));
    ASSERT_FALSE(DailyMarksFile(s.station).loadDailyMarks());
    const DailyMarks &m = s.station.dailyMarks;
    EXPECT_EQ(m.at(1, 1), "X");
    EXPECT_EQ(m.at(2, 1), "");
    EXPECT_EQ(m.at(3, 1), "X");
    EXPECT_EQ(m.at(4, 1), "C");
    EXPECT_EQ(m.at(2, 2), "P");
    EXPECT_EQ(m.at(8, 2), "kept"); // a short record leaves the rest
}

TEST(DailyMarksFile, RefusesMoreMarksThanTheTableHas) {
    test::ConfigStation s;
    s.write("dlytmtble.xml", positionalFile(marksRecord(1, {"", "", "", "", "", "", "", "", "X"})));
    EXPECT_EQ(DailyMarksFile(s.station).loadDailyMarks().problem, FileProblem::tooManyValues);
}

TEST(DailyMarksFile, ScheduledMarksLeaveTheDoneMarksAndTheOtherSlots) {
    test::ConfigStation s;
    s.write("dlytmtble.xml",
            positionalFile(marksRecord(1, {"", "d1", "X", "d2", "", "d3", "X", "d4"}) +
                           marksRecord(2, {"", "", "", "", "", "", "", ""}) +
                           marksRecord(1, {"", "e1", "X", "e2", "", "e3", "X", "e4"})));
    DeviceRecord &device = s.station.devices[1];
    device[field::scheduleSlot1] = "1";
    device[field::scheduleSlot1 + 2] = "1";
    ASSERT_FALSE(DailyMarksFile(s.station).writeScheduledMarks(1));
    EXPECT_EQ(s.read("dlytmtble.xml"),
              positionalFile(marksRecord(1, {"X", "d1", "", "d2", "X", "d3", "", "d4"}) +
                             marksRecord(2, {"", "", "", "", "", "", "", ""}) +
                             marksRecord(1, {"X", "e1", "", "e2", "X", "e3", "", "e4"})));
}

TEST(DailyMarksFile, ClearingDoneMarksLeavesTheScheduledOnes) {
    test::ConfigStation s;
    s.write("dlytmtble.xml", positionalFile(marksRecord(1, {"X", "C", "X", "X", "", "", "X", "T"}) +
                                            marksRecord(9, {"X", "X"})));
    ASSERT_FALSE(DailyMarksFile(s.station).clearDoneMarks());
    EXPECT_EQ(s.read("dlytmtble.xml"),
              positionalFile(marksRecord(1, {"X", "", "X", "", "", "", "X", ""}) +
                             marksRecord(9, {"X", ""})));
}

TEST(DailyMarksFile, ADailyMarkGoesIntoTheFirstRecordOfTheSlot) {
    test::ConfigStation s;
    s.write("dlytmtble.xml",
            positionalFile(marksRecord(4, {"X", "", "", ""}) + marksRecord(4, {"X", "", "", ""})));
    s.station.dailyMarks.at(4, 4) = "L";
    ASSERT_FALSE(DailyMarksFile(s.station).writeDailyMark(4, 3));
    EXPECT_EQ(s.read("dlytmtble.xml"), positionalFile(marksRecord(4, {"X", "", "", "L"}) +
                                                      marksRecord(4, {"X", "", "", ""})));
}

const std::string timeTable =
    positionalFile(record("0", {"03/02/2026"}) + record("1", {"X"}) + record("2", {"X"}) +
                   record("3", {""}) + record("4", {"X"}));

TEST(ScheduleDayFile, StartNextDayRollsOverMonthsYearsAndLeapDays) {
    const struct {
        const char *legend;
        LocalDateTime now;
        const char *tomorrow;
    } cases[] = {
        {"inside a month", {2026, 2, 3, 23, 59, 59}, "04/02/2026"},
        {"end of a 31-day month", {2026, 1, 31, 0, 0, 0}, "01/02/2026"},
        {"end of February", {2026, 2, 28, 12, 0, 0}, "01/03/2026"},
        {"leap day ahead", {2028, 2, 28, 12, 0, 0}, "29/02/2028"},
        {"end of a 30-day month", {2026, 4, 30, 12, 0, 0}, "01/05/2026"},
        {"end of the year", {2026, 12, 31, 23, 0, 0}, "01/01/2027"},
    };
    for (const auto &c : cases) {
        test::ConfigStation s(c.now);
        s.write("schtitbl.xml", timeTable);
        ASSERT_FALSE(ScheduleDayFile(s.station).startNextDay()) << c.legend;
        EXPECT_EQ(s.read("schtitbl.xml"),
                  positionalFile(record("0", {c.tomorrow}) + record("1", {""}) + record("2", {""}) +
                                 record("3", {""}) + record("4", {""})))
            << c.legend;
    }
}

TEST(ScheduleDayFile, ReadsAndWritesTheDayAndTheSlotMarks) {
    test::ConfigStation s;
    s.write("schtitbl.xml", timeTable);
    ScheduleDayFile file(s.station);
    std::string day = "unchanged";
    std::string mark;
    ASSERT_FALSE(file.readScheduleDay(day));
    EXPECT_EQ(day, "03/02/2026");
    ASSERT_FALSE(file.readSlotMark(2, mark));
    EXPECT_EQ(mark, "X");

    ASSERT_FALSE(file.writeScheduleDay(""));
    ASSERT_FALSE(file.markSlotDone(3));
    EXPECT_EQ(s.read("schtitbl.xml"),
              positionalFile(record("0", {""}) + record("1", {"X"}) + record("2", {"X"}) +
                             record("3", {"X"}) + record("4", {"X"})));
    ASSERT_FALSE(file.clearSlotMarks());
    EXPECT_EQ(s.read("schtitbl.xml"),
              positionalFile(record("0", {""}) + record("1", {""}) + record("2", {""}) +
                             record("3", {""}) + record("4", {""})));
}

TEST(ScheduleDayFile, WithoutTheDayRecordTheDayReadIsLeftAsItWas) {
    test::ConfigStation s;
    s.write("schtitbl.xml", positionalFile(record("1", {"X"})));
    std::string day = "05/02/2026";
    ASSERT_FALSE(ScheduleDayFile(s.station).readScheduleDay(day));
    EXPECT_EQ(day, "05/02/2026");
}

TEST(MarksFiles, WritesWithoutAMatchingRecordStillRewriteTheFileUnchanged) {
    const std::string onlyPlaceZero = positionalFile("<r place=\"0\">\n  <v>?</v>\n</r>\n");
    const struct {
        const char *legend;
        const char *file;
        ConfigError (*write)(Station &);
    } cases[] = {
        {"mark slot done", "schtitbl.xml",
         [](Station &st) { return ScheduleDayFile(st).markSlotDone(3); }},
        {"mark report sent", "schrprt.xml",
         [](Station &st) { return ReportMarksFile(st).markReportSent(2); }},
        {"daily mark", "dlytmtble.xml",
         [](Station &st) { return DailyMarksFile(st).writeDailyMark(5, 1); }},
        {"scheduled marks", "dlytmtble.xml",
         [](Station &st) { return DailyMarksFile(st).writeScheduledMarks(5); }},
    };
    for (const auto &c : cases) {
        test::ConfigStation s;
        s.write(c.file, onlyPlaceZero);
        const auto before = std::filesystem::last_write_time(s.file(c.file));
        std::filesystem::last_write_time(s.file(c.file), before - std::chrono::hours(1));
        EXPECT_FALSE(c.write(s.station)) << c.legend;
        EXPECT_EQ(s.read(c.file), onlyPlaceZero) << c.legend;
        EXPECT_GT(std::filesystem::last_write_time(s.file(c.file)), before - std::chrono::hours(1))
            << c.legend << ": not saved";
    }
}

TEST(ReportMarksFile, LoadTakesTheLastValueAndTheWritesTouchValueZero) {
    test::ConfigStation s;
    s.write("schrprt.xml", positionalFile(record("0", {""}) + record("1", {"", "X"}) +
                                          record("2", {"X"}) + record("4", {"X"})));
    ReportMarksFile file(s.station);
    ASSERT_FALSE(file.loadReportMarks());
    EXPECT_EQ(s.station.reportSentMarks, (ReportSentMarks{"", "X", "X", "", "X"}));

    ASSERT_FALSE(file.clearReportMarks());
    ASSERT_FALSE(file.markReportSent(1));
    EXPECT_EQ(s.read("schrprt.xml"), positionalFile(record("0", {""}) + record("1", {"X", "X"}) +
                                                    record("2", {""}) + record("4", {""})));
}

TEST(MarksFiles, AMissingFileIsReportedAndNothingIsCreated) {
    test::ConfigStation s;
    const ConfigError error = ScheduleDayFile(s.station).markSlotDone(1);
    EXPECT_EQ(error.problem, FileProblem::missing);
    EXPECT_NE(describe(error).find("schtitbl.xml"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(s.file("schtitbl.xml")));
    EXPECT_EQ(ReportMarksFile(s.station).loadReportMarks().problem, FileProblem::missing);
}

} // namespace
} // namespace vantrell
