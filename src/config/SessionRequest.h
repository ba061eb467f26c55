// What a reading session is asked to do, copied when it starts: the device's slot and record,
// the schedule time its letter belongs to, and the number it dials. Edits of the device table
// while the session runs change nothing the session reads.
#pragma once

#include "config/Tables.h"

#include <string>

namespace vantrell {

struct SessionRequest {
    int device = 1;         // slot 1..50
    int dailyMarkIndex = 1; // 1, 3, 5, 7: the done mark of the schedule time is at this + 1
    std::string dialNumber; // the connection text of a remote station
    DeviceRecord record{};

    int scheduleTime() const { return dailyMarkIndex / 2 + 1; }
};

} // namespace vantrell
