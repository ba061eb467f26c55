// The device table's fields by name, for the command line: what `vantrelld device show` prints
// and `device set` takes. The names are those of the fields; a value is checked here on its own,
// and the record it goes into by recordProblem (CheckingData.h), as the dialog checks it.
#pragma once

#include "config/Tables.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantrell {

enum class KeyKind {
    flag,       // "0" or "1"
    choice,     // a list position, 0 .. choices-1
    connection, // "locl0000", "netwNNSS" or a telephone number
    text,       // one line of printable text
};

struct DeviceKey {
    std::string_view name;
    int field = 0;
    KeyKind kind = KeyKind::text;
    int choices = 0;
    std::string_view meaning;
};

std::span<const DeviceKey> deviceKeys();
const DeviceKey *findDeviceKey(std::string_view name);

// Why `value` cannot be stored under `key` ("active: 0 or 1"); nothing when it can.
std::optional<std::string> valueProblem(const DeviceKey &key, std::string_view value);

// The report settings are the station's, kept alike in every record.
bool isStationWide(const DeviceKey &key);

} // namespace vantrell
