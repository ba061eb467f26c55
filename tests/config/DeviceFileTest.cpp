#include "config/DeviceFile.h"

#include "ConfigStation.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using test::positionalFile;
using test::record;

// A record of 35 values "p<place>v<position>", so every position is told apart.
std::string fullRecord(int place) {
    std::string text = "<r place=\"" + std::to_string(place) + "\">";
    for (int p = 0; p < 35; ++p)
        text += "<v>p" + std::to_string(place) + "v" + std::to_string(p) + "</v>";
    return text + "</r>\n";
}

std::string fullFile(std::initializer_list<int> places) {
    std::string records;
    for (int place : places)
        records += fullRecord(place);
    return positionalFile(records);
}

TEST(DeviceFile, LoadFillsFieldsByPositionLaterDuplicatesWinShortRecordsLeaveTheRest) {
    test::ConfigStation s;
    s.station.devices[3][field::smtpServer] = "kept";
    s.write("prop.xml",
            positionalFile(record("1", {"1", "first"}) + record("3", {"0", "short"}) +
                           record("1", {"0"}) + record("7", std::initializer_list<std::string>{})));
    ASSERT_FALSE(DeviceFile(s.station).loadDeviceTable());
    EXPECT_EQ(s.station.devices[1][field::active], "0");         // the later record
    EXPECT_EQ(s.station.devices[1][field::connection], "first"); // only the earlier has it
    EXPECT_EQ(s.station.devices[3][field::connection], "short");
    EXPECT_EQ(s.station.devices[3][field::smtpServer], "kept");
}

TEST(DeviceFile, FieldsBeyondTheWrittenOnesComeOnlyFromTheFile) {
    test::ConfigStation s;
    std::string values;
    for (int p = 0; p < 45; ++p)
        values += "<v>" + std::to_string(p) + "</v>";
    s.write("prop.xml", positionalFile("<r place=\"2\">" + values + "</r>"));
    ASSERT_FALSE(DeviceFile(s.station).loadDeviceTable());
    EXPECT_EQ(s.station.devices[2][45], "44");
}

TEST(DeviceFile, PhoneListRows) {
    const struct {
        const char *legend;
        const char *active;
        const char *connection;
        const char *mark;
        const char *shown;
    } cases[] = {
        {"blank template record is free", "0", "locl0000", "", ""},
        {"active local device", "1", "locl0000", "X", "locl0000"},
        {"inactive telephone number still shown", "0", "0039512345", "", "0039512345"},
        {"active switch section", "1", "netw0315", "X", "netw0315"},
        {"never loaded", "", "", "", ""},
    };
    for (const auto &c : cases) {
        DeviceRecord device;
        device[field::active] = c.active;
        device[field::connection] = c.connection;
        device[field::description] = "pump house";
        const PhoneListRow row = phoneListRow(device);
        EXPECT_EQ(row.mark, c.mark) << c.legend;
        EXPECT_EQ(row.connection, c.shown) << c.legend;
        EXPECT_EQ(row.description, "pump house") << c.legend;
    }
}

TEST(DeviceFile, SaveDeviceWritesTheFirstRecordOfTheSlotButNotTheReportSettings) {
    test::ConfigStation s;
    const std::string before = fullFile({1, 2, 2, 3});
    s.write("prop.xml", before);
    s.station.selectedDevice = 2;
    for (int f = 1; f <= field::lastWritten; ++f)
        s.station.devices[2][f] = "m" + std::to_string(f);
    ASSERT_FALSE(DeviceFile(s.station).saveDevice());

    std::string expected = "<r place=\"2\">";
    for (int p = 0; p < 35; ++p)
        expected += "<v>" +
                    (p == 28 || p == 29 ? "p2v" + std::to_string(p) : "m" + std::to_string(p + 1)) +
                    "</v>";
    expected += "</r>\n";
    EXPECT_EQ(s.read("prop.xml"),
              positionalFile(fullRecord(1) + expected + fullRecord(2) + fullRecord(3)));
}

TEST(DeviceFile, SaveDataFolderWritesPosition19Only) {
    test::ConfigStation s;
    s.write("prop.xml", fullFile({5}));
    s.station.selectedDevice = 5;
    s.station.devices[5][field::dataDirectory] = "/srv/data/5";
    s.station.devices[5][field::description] = "not saved here";
    ASSERT_FALSE(DeviceFile(s.station).saveDataFolder());
    std::string expected = fullFile({5});
    const std::string old = "<v>p5v19</v>";
    expected.replace(expected.find(old), old.size(), "<v>/srv/data/5</v>");
    EXPECT_EQ(s.read("prop.xml"), expected);
}

TEST(DeviceFile, SaveReportSettingsWritesTheirPairIntoEveryRecord) {
    test::ConfigStation s;
    s.write("prop.xml", fullFile({1, 2, 2}));
    for (int slot = 1; slot <= maxDevices; ++slot) {
        s.station.devices[slot][field::reportEnabled] = "1";
        s.station.devices[slot][field::reportAddress] = "ops@example.org";
        s.station.devices[slot][field::description] = "not saved here";
    }
    ASSERT_FALSE(DeviceFile(s.station).saveReportSettings());
    std::string expected = fullFile({1, 2, 2});
    for (const char *old :
         {"<v>p1v28</v><v>p1v29</v>", "<v>p2v28</v><v>p2v29</v>", "<v>p2v28</v><v>p2v29</v>"})
        expected.replace(expected.find(old), std::string(old).size(),
                         "<v>1</v><v>ops@example.org</v>");
    EXPECT_EQ(s.read("prop.xml"), expected);
}

TEST(DeviceFile, SavingASlotWithoutRecordSaysSoAndKeepsTheChangeInMemory) {
    test::ConfigStation s;
    const std::string before = fullFile({1, 2});
    s.write("prop.xml", before);
    s.station.selectedDevice = 7;
    s.station.devices[7][field::connection] = "0039512345";
    for (ConfigError error :
         {DeviceFile(s.station).saveDevice(), DeviceFile(s.station).saveDataFolder()}) {
        EXPECT_EQ(error.problem, FileProblem::noRecord);
        EXPECT_NE(describe(error).find("no record with place 7; not saved, the change is kept"),
                  std::string::npos)
            << describe(error);
    }
    EXPECT_EQ(s.read("prop.xml"), before);
    EXPECT_EQ(s.station.devices[7][field::connection], "0039512345");
}

TEST(DeviceFile, PasswordsInTheFileAreForTheOwnerOnly) {
    test::ConfigStation s;
    s.write("prop.xml", fullFile({1}));
    std::filesystem::permissions(s.file("prop.xml"), std::filesystem::perms(0644));
    s.station.selectedDevice = 1;
    s.station.devices[1][field::forwardPassword] = "secret";
    ASSERT_FALSE(DeviceFile(s.station).saveDevice());
    EXPECT_EQ(std::filesystem::status(s.file("prop.xml")).permissions(),
              std::filesystem::perms(0600));
}

} // namespace
} // namespace vantrell
