#include "config/ComPorts.h"

#include "config/ConfigFiles.h"
#include "config/XMLData.h"
#include "general/Text.h"

#include <string>

namespace vantrell {

namespace {
// The port lists offer ports 1 to 255.
constexpr RecordLayout comPortsLayout{std::pair{1, 255}, std::nullopt, false};
} // namespace

std::filesystem::path portDevicePath(const std::filesystem::path &configDir, int portNumber,
                                     ConfigError *problem) {
    const std::filesystem::path fallback = "/dev/ttyS" + std::to_string(portNumber - 1);
    XMLData document(configDir / files::comPorts, comPortsLayout);
    ConfigError error = document.load();
    if (problem)
        *problem = error;
    if (error)
        return fallback;
    const XmlRecord *record = document.firstRecord(portNumber);
    const std::string device = record ? trim(record->value(0)) : std::string();
    return device.empty() ? fallback : std::filesystem::path(device);
}

ConfigError storePortDevice(const std::filesystem::path &configDir, int portNumber,
                            const std::filesystem::path &device) {
    XMLData document(configDir / files::comPorts, comPortsLayout);
    if (ConfigError error = document.load())
        return error;
    document.recordAt(portNumber).setValue(0, device.string());
    return document.save();
}

} // namespace vantrell
