// prop.xml, the stored form of the device table: one record per slot (place 1..50), value p
// holding field p+1. The table is loaded once at start-up and from then on is the working copy;
// the dialogs write single devices back, the main window the report settings of all of them.
#pragma once

#include "config/ConfigError.h"
#include "config/Tables.h"

#include <filesystem>
#include <string>

namespace vantrell {

class Station;

// The device table of `configDir` into `devices`, as loadDeviceTable reads it; for a reader
// beside the station (its own thread), which sees the operator's changes once they are saved.
ConfigError readDeviceTable(const std::filesystem::path &configDir, DeviceTable &devices);

class DeviceFile {
public:
    explicit DeviceFile(Station &station) : station_(station) {}

    // Later records with the same place overwrite earlier ones.
    ConfigError loadDeviceTable();
    // Writes slot SelectedDevice into the first record with its place, except the report
    // settings (values 28 and 29), which only saveReportSettings writes.
    ConfigError saveDevice();
    ConfigError saveDataFolder();
    ConfigError saveReportSettings();

private:
    template <typename Write> ConfigError saveSelected(Write write);

    Station &station_;
};

// What the phone list shows in the row of a slot.
struct PhoneListRow {
    std::string mark;       // "X" when the device is active
    std::string connection; // empty for an inactive local device, free or not
    std::string description;
};
PhoneListRow phoneListRow(const DeviceRecord &record);

} // namespace vantrell
