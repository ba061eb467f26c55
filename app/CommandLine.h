// What the daemon and the desktop program answer before they do anything: --help, which ends
// with the folder the program would use and why, and --version; and how they read numbers.
#pragma once

#include "ConfigFolder.h"

#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

enum class Parsed { run, help, version, refused };

void printHelp(std::string_view usage, const FolderChoice &folder);
void printVersion(std::string_view program);

// `text` as a whole number from `low` to `high`; nothing for anything else.
std::optional<int> wholeNumber(const std::string &text, int low, int high);

} // namespace vantrell
