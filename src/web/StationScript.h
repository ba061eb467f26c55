// The script both pages run to keep themselves up to date from /api/status.
#pragma once

#include <string_view>

namespace vantrell {

std::string_view stationScript();

} // namespace vantrell
