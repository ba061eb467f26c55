// Loading the whole configuration when a program starts, in the order the station has always
// used: report marks, schedule times, device table, scheduled marks, daily marks, then the
// phone book, the settings and the chosen ports. A file that cannot be read is reported and
// the program goes on with what it has.
#pragma once

#include "config/ConfigError.h"

#include <vector>

namespace vantrell {

class Station;

// Every problem met, in order; an empty list means everything loaded.
std::vector<ConfigError> loadConfiguration(Station &station);

// Writes the scheduled marks of every configured device and reloads the daily marks, so that a
// device table edited outside the program's dialogs is scheduled as it says.
std::vector<ConfigError> refreshScheduledMarks(Station &station);

} // namespace vantrell
