// The files the pages load from /static/: the page script and the style sheet are compiled in;
// Chart.js is Debian's, read once from where its package puts it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

inline constexpr const char *chartJsFile = "/usr/share/javascript/chart.js/chart.min.js";

struct StaticFile {
    std::string_view content;
    const char *type;
};

// "device.js", "station.js", "style.css"; nothing for any other name.
std::optional<StaticFile> builtInFile(std::string_view name);

} // namespace vantrell
