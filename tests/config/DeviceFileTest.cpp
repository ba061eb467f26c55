#include "config/DeviceFile.h"

#include "ConfigStation.h"
#include "FullDisk.h"
#include "config/DeviceStore.h"
#include "config/ScheduleFiles.h"
#include "config/ScheduleTimeStore.h"
#include "config/Templates.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using test::positionalFile;
using test::replaced;

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

TEST(DeviceFile, LoadFillsFieldsByPositionLaterDuplicatesWinShortRecordsLeaveTheRest) {
    test::ConfigStation s;
    s.station.devices[3][field::smtpServer] = "kept";
    // Place 0 has no slot: loading passes over it.
    s.write(
        "prop.xml",
        positionalFile(
            {{"0", {"1", "none"}}, {"1", {"1", "first"}}, {"3", {"0", "short"}}, {"1", {"0"}}}));
    ASSERT_FALSE(DeviceFile(s.station).loadDeviceTable());
    EXPECT_EQ(s.station.devices[1][field::active], "0");         // the later record
    EXPECT_EQ(s.station.devices[1][field::connection], "first"); // only the earlier has it
    EXPECT_EQ(s.station.devices[3][field::connection], "short");
    EXPECT_EQ(s.station.devices[3][field::smtpServer], "kept");
}

// The file holds FTP passwords: a save leaves it for the owner only.
TEST(DeviceFile, SaveDeviceWritesTheFirstRecordOfTheSlotButNotTheReportSettings) {
    test::ConfigStation s;
    s.write("prop.xml", fullFile({1, 2, 2, 3}));
    std::filesystem::permissions(s.file("prop.xml"), std::filesystem::perms(0644));
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
    EXPECT_EQ(std::filesystem::status(s.file("prop.xml")).permissions(),
              std::filesystem::perms(0600));
}

