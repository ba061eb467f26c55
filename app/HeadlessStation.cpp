#include "HeadlessStation.h"

#include "config/ComPorts.h"

#include <unistd.h>

namespace vantrell {

std::filesystem::path programFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path() : exe.parent_path();
}

HeadlessStation::HeadlessStation(const std::filesystem::path &configDir, bool logIo)
    : realPort_([configDir](int number) { return portDevicePath(configDir, number); }),
      port_(
          realPort_, [this](const std::string &line) { progress_.log("line", line); }, logIo),
      station_({clock_, pump_, port_, progress_, dialogs_}, configDir) {}

} // namespace vantrell
