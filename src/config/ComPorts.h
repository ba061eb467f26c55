// Port number N of the port lists names a serial device through comports.xml in the
// configuration folder: the record whose place is N holds the device path as its value 0.
#pragma once

#include "config/ConfigError.h"

#include <filesystem>

namespace vantrell {

// Without the file, the record or the value, port N is /dev/ttyS<N-1>. `problem`, when given,
// receives what kept the file from being read (a missing file included).
std::filesystem::path portDevicePath(const std::filesystem::path &configDir, int portNumber,
                                     ConfigError *problem = nullptr);
// Port N opens `device` from now on; the other ports keep theirs.
ConfigError storePortDevice(const std::filesystem::path &configDir, int portNumber,
                            const std::filesystem::path &device);

} // namespace vantrell