TEST(DeviceFile, DataFolderAndReportSettingsWriteTheirPositionsOnlyAndNeedARecord) {
    test::ConfigStation s;
    s.write("prop.xml", fullFile({5, 6, 6}));
    for (DeviceRecord &device : s.station.devices) {
        device[field::reportEnabled] = "1";
        device[field::reportAddress] = "ops@example.org";
        device[field::description] = "not saved here";
    }
    // A slot without a record says so, and its change stays in memory.
    s.station.selectedDevice = 7;
    s.station.devices[7][field::connection] = "0039512345";
    for (ConfigError error :
         {DeviceFile(s.station).saveDevice(), DeviceFile(s.station).saveDataFolder()}) {
        EXPECT_EQ(error.problem, FileProblem::noRecord);
        EXPECT_NE(describe(error).find("no record with place 7; not saved, the change is kept"),
                  std::string::npos)
            << describe(error);
    }
    EXPECT_EQ(s.station.devices[7][field::connection], "0039512345");
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

// Saving as the dialogs and the main window do: table and file change together, or neither does.
DeviceRecord sampleDevice() {
    DeviceRecord record;
    test::setFields(record, "active=1 connection=0471123456 serial1=1234KV0126 description=Dam "
                            "dataDirectory=/srv/dam reportEnabled=1 "
                            "reportAddress=not@from.the.dialog");
    return record;
}

// What the stores keep in memory.
struct Held {
    DeviceTable devices;
    ScheduleTimes times;
    int selected;
};

struct Operation {
    const char *legend;
    const char *file;
    std::function<ConfigError(Station &)> run;
    std::function<void(Held &)> change; // on success
};

TEST(Stores, TableAndFileChangeTogetherOrNotAtAll) {
    const Operation operations[] = {
        {"a device into slot 7", "prop.xml",
         [](Station &s) { return DeviceStore(s).store(7, sampleDevice()); },
         [](Held &h) {
             const DeviceRecord kept = h.devices[7];
             h.devices[7] = sampleDevice();
             h.devices[7][field::reportEnabled] = kept[field::reportEnabled];
             h.devices[7][field::reportAddress] = kept[field::reportAddress];
             h.selected = 7;
         }},
        {"the data folder of slot 4", "prop.xml",
         [](Station &s) { return DeviceStore(s).storeDataFolder(4, "/srv/new"); },
         [](Held &h) {
             h.devices[4][field::dataDirectory] = "/srv/new";
             h.selected = 4;
         }},
        {"the report settings of every slot", "prop.xml",
         [](Station &s) { return DeviceStore(s).storeReportSettings(true, "ops@example.org"); },
         [](Held &h) {
             for (DeviceRecord &device : h.devices) {
                 device[field::reportEnabled] = "1";
                 device[field::reportAddress] = "ops@example.org";
             }
         }},
        {"09:00 as the third schedule time", "timeutils.xml",
         [](Station &s) { return ScheduleTimeStore(s).store(2, 9); },
         [](Held &h) { h.times[3] = "9"; }},
        {"reset timetable", "timeutils.xml",
         [](Station &s) { return ScheduleTimeStore(s).clear(); },
         [](Held &h) { h.times.fill(std::to_string(hourNotSet)); }},
    };
    const struct {
        const char *legend;
        FileProblem problem;
    } disks[] = {{"", FileProblem::none},
                 {", file missing", FileProblem::missing},
                 {", disk full", FileProblem::cannotWrite}};
    const auto expectHeld = [](const Station &st, const Held &h, int lastField) {
        for (int slot = 1; slot <= maxDevices; ++slot)
            for (int f = field::active; f <= lastField; ++f)
                EXPECT_EQ(st.devices[slot][f], h.devices[slot][f]) << slot << "/" << f;
        EXPECT_EQ(st.scheduleTimes, h.times);
    };
    for (const Operation &operation : operations)
        for (const auto &disk : disks) {
            const bool fine = disk.problem == FileProblem::none;
            SCOPED_TRACE(operation.legend + std::string(disk.legend));
            test::ConfigStation s;
            Station &st = s.station;
            ASSERT_TRUE(installTemplates(s.folder.path()).failures.empty());
            ASSERT_FALSE(DeviceFile(st).loadDeviceTable());
            ASSERT_FALSE(ScheduleTimesFile(st).loadScheduleTimes());
            ASSERT_FALSE(ScheduleTimeStore(st).store(0, 6));
            ASSERT_FALSE(ScheduleTimeStore(st).store(1, 8));
            ASSERT_FALSE(DeviceStore(st).storeDataFolder(4, "/srv/old"));
            st.selectedDevice = 2;
            if (disk.problem == FileProblem::missing)
                std::filesystem::remove(s.file(operation.file));
            Held expected{st.devices, st.scheduleTimes, 2};
            const std::string fileBefore = s.read(operation.file);
            const std::size_t entries = test::entryCount(s.folder.path());

            std::optional<testing::FullDisk> full;
            if (disk.problem == FileProblem::cannotWrite)
                full.emplace();
            const ConfigError error = operation.run(st);
            full.reset();

            if (fine)
                operation.change(expected);
            EXPECT_EQ(error.problem, disk.problem) << describe(error);
            EXPECT_FALSE(error.changeKept) << "nothing is kept in memory alone";
            expectHeld(st, expected, deviceFieldCount);
            EXPECT_EQ(st.selectedDevice, expected.selected);
            EXPECT_EQ(test::entryCount(s.folder.path()), entries) << "no temporary file left";
            if (!fine) {
                EXPECT_EQ(s.read(operation.file), fileBefore);
                continue;
            }
            test::ConfigStation next;
            for (const char *name : {"prop.xml", "timeutils.xml"})
                std::filesystem::copy_file(s.file(name), next.file(name));
            ASSERT_FALSE(DeviceFile(next.station).loadDeviceTable());
            ASSERT_FALSE(ScheduleTimesFile(next.station).loadScheduleTimes());
            expectHeld(next.station, expected, field::lastWritten);
        }
}

TEST(DeviceStore, ScheduleMarksFollowTheStoredSlot) {
    test::ConfigStation s;
    ASSERT_TRUE(installTemplates(s.folder.path()).failures.empty());
    DeviceRecord record = sampleDevice();
    record[field::scheduleSlot1 + 2] = "1";
    DeviceStore store(s.station);
    ASSERT_FALSE(store.store(3, record));

    ASSERT_FALSE(store.storeScheduleMarks(3));

    for (int time = 1; time <= scheduleTimeCount; ++time)
        EXPECT_EQ(s.station.dailyMarks.at(2 * time - 1, 3), time == 3 ? "X" : "") << time;
    std::filesystem::remove(s.file("dlytmtble.xml"));
    EXPECT_TRUE(store.storeScheduleMarks(3).failed());
}

} // namespace
} // namespace vantrell
