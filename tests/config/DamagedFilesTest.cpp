// Every operation on a hand-damaged file: one message naming the file, nothing written.
#include "ConfigStation.h"
#include "config/DeviceFile.h"
#include "config/PortFiles.h"
#include "config/ScheduleFiles.h"
#include "config/SettingsFile.h"
#include "config/SetupFiles.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using test::positionalFile;

using Operation = ConfigError (*)(Station &);

TEST(DamagedFiles, EveryOperationRefusesAndLeavesTheFile) {
    const std::string truncated = positionalFile({{"1", {"X"}}}).substr(0, 60);
    const std::string placeNine = positionalFile({{"9", {"X"}}});
    const std::string nineMarks = positionalFile(test::records("1:,,,,,,,,"));
    const std::string channel51 = positionalFile({{"51", {"1"}}});
    const struct {
        const char *legend;
        const char *file;
        const std::string &bytes;
        Operation operation;
        bool writes;
    } cases[] = {
        {"load device table", "prop.xml", truncated,
         [](Station &s) { return DeviceFile(s).loadDeviceTable(); }, false},
        {"save device", "prop.xml", truncated,
         [](Station &s) { return DeviceFile(s).saveDevice(); }, true},
        {"save schedule time", "timeutils.xml", truncated,
         [](Station &s) { return ScheduleTimesFile(s).saveScheduleTime(0); }, true},
        {"nine marks are one too many", "dlytmtble.xml", nineMarks,
         [](Station &s) { return DailyMarksFile(s).loadDailyMarks(); }, false},
        {"write daily mark", "dlytmtble.xml", nineMarks,
         [](Station &s) { return DailyMarksFile(s).writeDailyMark(1, 1); }, true},
        {"time 9 does not exist", "schtitbl.xml", placeNine,
         [](Station &s) { return ScheduleDayFile(s).startNextDay(); }, true},
        {"load report marks", "schrprt.xml", placeNine,
         [](Station &s) { return ReportMarksFile(s).loadReportMarks(); }, false},
        {"channel 51 is outside the table", "DeviceSetup/dvcsetupdflt.xml", channel51,
         [](Station &s) {
             s.setupFileName = "/DeviceSetup/dvcsetupdflt.xml";
             return ChannelSetupFile(s).loadChannelSetup();
         },
         false},
        {"save phonebook", "phonebook.xml", truncated,
         [](Station &s) { return PhonebookFile(s).savePhonebook({"1"}); }, true},
        {"load settings", "settings.xml", truncated,
         [](Station &s) { return SettingsFile(s).loadSettings(); }, false},
    };
    for (const auto &c : cases) {
        test::ConfigStation s;
        s.write(c.file, c.bytes);
        const ConfigError error = c.operation(s.station);
        EXPECT_TRUE(error.failed()) << c.legend;
        EXPECT_EQ(describe(error).rfind(s.file(c.file).string() + ": ", 0), 0u)
            << c.legend << ": " << describe(error);
        EXPECT_EQ(error.changeKept, c.writes) << c.legend;
        EXPECT_EQ(s.read(c.file), c.bytes) << c.legend;
        EXPECT_EQ(test::entryCount(s.folder.path()), 1u) << c.legend;
    }
}

// A loop of symbolic links, or a folder that may not be searched, is a file that cannot be read,
// not a missing one: the operator must see what stands in the way.
TEST(DamagedFiles, AFileBehindALoopOfLinksCannotBeRead) {
    test::ConfigStation s;
    for (const char *name : {"prop.xml", "port.crs"})
        std::filesystem::create_symlink(s.file(name), s.file(name));
    const std::string cannotRead = ": cannot be read (Too many levels of symbolic links)";
    const ConfigError table = DeviceFile(s.station).loadDeviceTable();
    EXPECT_EQ(table.problem, FileProblem::unreadable);
    EXPECT_EQ(describe(table), s.file("prop.xml").string() + cannotRead);
    ConfigError choice;
    EXPECT_EQ(loadPortChoice(s.file("port.crs"), &choice), std::nullopt);
    EXPECT_EQ(describe(choice), s.file("port.crs").string() + cannotRead);
    ConfigError none;
    EXPECT_EQ(loadPortChoice(s.file("MDMport.crs"), &none), std::nullopt);
    EXPECT_FALSE(none.failed()) << "a missing port file only leaves the list without a choice";
}

} // namespace
} // namespace vantrell
