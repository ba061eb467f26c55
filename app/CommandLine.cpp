#include "CommandLine.h"

#include <iostream>

namespace vantrell {

void printHelp(std::string_view usage, const FolderChoice &folder) {
    std::cout << usage << "\nWithout --config-dir this one would use " << folder.folder.string()
              << " (" << folder.reason << ").\n";
}

void printVersion(std::string_view program) {
    std::cout << program << " " << VANTRELL_VERSION << "\n";
}

} // namespace vantrell
