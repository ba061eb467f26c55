#include "CommandLine.h"

#include <exception>
#include <iostream>

namespace vantrell {

void printHelp(std::string_view usage, const FolderChoice &folder) {
    std::cout << usage << "\nWithout --config-dir this one would use " << folder.folder.string()
              << " (" << folder.reason << ").\n";
}

std::optional<int> wholeNumber(const std::string &text, int low, int high) {
    try {
        std::size_t used = 0;
        const int n = std::stoi(text, &used);
        if (used == text.size() && n >= low && n <= high)
            return n;
    } catch (const std::exception &) {
    }
    return std::nullopt;
}

void printVersion(std::string_view program) {
    std::cout << program << " " << VANTRELL_VERSION << "\n";
}

} // namespace vantrell
