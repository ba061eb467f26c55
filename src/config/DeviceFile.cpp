#include "config/DeviceFile.h"

#include "config/ConfigFiles.h"
#include "config/Station.h"
#include "config/XMLData.h"
#include "general/Text.h"

namespace vantrell {

namespace {

// Fields 1..45 exist in the table; a record with place 0 is no device and is left as it stands.
// The passwords of FTP forwarding are stored in clear text, so nobody but the owner may read the
// file.
constexpr RecordLayout deviceLayout{std::pair{0, maxDevices}, std::size_t{deviceFieldCount}, true};
constexpr const char *activeMark = "X";

std::size_t valueOf(int f) {
    return static_cast<std::size_t>(f - 1);
}

} // namespace

ConfigError readDeviceTable(const std::filesystem::path &configDir, DeviceTable &devices) {
    return readRecords(configDir / files::deviceProperties, deviceLayout,
                       [&devices](const XMLData &document) {
                           for (const XmlRecord &record : document.records()) {
                               if (record.place() < 1)
                                   continue;
                               DeviceRecord &device = devices.at(record.place());
                               for (std::size_t p = 0; p < record.valueCount(); ++p)
                                   device[static_cast<int>(p) + 1] = record.value(p);
                           }
                       });
}

ConfigError DeviceFile::loadDeviceTable() {
    return readDeviceTable(station_.configDir(), station_.devices);
}

template <typename Write> ConfigError DeviceFile::saveSelected(Write write) {
    const int slot = station_.selectedDevice;
    return rewriteRecords(
        station_.configDir() / files::deviceProperties, deviceLayout,
        [&](XMLData &document) -> ConfigError {
            XmlRecord *record =
                slot >= 1 && slot <= maxDevices ? document.firstRecord(slot) : nullptr;
            if (!record)
                return fileError(FileProblem::noRecord, document.file(),
                                 "there is no record with place " + std::to_string(slot));
            write(*record, station_.devices.at(slot));
            return {};
        });
}

ConfigError DeviceFile::saveDevice() {
    return saveSelected([](XmlRecord &record, const DeviceRecord &device) {
        for (int f = field::active; f <= field::lastWritten; ++f)
            if (f != field::reportEnabled && f != field::reportAddress)
                record.setValue(valueOf(f), device[f]);
    });
}

ConfigError DeviceFile::saveDataFolder() {
    return saveSelected([](XmlRecord &record, const DeviceRecord &device) {
        record.setValue(valueOf(field::dataDirectory), device[field::dataDirectory]);
    });
}

ConfigError DeviceFile::saveReportSettings() {
    return rewriteRecords(station_.configDir() / files::deviceProperties, deviceLayout,
                          [this](XMLData &document) {
                              for (XmlRecord &record : document.records()) {
                                  if (record.place() < 1)
                                      continue;
                                  const DeviceRecord &device = station_.devices.at(record.place());
                                  for (int f : {field::reportEnabled, field::reportAddress})
                                      record.setValue(valueOf(f), device[f]);
                              }
                          });
}

PhoneListRow phoneListRow(const DeviceRecord &record) {
    const bool active = valInt(record[field::active]) != 0;
    const bool inactiveLocal = record.connection() == localConnection && !active;
    return {active ? activeMark : "", inactiveLocal ? "" : record.connection(),
            record[field::description]};
}

} // namespace vantrell
