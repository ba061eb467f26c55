#include "config/ConfigError.h"

namespace vantrell {

std::string describe(const ConfigError &error) {
    if (!error.failed())
        return {};
    std::string text = error.file.string() + ": " + error.what;
    if (error.changeKept)
        text += "; not saved, the change is kept in memory only";
    return text;
}

} // namespace vantrell
