// What the desktop program and vantrelld both take from the system around them: the folder
// they were started from, the stop signal, and the map from port numbers to device paths.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>

namespace vantrell {

// The folder of the running program: where the configuration lives unless told otherwise.
std::filesystem::path programFolder();

// Set from a signal handler; every wait of the station notices it within a fraction of a second.
extern std::atomic<bool> stopSignal;
void stopOnTerminationSignals();

// Port number N to its device, as comports.xml in the configuration folder says.
std::function<std::filesystem::path(int)> deviceMap(const std::filesystem::path &configDir);

} // namespace vantrell
