// Saving a device as the dialogs do: table and prop.xml change together, or neither does.
#include "config/DeviceStore.h"

#include "ConfigStation.h"
#include "FullDisk.h"
#include "config/DeviceFile.h"
#include "config/Templates.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace vantrell {
namespace {

DeviceRecord sampleDevice() {
    DeviceRecord record;
    record[field::active] = "1";
    record[field::connection] = "0471123456";
    record.serialNumber(1) = "1234KV0126";
    record[field::description] = "Dam";
    record[field::dataDirectory] = "/srv/dam";
    record[field::reportEnabled] = "1";
    record[field::reportAddress] = "not@from.the.dialog";
    return record;
}

enum class Disk { fine, fileMissing, full };

struct Operation {
    const char *legend;
    std::function<ConfigError(DeviceStore &)> run;
    std::function<void(DeviceTable &)> expected; // the change on success
    int selectedAfter;
};

TEST(DeviceStore, TableAndFileChangeTogetherOrNotAtAll) {
    const Operation operations[] = {
        {"a device into slot 7", [](DeviceStore &s) { return s.store(7, sampleDevice()); },
         [](DeviceTable &t) {
             const DeviceRecord kept = t[7];
             t[7] = sampleDevice();
             t[7][field::reportEnabled] = kept[field::reportEnabled];
             t[7][field::reportAddress] = kept[field::reportAddress];
         },
         7},
        {"the data folder of slot 4",
         [](DeviceStore &s) { return s.storeDataFolder(4, "/srv/new"); },
         [](DeviceTable &t) { t[4][field::dataDirectory] = "/srv/new"; }, 4},
        {"the report settings of every slot",
         [](DeviceStore &s) { return s.storeReportSettings(true, "ops@example.org"); },
         [](DeviceTable &t) {
             for (int slot = 1; slot <= maxDevices; ++slot) {
                 t[slot][field::reportEnabled] = "1";
                 t[slot][field::reportAddress] = "ops@example.org";
             }
         },
         2},
    };
    for (const Operation &operation : operations)
        for (const Disk disk : {Disk::fine, Disk::fileMissing, Disk::full}) {
            SCOPED_TRACE(operation.legend + std::string(disk == Disk::fine ? ""
                                                        : disk == Disk::full
                                                            ? ", disk full"
                                                            : ", prop.xml missing"));
            test::ConfigStation s;
            ASSERT_TRUE(installTemplates(s.folder.path()).failures.empty());
            ASSERT_FALSE(DeviceFile(s.station).loadDeviceTable());
            s.station.devices[4][field::dataDirectory] = "/srv/old";
            s.station.selectedDevice = 4;
            ASSERT_FALSE(DeviceFile(s.station).saveDevice());
            s.station.selectedDevice = 2;
            if (disk == Disk::fileMissing)
                std::filesystem::remove(s.file("prop.xml"));
            const DeviceTable before = s.station.devices;
            const std::string fileBefore = s.read("prop.xml");

            DeviceStore store(s.station);
            std::optional<testing::FullDisk> full;
            if (disk == Disk::full)
                full.emplace();
            const ConfigError error = operation.run(store);
            full.reset();

            DeviceTable expected = before;
            if (disk == Disk::fine)
                operation.expected(expected);
            EXPECT_EQ(error.failed(), disk != Disk::fine);
            EXPECT_FALSE(error.changeKept) << "nothing is kept in memory alone";
            for (int slot = 1; slot <= maxDevices; ++slot)
                EXPECT_EQ(s.station.devices[slot].fields, expected[slot].fields) << slot;
            EXPECT_EQ(s.station.selectedDevice, disk == Disk::fine ? operation.selectedAfter : 2);
            if (disk != Disk::fine) {
                EXPECT_EQ(s.read("prop.xml"), fileBefore);
                continue;
            }
            test::ConfigStation next;
            std::filesystem::copy_file(s.file("prop.xml"), next.file("prop.xml"));
            ASSERT_FALSE(DeviceFile(next.station).loadDeviceTable());
            for (int slot = 1; slot <= maxDevices; ++slot)
                for (int f = field::active; f <= field::lastWritten; ++f)
                    EXPECT_EQ(next.station.devices[slot][f], expected[slot][f]) << slot << "/" << f;
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
