// Where the station's last save of a logger whose memory it keeps (a device that does not erase)
// left off: the logger's memory pointer then, and the time stamp of the last record saved. The
// next session asks that logger only for the records after it.
#pragma once

#include <cstddef>
#include <string>

namespace vantrell {

struct SavedUpTo {
    std::size_t memoryPointer = 1; // records stored + 1
    std::string lastDate;          // "DD-MM-YY" as decoded; empty when no record had a time stamp
    std::string lastTime;          // "HH:MM:SS"
};

} // namespace vantrell
