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

std::atomic<bool> reloadSignal{false};

void reloadOnHangup() {
    struct sigaction action {};
    action.sa_handler = [](int) { reloadSignal = true; };
    sigemptyset(&action.sa_mask);
    sigaction(SIGHUP, &action, nullptr);
}

std::function<std::filesystem::path(int)> deviceMap(const std::filesystem::path &configDir) {
    return [configDir](int number) { return portDevicePath(configDir, number); };
}

} // namespace vantrell
