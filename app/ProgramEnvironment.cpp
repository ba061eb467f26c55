#include "ProgramEnvironment.h"

#include "config/ComPorts.h"

#include <csignal>

namespace vantrell {

std::atomic<bool> stopSignal{false};

void stopOnTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = [](int) { stopSignal = true; };
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

std::filesystem::path programFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path(".") : exe.parent_path();
}

std::function<std::filesystem::path(int)> deviceMap(const std::filesystem::path &configDir) {
    return [configDir](int number) { return portDevicePath(configDir, number); };
}

} // namespace vantrell
