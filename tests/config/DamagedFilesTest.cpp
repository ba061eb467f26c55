// Every damage of a hand-edited file, and every operation on one: one message naming the file,
// nothing written.
#include "ConfigStation.h"
#include "config/DeviceFile.h"
#include "config/PortFiles.h"
#include "config/ScheduleFiles.h"
#include "config/SettingsFile.h"
#include "config/SetupFiles.h"

#include <gtest/gtest.h>

#include <optional>

namespace vantrell {
namespace {

using test::positionalFile;

using Operation = ConfigError (*)(Station &);

TEST(DamagedFiles, EveryDamageAndEveryOperationRefusesAndLeavesTheFile) {
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const std::string truncated = positionalFile({{"1", {"X"}}}).substr(0, 60);
    const std::string placeNine = positionalFile({{"9", {"X"}}});
    const std::string nineMarks = positionalFile(test::records("1:,,,,,,,,"));
    const Operation loadDevices = [](Station &s) { return DeviceFile(s).loadDeviceTable(); };
    const Operation saveDevice = [](Station &s) { return DeviceFile(s).saveDevice(); };
    const struct {
        const char *legend;
        const char *file;
        std::optional<std::string> bytes; // none: no file at all
        Operation operation;
        bool writes; // the change is kept in memory
        FileProblem problem;
        const char *words; // part of the message
    } cases[] = {
        {"missing file", "prop.xml", std::nullopt, loadDevices, false, FileProblem::missing,
         "missing"},
        {"empty file", "prop.xml", "", saveDevice, true, FileProblem::empty, "empty"},
        {"blanks only", "prop.xml", "  \n\n", loadDevices, false, FileProblem::noRoot, "no root"},
        {"declaration only", "prop.xml", declaration, saveDevice, true, FileProblem::noRoot,
         "no root"},
        {"truncated in a value", "prop.xml", truncated, loadDevices, false, FileProblem::notXml,
         "well-formed"},
        {"not XML at all", "prop.xml", "Com;No.\r 0 ;0   ", saveDevice, true, FileProblem::notXml,
         "not an XML document"},
        {"text after the root", "prop.xml", declaration + "<root></root>\nleft over", loadDevices,
         false, FileProblem::notXml, "outside the root"},
        {"root without declaration", "prop.xml", "<root><r place=\"1\"/></root>", saveDevice, true,
         FileProblem::noDeclaration, "declaration"},
        {"record without place", "prop.xml", declaration + "<root><r place=\"1\"/><r/></root>",
         loadDevices, false, FileProblem::noPlace, "record 2 has no \"place\""},
        {"place not a number", "prop.xml", declaration + "<root><r place=\"1a\"/></root>",
         saveDevice, true, FileProblem::badPlace, "\"1a\""},
        {"place beyond the table", "prop.xml", declaration + "<root><r place=\"51\"/></root>",
         loadDevices, false, FileProblem::placeOutOfRange, "place 51, outside 0-50"},
        {"negative place", "prop.xml", declaration + "<root><r place=\"-1\"/></root>", saveDevice,
         true, FileProblem::placeOutOfRange, "place -1"},
        {"too many values", "prop.xml",
         positionalFile({{"3", std::vector<std::string>(deviceFieldCount + 1)}}), loadDevices,
         false, FileProblem::tooManyValues, "46 values, more than 45"},
        {"save schedule time", "timeutils.xml", truncated,
         [](Station &s) { return ScheduleTimesFile(s).saveScheduleTime(0); }, true,
         FileProblem::notXml, "well-formed"},
        {"nine marks are one too many", "dlytmtble.xml", nineMarks,
         [](Station &s) { return DailyMarksFile(s).loadDailyMarks(); }, false,
         FileProblem::tooManyValues, "9 values, more than 8"},
        {"write daily mark", "dlytmtble.xml", nineMarks,
         [](Station &s) { return DailyMarksFile(s).writeDailyMark(1, 1); }, true,
         FileProblem::tooManyValues, "9 values"},
        {"time 9 does not exist", "schtitbl.xml", placeNine,
         [](Station &s) { return ScheduleDayFile(s).startNextDay(); }, true,
         FileProblem::placeOutOfRange, "place 9"},
        {"load report marks", "schrprt.xml", placeNine,
         [](Station &s) { return ReportMarksFile(s).loadReportMarks(); }, false,
         FileProblem::placeOutOfRange, "place 9"},
        {"channel 51 is outside the table", "DeviceSetup/dvcsetupdflt.xml",
         positionalFile({{"51", {"1"}}}),
         [](Station &s) {
             s.setupFileName = "/DeviceSetup/dvcsetupdflt.xml";
             return ChannelSetupFile(s).loadChannelSetup();
         },
         false, FileProblem::placeOutOfRange, "place 51"},
        {"save phonebook", "phonebook.xml", truncated,
         [](Station &s) { return PhonebookFile(s).savePhonebook({"1"}); }, true,
         FileProblem::notXml, "well-formed"},
        {"load settings", "settings.xml", truncated,
         [](Station &s) { return SettingsFile(s).loadSettings(); }, false, FileProblem::notXml,
         "well-formed"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        test::ConfigStation s;
        if (c.bytes)
            s.write(c.file, *c.bytes);
        s.station.selectedDevice = 3;
        const ConfigError error = c.operation(s.station);
        const std::string said = describe(error);
        EXPECT_EQ(error.problem, c.problem) << said;
        EXPECT_TRUE(said.starts_with(s.file(c.file).string() + ": ")) << said;
        EXPECT_NE(said.find(c.words), std::string::npos) << said;
        EXPECT_EQ(error.changeKept, c.writes);
        if (c.writes) {
            EXPECT_NE(said.find("not saved"), std::string::npos) << said;
        }
        EXPECT_EQ(s.read(c.file), c.bytes.value_or(""));
        EXPECT_EQ(test::entryCount(s.folder.path()), c.bytes ? 1u : 0u);
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
