// port.crs and MDMport.crs keep the chosen entry of the two port lists (serial line, SMS
// modem): two 8-byte records, "Com;No." and a carriage return, then the zero-based list
// position p as " p ;p" blank-padded and cut to 8 bytes. The port number is p + 1.
#pragma once

#include "config/ConfigError.h"

#include <filesystem>
#include <optional>
#include <string>

namespace vantrell {

constexpr int portListSize = 255; // "Com 1" ... "Com 255"

// The 16 bytes of a port file for list position `position`.
std::string portFileBytes(int position);

// The list position the file chooses; none when the file is missing or chooses nothing valid.
// `problem`, when given, receives why a file that is there could not be read.
std::optional<int> loadPortChoice(const std::filesystem::path &file,
                                  ConfigError *problem = nullptr);
ConfigError storePortChoice(const std::filesystem::path &file, int position);

} // namespace vantrell
