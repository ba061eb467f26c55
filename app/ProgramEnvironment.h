// What the desktop program and vantrelld both take from the system around them: the signals
// that stop them or make them read their configuration again, and the map from port numbers to
// device paths. (Which configuration folder they use is ConfigFolder's rule.)
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>

namespace vantrell {

// Set from a signal handler; every wait of the station notices it within a fraction of a second.
extern std::atomic<bool> stopSignal;
void stopOnTerminationSignals();
// Set by SIGHUP: the cycle reads its configuration again between its steps, never in a session.
extern std::atomic<bool> reloadSignal;
void reloadOnHangup();

// Port number N to its device, as comports.xml in the configuration folder says.
std::function<std::filesystem::path(int)> deviceMap(const std::filesystem::path &configDir);

// Who may open `device` and who this process is, as the system says: "the device is crw-rw----,
// owned by root, group dialout; the station runs as vantrell, in the groups vantrell".
std::string whoMayOpen(const std::filesystem::path &device);

} // namespace vantrell
