// What the daemon and the desktop program answer before they do anything: --help, which ends
// with the folder the program would use and why, and --version.
#pragma once

#include "ConfigFolder.h"

#include <string_view>

namespace vantrell {

enum class Parsed { run, help, version, refused };

void printHelp(std::string_view usage, const FolderChoice &folder);
void printVersion(std::string_view program);

} // namespace vantrell
