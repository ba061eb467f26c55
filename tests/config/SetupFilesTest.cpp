#include "config/SetupFiles.h"

#include "ConfigStation.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using test::positionalFile;

// Channel records whose values say which channel and position they hold, and records the table
// has no entry for: place 0, channel 40, and two values past the ten of a channel.
std::string channelFile(int first, int last) {
    test::Records records{{"0", {"a"}}, {"40", {"b"}}};
    for (int c = first; c <= last; ++c) {
        std::vector<std::string> values;
        for (int p = 0; p < 12; ++p)
            values.push_back("c" + std::to_string(c) + "v" + std::to_string(p));
        records.emplace_back(std::to_string(c), values);
    }
    return positionalFile(records);
}

TEST(ChannelSetupFile, SlotsOneToTenHaveTheirOwnFileTheRestShareOne) {
    const struct {
        const char *legend;
        int slot;
        const char *name;
    } cases[] = {
        {"one digit", 7, "/DeviceSetup/dvcsetup7.xml"},
        {"two digits, no leading zero", 10, "/DeviceSetup/dvcsetup10.xml"},
        {"first shared slot", 11, "/DeviceSetup/dvcsetupdflt.xml"},
        {"last slot", 50, "/DeviceSetup/dvcsetupdflt.xml"},
    };
    for (const auto &c : cases) {
        test::ConfigStation s;
        ChannelSetupFile(s.station).chooseSetupFile(c.slot);
        EXPECT_EQ(s.station.setupFileName, c.name) << c.legend;
        EXPECT_TRUE(s.progress.contains(std::string("opening file...") + c.name)) << c.legend;
        EXPECT_DOUBLE_EQ(s.world.now(), 1.0) << c.legend;
    }
}

TEST(ChannelSetupFile, LoadMergesTheFileAndSavingLogger3WritesChannels9To12Only) {
    test::ConfigStation s;
    const std::string before = channelFile(1, 31);
    s.write("DeviceSetup/dvcsetup2.xml", before);
    s.station.channelSetup.at(32, setup::absMaximum) = "from an earlier station";
    ChannelSetupFile file(s.station);
    file.chooseSetupFile(2);
    ASSERT_FALSE(file.loadChannelSetup());
    EXPECT_TRUE(s.progress.contains("opening file.../DeviceSetup/dvcsetup2.xml loading data..."));
    EXPECT_DOUBLE_EQ(s.world.now(), 3.0);
    EXPECT_EQ(s.station.channelSetup.at(2, setup::absMaximum), "c2v8");
    EXPECT_EQ(s.station.channelSetup.at(32, setup::absMaximum), "from an earlier station");

    LoggerSetup shown = loggerSetup(s.station.channelSetup, 3);
    EXPECT_EQ(shown.readingsPerDay, "c9v0");
    EXPECT_EQ(shown.columns[3][setup::absMessage], "c12v9");
    shown.readingsPerDay = "96";
    shown.columns[1][setup::absAlarmOn] = "1";
    shown.columns[1][setup::absMaximum] = "40.5";
    ASSERT_FALSE(file.saveLoggerSetup(3, shown));

    std::string expected = test::replaced(before, "<v>c10v6</v>", "<v>1</v>");
    expected = test::replaced(expected, "<v>c10v8</v>", "<v>40.5</v>");
    for (int c = 9; c <= 12; ++c)
        expected = test::replaced(expected, "<v>c" + std::to_string(c) + "v0</v>", "<v>96</v>");
    EXPECT_EQ(s.read("DeviceSetup/dvcsetup2.xml"), expected);
    EXPECT_EQ(s.station.channelSetup.at(10, setup::absAlarmOn), "1");
    EXPECT_EQ(s.station.channelSetup.at(10, setup::readingsPerDay), "c10v0"); // not in memory

    // Logger 3's limits as a page shows them: only channel 2 has its absolute alarm on.
    std::array<LoggerLimits, maxLoggers> limits;
    ASSERT_FALSE(readDeviceLimits(s.station.configDir(), 2, limits));
    const ChannelLimits &channel2 = limits[2][1];
    EXPECT_FALSE(limits[2][0].maximum || limits[1][1].maximum || limits[3][1].maximum);
    EXPECT_EQ(channel2.maximum, 40.5);
    EXPECT_EQ(sideOf(channel2, 40.5), LimitSide::within) << "the limit itself raises no alarm";
    EXPECT_EQ(sideOf(channel2, 40.6), LimitSide::above);
    EXPECT_EQ(sideOf(channel2, -0.1), LimitSide::below) << "a minimum that is no number is 0";
}

TEST(PhonebookFile, SavingTwoNumbersStoresTwoNumbersAndEightEmptyValues) {
    test::ConfigStation s;
    s.write("phonebook.xml", positionalFile(test::records("1:a,b,c,d,e,f,g,h,i,j")));
    PhonebookFile file(s.station);
    ASSERT_FALSE(file.loadPhonebook());
    EXPECT_EQ(s.station.phonebook[10], "j");
    ASSERT_FALSE(file.savePhonebook({"+39333111", "+39333222"}));
    EXPECT_EQ(s.read("phonebook.xml"),
              positionalFile(test::records("1:+39333111,+39333222,,,,,,,,")));
    EXPECT_EQ(s.station.phonebook[2] + s.station.phonebook[3], "+39333222");
}

} // namespace
} // namespace vantrell
