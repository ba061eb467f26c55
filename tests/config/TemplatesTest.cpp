#include "config/Templates.h"

#include "ConfigStation.h"
#include "config/DeviceFile.h"
#include "config/PortFiles.h"
#include "config/ScheduleFiles.h"
#include "config/SettingsFile.h"
#include "config/SetupFiles.h"
#include "config/Startup.h"

#include <gtest/gtest.h>

#include <map>

namespace vantrell {
namespace {

std::map<std::string, std::string> templateBytes() {
    std::map<std::string, std::string> bytes;
    for (const TemplateFile &file : templateFiles())
        bytes.emplace(file.name, file.bytes);
    return bytes;
}

TEST(Templates, InstallingNeverReplacesAnOperatorsFileAndGivesEmptyTables) {
    test::ConfigStation s;
    s.write("schtitbl.xml", "hand-edited");
    const TemplateInstall install = installTemplates(s.folder.path());
    EXPECT_TRUE(install.failures.empty());
    EXPECT_EQ(install.written.size(), templateFiles().size() - 1);
    EXPECT_EQ(s.read("schtitbl.xml"), "hand-edited");
    EXPECT_EQ(s.read("DeviceSetup/dvcsetup7.xml"), templateBytes().at("DeviceSetup/dvcsetup7.xml"));
    EXPECT_EQ(std::filesystem::status(s.file("prop.xml")).permissions(),
              std::filesystem::perms(0600));
    EXPECT_TRUE(installTemplates(s.folder.path()).written.empty());

    // The templates hold what the tables expect.
    Station &st = s.station;
    ASSERT_FALSE(DeviceFile(st).loadDeviceTable());
    for (int slot = 1; slot <= maxDevices; ++slot)
        EXPECT_TRUE(st.devices[slot].isFree()) << "slot " << slot;
    ASSERT_FALSE(ScheduleTimesFile(st).loadScheduleTimes());
    EXPECT_EQ(st.scheduleTimes, (ScheduleTimes{"-1", "-1", "-1", "-1"}));
    ASSERT_FALSE(SettingsFile(st).loadSettings());
    st.settings.smtpHost.clear();
    ASSERT_FALSE(SettingsFile(st).loadSettings());
    EXPECT_EQ(st.settings, Settings{});
    EXPECT_EQ(loadPortChoice(s.file("port.crs")), 0);
    EXPECT_EQ(loadPortChoice(s.file("MDMport.crs")), 0);
}

// Everything loaded into a Station and saved back by every save operation gives the same bytes.
TEST(Templates, LoadingAndSavingEverythingChangesNoFile) {
    test::ConfigStation s;
    ASSERT_TRUE(installTemplates(s.folder.path()).failures.empty());
    Station &st = s.station;
    DeviceFile devices(st);
    ScheduleTimesFile times(st);
    DailyMarksFile marks(st);
    ScheduleDayFile day(st);
    ReportMarksFile reports(st);
    ChannelSetupFile setups(st);
    PhonebookFile phonebook(st);

    ASSERT_FALSE(devices.loadDeviceTable());
    ASSERT_FALSE(times.loadScheduleTimes());
    ASSERT_FALSE(marks.loadDailyMarks());
    ASSERT_FALSE(reports.loadReportMarks());
    ASSERT_FALSE(phonebook.loadPhonebook());
    std::string today;
    ASSERT_FALSE(day.readScheduleDay(today));

    for (int slot = 1; slot <= maxDevices; ++slot) {
        st.selectedDevice = slot;
        ASSERT_FALSE(devices.saveDevice());
        ASSERT_FALSE(devices.saveDataFolder());
        ASSERT_FALSE(marks.writeScheduledMarks(slot));
        for (int q = 0; q < 8; ++q)
            ASSERT_FALSE(marks.writeDailyMark(slot, q));
    }
    ASSERT_FALSE(devices.saveReportSettings());
    for (int i = 0; i < scheduleTimeCount; ++i)
        ASSERT_FALSE(times.saveScheduleTime(i));
    ASSERT_FALSE(day.writeScheduleDay(today));
    ASSERT_FALSE(day.clearSlotMarks());
    ASSERT_FALSE(marks.clearDoneMarks());
    ASSERT_FALSE(reports.clearReportMarks());
    for (int slot : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) {
        setups.chooseSetupFile(slot);
        ASSERT_FALSE(setups.loadChannelSetup());
        for (int logger = 1; logger <= maxLoggers; ++logger)
            ASSERT_FALSE(setups.saveLoggerSetup(logger, loggerSetup(st.channelSetup, logger)));
    }
    std::array<std::string, phonebookSize> numbers;
    std::copy(st.phonebook.begin(), st.phonebook.end(), numbers.begin());
    ASSERT_FALSE(phonebook.savePhonebook(numbers));
    ASSERT_FALSE(storePortChoice(s.file("port.crs"), *loadPortChoice(s.file("port.crs"))));
    ASSERT_FALSE(storePortChoice(s.file("MDMport.crs"), *loadPortChoice(s.file("MDMport.crs"))));

    for (const auto &[name, bytes] : templateBytes())
        EXPECT_EQ(s.read(name), bytes) << name;
}

std::string problemWith(const std::vector<ConfigError> &problems,
                        const std::filesystem::path &file) {
    const auto found = std::find_if(problems.begin(), problems.end(),
                                    [&](const ConfigError &e) { return e.file == file; });
    return found == problems.end() ? std::string() : describe(*found);
}

TEST(Startup, APortMapThatCannotBeReadIsNamedWithTheDevicesThePortsOpen) {
    const struct {
        const char *legend;
        std::optional<std::string> map; // none: no comports.xml
        std::string problem;            // after the file's name
    } cases[] = {
        {"no map", std::nullopt,
         ": the file is missing; the line's port 3 is /dev/ttyS2, the SMS modem's port 1 is "
         "/dev/ttyS0"},
        {"a damaged map", "<?xml version=\"1.0\"?><ports><p place=\"3\"><d>/dev/x</d>",
         "; the line's port 3 is /dev/ttyS2, the SMS modem's port 1 is /dev/ttyS0"},
        {"a map without the line's port", "<?xml version=\"1.0\"?><ports/>", ""},
    };
    for (const auto &c : cases) {
        test::ConfigStation s;
        ASSERT_TRUE(installTemplates(s.folder.path()).failures.empty());
        std::filesystem::remove(s.file("comports.xml"));
        if (c.map)
            s.write("comports.xml", *c.map);
        ASSERT_FALSE(storePortChoice(s.file("port.crs"), 2));
        const std::string said = problemWith(loadConfiguration(s.station), s.file("comports.xml"));
        const bool named = said.starts_with(s.file("comports.xml").string() + ": ");
        EXPECT_EQ(named, !c.problem.empty()) << c.legend << ": " << said;
        EXPECT_TRUE(said.ends_with(c.problem)) << c.legend << ": " << said;
    }
}

TEST(Startup, ReadingTheConfigurationWritesNothing) {
    test::ConfigStation s;
    ASSERT_TRUE(installTemplates(s.folder.path()).failures.empty());
    s.station.devices[1][field::scheduleSlot1] = "1";
    ASSERT_FALSE(DeviceFile(s.station).saveDevice());
    const std::string marks = s.read("dlytmtble.xml");
    s.station.devices[1][field::scheduleSlot1] = "";

    EXPECT_TRUE(readConfiguration(s.station).empty());
    EXPECT_TRUE(s.station.devices[1].scheduledAt(1));
    EXPECT_EQ(s.read("dlytmtble.xml"), marks);

    EXPECT_TRUE(loadConfiguration(s.station).empty());
    EXPECT_NE(s.read("dlytmtble.xml"), marks) << "the station itself writes its scheduled marks";
}

} // namespace
} // namespace vantrell
