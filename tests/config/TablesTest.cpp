#include "config/DeviceFile.h"
#include "config/ScheduleFiles.h"
#include "config/SetupFiles.h"
#include "config/Templates.h"

#include "ConfigStation.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

namespace vantrell {
namespace {

using test::positionalFile;

TEST(OneBased, EntriesAreNumberedOneToNAndNothingElse) {
    OneBased<std::string, 4> table{"a", "b"};
    EXPECT_EQ(table[1], "a");
    EXPECT_EQ(table.at(2), "b");
    EXPECT_EQ(table[4], "");
    for (int k : {0, -1, 5})
        EXPECT_THROW(table.at(k), std::out_of_range) << k;
    table.fill("x");
    EXPECT_EQ(std::count(table.begin(), table.end(), "x"), 4);
    EXPECT_THROW((OneBased<std::string, 2>{"a", "b", "c"}), std::out_of_range);
}

// Files may hold records the tables have no entry for (place 0, channels past 32, more than ten
// values a channel); loading passes over them instead of failing.
TEST(Tables, LoadingSkipsRecordsWithoutAnEntry) {
    const struct {
        const char *file;
        const char *records;
        std::function<ConfigError(Station &)> load;
        std::function<std::string(const Station &)> loaded;
        const char *expected;
    } cases[] = {
        {"prop.xml", "0:1,none;2:1,0231",
         [](Station &s) { return DeviceFile(s).loadDeviceTable(); },
         [](const Station &s) { return s.devices[2].connection(); }, "0231"},
        {"dlytmtble.xml", "0:X;2:X,C",
         [](Station &s) { return DailyMarksFile(s).loadDailyMarks(); },
         [](const Station &s) { return s.dailyMarks.at(2, 2); }, "C"},
        {"schrprt.xml", "0:27/02/2026;3:X",
         [](Station &s) { return ReportMarksFile(s).loadReportMarks(); },
         [](const Station &s) { return s.reportSentMarks[3]; }, "X"},
        {"DeviceSetup/dvcsetup3.xml", "0:a;40:b;5:1,2,3,4,5,6,7,8,9,10,11,12",
         [](Station &s) {
             ChannelSetupFile file(s);
             file.chooseSetupFile(3);
             return file.loadChannelSetup();
         },
         [](const Station &s) { return s.channelSetup.at(5, setup::absMessage); }, "10"},
    };
    for (const auto &c : cases) {
        test::ConfigStation s;
        s.write(c.file, positionalFile(test::records(c.records)));
        EXPECT_FALSE(c.load(s.station)) << c.file;
        EXPECT_EQ(c.loaded(s.station), c.expected) << c.file;
    }
}

// The phone list shows an inactive local device as blank as a free record; only a record that
// holds no device may take a new one.
TEST(Tables, ASlotIsFreeOnlyWhenItHoldsNoDevice) {
    test::ConfigStation s;
    ASSERT_TRUE(installTemplates(s.folder.path()).failures.empty());
    ASSERT_FALSE(DeviceFile(s.station).loadDeviceTable());
    const DeviceRecord blank = s.station.devices[1];
    const struct {
        const char *legend;
        int field; // set to `value` in the blank record; 0: none
        const char *value;
        bool free;
    } cases[] = {
        {"the template's blank record", 0, "", true},
        {"deleted: connection emptied", field::connection, "", true},
        {"deleted: alarm address kept", field::alarmAddress, "ops@example.org", true},
        {"deleted: alarm kept on", field::alarmEnabled, "1", true},
        {"deleted: forwarding kind kept", field::forwardKind, "1", true},
        {"inactive local device with a logger", field::serialNumber1 + 2, "1234KV0126", false},
        {"inactive local device with only its data folder", field::dataDirectory, "/srv", false},
        {"inactive local device scheduled", field::scheduleSlot1, "1", false},
        {"active local device", field::active, "1", false},
        {"inactive remote device", field::connection, "0471", false},
    };
    EXPECT_TRUE(DeviceRecord{}.isFree()) << "never loaded";
    for (const auto &c : cases) {
        DeviceRecord device = blank;
        if (c.field != 0)
            device[c.field] = c.value;
        EXPECT_EQ(device.isFree(), c.free) << c.legend;
    }
}

} // namespace
} // namespace vantrell
