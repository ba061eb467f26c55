// Loading the whole configuration when a program starts, in the order the station has always
// used: report marks, schedule times, device table, scheduled marks, daily marks, then the
// phone book, the settings and the chosen ports. A file that cannot be read is reported and
// the program goes on with what it has.
#pragma once

#include "config/ConfigError.h"

#include <filesystem>
#include <vector>

namespace vantrell {

class Station;

// Every problem met, in order; an empty list means everything loaded.
std::vector<ConfigError> loadConfiguration(Station &station);

// The same for a program that only looks at the station: nothing is written, so that it can
// run beside the station that owns the folder.
std::vector<ConfigError> readConfiguration(Station &station);

// Writes the scheduled marks of every configured device and reloads the daily marks, so that a
// device table edited outside the program's dialogs is scheduled as it says.
std::vector<ConfigError> refreshScheduledMarks(Station &station);

// A folder the station may not write in would fail every save of every session; a trial file
// finds that out before the first one.
ConfigError checkWritable(const std::filesystem::path &folder);

} // namespace vantrell
