// A long transfer logs one line per block, an alarm check one per channel and reading: the page
// shows each run of alike lines as one, with the count, as the daemon's own log collapses repeats.
#pragma once

#include <string>
#include <vector>

namespace vantrell {

// Lines are alike when they differ at most in their last number. A run of them becomes
// "Saving block no. 1 … 240 (240 lines)", or "text (3 lines)" when they are the same.
std::vector<std::string> foldLog(const std::vector<std::string> &lines);

} // namespace vantrell
