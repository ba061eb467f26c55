// A look at one logger without reading its memory: wake it (through the switch when asked),
// read its clock and its parameter block, and say what it is. For commissioning a station and
// for checking a line.
#pragma once

#include "config/Station.h"

#include <ostream>

namespace vantrell {

struct ProbeRequest {
    int portNumber = 1;
    bool throughSwitch = false;
    int logger = 1; // position on the switch
};

// Prints what was found to `out`; false when the logger (or the switch) did not answer.
bool probeLogger(Station &station, const ProbeRequest &request, std::ostream &out);

} // namespace vantrell
