// Saving what the operator edits about a device. The table in memory and prop.xml change
// together or not at all: a save the disk refuses leaves the table (and with it the phone list
// that shows it) as the file still has it, so the next start finds what the operator last saw.
#pragma once

#include "config/ConfigError.h"
#include "config/Tables.h"

#include <string>

namespace vantrell {

class Station;

class DeviceStore {
public:
    explicit DeviceStore(Station &station) : station_(station) {}

    // `record` into slot `slot` (1..50) and its prop.xml record, and the slot becomes the
    // selected device. The slot keeps its report settings: only storeReportSettings writes them.
    ConfigError store(int slot, const DeviceRecord &record);
    // The slot's schedule marks into dlytmtble.xml, and the day's marks read back from it, all
    // but those of the device a session is reading.
    ConfigError storeScheduleMarks(int slot);
    // The folder chosen in the folder picker as the slot's data folder.
    ConfigError storeDataFolder(int slot, const std::string &folder);
    // The report settings are global but kept in every record.
    ConfigError storeReportSettings(bool enabled, const std::string &address);

private:
    Station &station_;
};

} // namespace vantrell
