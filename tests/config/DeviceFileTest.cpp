#include "config/DeviceFile.h"

#include "ConfigStation.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using test::positionalFile;

// Records of 35 values "p<place>v<position>", so that every position is told apart.
std::string fullFile(std::initializer_list<int> places) {
    test::Records records;
    for (int place : places) {
        std::vector<std::string> values;
        for (int p = 0; p < 35; ++p)
            values.push_back("p" + std::to_string(place) + "v" + std::to_string(p));
        records.emplace_back(std::to_string(place), values);
    }
    return positionalFile(records);
}

// `text` with the first (or every) `old` replaced.
std::string replaced(std::string text, const std::string &old, const std::string &with,
                     bool every = false) {
    for (auto at = text.find(old); at != std::string::npos; at = text.find(old, at + with.size())) {
        text.replace(at, old.size(), with);
        if (!every)
            break;
    }
    return text;
}

TEST(DeviceFile, LoadFillsFieldsByPositionLaterDuplicatesWinShortRecordsLeaveTheRest) {
    test::ConfigStation s;
    s.station.devices[3][field::smtpServer] = "kept";
    s.write("prop.xml",
            positionalFile({{"1", {"1", "first"}}, {"3", {"0", "short"}}, {"1", {"0"}}}));
    ASSERT_FALSE(DeviceFile(s.station).loadDeviceTable());
    EXPECT_EQ(s.station.devices[1][field::active], "0");         // the later record
    EXPECT_EQ(s.station.devices[1][field::connection], "first"); // only the earlier has it
    EXPECT_EQ(s.station.devices[3][field::connection], "short");
    EXPECT_EQ(s.station.devices[3][field::smtpServer], "kept");
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
        {"never loaded", "", "", "", ""},
    };
    for (const auto &c : cases) {
        DeviceRecord device;
        device[field::active] = c.active;
        device[field::connection] = c.connection;
        device[field::description] = "pump house";
        const PhoneListRow row = phoneListRow(device);
        EXPECT_EQ(row.mark + "|" + row.connection + "|" + row.description,
                  std::string(c.mark) + "|" + c.shown + "|pump house")
            << c.legend;
    }
}

TEST(DeviceFile, SaveDeviceWritesTheFirstRecordOfTheSlotButNotTheReportSettings) {
    test::ConfigStation s;
    s.write("prop.xml", fullFile({1, 2, 2, 3}));
    s.station.selectedDevice = 2;
    for (int f = 1; f <= field::lastWritten; ++f)
        s.station.devices[2][f] = "m" + std::to_string(f);
    ASSERT_FALSE(DeviceFile(s.station).saveDevice());

    std::string expected = fullFile({1, 2, 2, 3});
    for (int p = 0; p < 35; ++p)
        if (p != 28 && p != 29)
            expected = replaced(expected, ">p2v" + std::to_string(p) + "<",
                                ">m" + std::to_string(p + 1) + "<");
    EXPECT_EQ(s.read("prop.xml"), expected);
}

TEST(DeviceFile, DataFolderAndReportSettingsWriteTheirPositionsOnly) {
    test::ConfigStation s;
    s.write("prop.xml", fullFile({5, 6, 6}));
    for (DeviceRecord &device : s.station.devices) {
        device[field::reportEnabled] = "1";
        device[field::reportAddress] = "ops@example.org";
        device[field::description] = "not saved here";
    }
    s.station.selectedDevice = 5;
    s.station.devices[5][field::dataDirectory] = "/srv/data/5";
    ASSERT_FALSE(DeviceFile(s.station).saveDataFolder());
    ASSERT_FALSE(DeviceFile(s.station).saveReportSettings());

    std::string expected = replaced(fullFile({5, 6, 6}), ">p5v19<", ">/srv/data/5<");
    for (const std::string place : {"5", "6"}) {
        expected = replaced(expected, ">p" + place + "v28<", ">1<", true);
        expected = replaced(expected, ">p" + place + "v29<", ">ops@example.org<", true);
    }
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
    ASSERT_FALSE(DeviceFile(s.station).saveDevice());
    EXPECT_EQ(std::filesystem::status(s.file("prop.xml")).permissions(),
              std::filesystem::perms(0600));
}

} // namespace
} // namespace vantrell
