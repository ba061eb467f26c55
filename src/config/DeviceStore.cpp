#include "config/DeviceStore.h"

#include "config/DeviceFile.h"
#include "config/ScheduleFiles.h"
#include "config/Station.h"

#include <array>
#include <optional>
#include <string>

namespace vantrell {

namespace {

// Every saving call goes through DeviceFile, which writes what the table holds: the change is
// put into the table first and taken back when the file refuses it.
template <typename Change, typename Save>
ConfigError changeAndSave(Station &station, Change change, Save save) {
    const DeviceTable devices = station.devices;
    const int selected = station.selectedDevice;
    change();
    ConfigError error = save(DeviceFile(station));
    if (error) {
        station.devices = devices;
        station.selectedDevice = selected;
        error.changeKept = false;
    }
    return error;
}

} // namespace

ConfigError DeviceStore::store(int slot, const DeviceRecord &record) {
    return changeAndSave(
        station_,
        [&] {
            DeviceRecord &stored = station_.devices.at(slot);
            const DeviceRecord kept = stored;
            stored = record;
            for (int f : {field::reportEnabled, field::reportAddress})
                stored[f] = kept[f];
            station_.selectedDevice = slot;
        },
        [](DeviceFile file) { return file.saveDevice(); });
}

// A session keeps the letter of the device it reads in memory until it writes it: the file read
// back would take that letter away, so that device's marks stay as the session has them.
ConfigError DeviceStore::storeScheduleMarks(int slot) {
    DailyMarksFile marks(station_);
    if (ConfigError error = marks.writeScheduledMarks(slot))
        return error;
    const std::optional<int> reading = station_.deviceInSession();
    if (!reading)
        return marks.loadDailyMarks();
    std::array<std::string, 2 * scheduleTimeCount> kept;
    for (int p = 1; p <= 2 * scheduleTimeCount; ++p)
        kept.at(std::size_t(p - 1)) = station_.dailyMarks.at(p, *reading);
    const ConfigError error = marks.loadDailyMarks();
    for (int p = 1; p <= 2 * scheduleTimeCount; ++p)
        station_.dailyMarks.at(p, *reading) = kept.at(std::size_t(p - 1));
    return error;
}

ConfigError DeviceStore::storeDataFolder(int slot, const std::string &folder) {
    return changeAndSave(
        station_,
        [&] {
            station_.devices.at(slot)[field::dataDirectory] = folder;
            station_.selectedDevice = slot;
        },
        [](DeviceFile file) { return file.saveDataFolder(); });
}

ConfigError DeviceStore::storeReportSettings(bool enabled, const std::string &address) {
    return changeAndSave(
        station_,
        [&] {
            for (int slot = 1; slot <= maxDevices; ++slot) {
                station_.devices.at(slot)[field::reportEnabled] = enabled ? "1" : "0";
                station_.devices.at(slot)[field::reportAddress] = address;
            }
        },
        [](DeviceFile file) { return file.saveReportSettings(); });
}

} // namespace vantrell
