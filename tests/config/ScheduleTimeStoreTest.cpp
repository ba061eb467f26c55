// The schedule times as the main window sets them: the order rule, and table and timeutils.xml
// changing together or not at all.
#include "config/ScheduleTimeStore.h"

#include "ConfigStation.h"
#include "FullDisk.h"
#include "config/ScheduleFiles.h"
#include "config/Templates.h"

#include <gtest/gtest.h>

#include <optional>

namespace vantrell {
namespace {

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

TEST(ScheduleTimeStore, TableAndFileChangeTogetherOrNotAtAll) {
    const struct {
        const char *legend;
        bool clear;
        bool fullDisk;
        ScheduleHours after;
    } cases[] = {
        {"09:00 as the third time", false, false, {6, 8, 9, none}},
        {"09:00 on a full disk", false, true, {6, 8, none, none}},
        {"reset timetable", true, false, {none, none, none, none}},
        {"reset timetable on a full disk", true, true, {6, 8, none, none}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        test::ConfigStation s;
        ASSERT_TRUE(installTemplates(s.folder.path()).failures.empty());
        ScheduleTimeStore store(s.station);
        ASSERT_FALSE(store.store(0, 6));
        ASSERT_FALSE(store.store(1, 8));
        const std::string fileBefore = s.read("timeutils.xml");

        std::optional<testing::FullDisk> full;
        if (c.fullDisk)
            full.emplace();
        const ConfigError error = c.clear ? store.clear() : store.store(2, 9);
        full.reset();

        EXPECT_EQ(error.failed(), c.fullDisk);
        EXPECT_FALSE(error.changeKept);
        EXPECT_EQ(store.hours(), c.after);
        if (c.fullDisk) {
            EXPECT_EQ(s.read("timeutils.xml"), fileBefore);
        }
        s.station.scheduleTimes = {};
        ASSERT_FALSE(ScheduleTimesFile(s.station).loadScheduleTimes());
        EXPECT_EQ(store.hours(), c.after) << "as the next start reads them";
    }
}

} // namespace
} // namespace vantrell
