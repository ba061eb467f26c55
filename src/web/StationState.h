// What the page and its API tell beyond `vantrelld status`: each device's health and next time,
// the newest readings against their channels' limits, the station's own state (broker, backlogs,
// journal, version) and its log folded. The page and /api/status read it from here alike, so
// that what the page script updates from the API is what the page showed first.
#pragma once

#include "config/SetupFiles.h"
#include "cycle/DeviceHealth.h"
#include "cycle/StatusReport.h"

#include <nlohmann/json.hpp>

#include <array>
#include <map>
#include <optional>
#include <string>

namespace vantrell {

using DeviceLimits = std::array<LoggerLimits, maxLoggers>;

struct StationState {
    std::string broker; // "connected", "not connected", "off"
    std::string version;
    std::map<int, DeviceLimits> limits; // of the devices with readings; none: no setup file
};

// "good" ... "never" of DeviceHealth, and "unknown" while the journal cannot tell.
inline constexpr const char *unknownHealth = "unknown";

struct HealthShown {
    std::string name;  // the row's data-health
    std::string words; // what the row says of it
};
HealthShown healthShown(const JournalView &view, int device);

// The moment of the device's next schedule time (empty: none set, or the device is inactive).
std::string nextTimeOf(const StationSnapshot &snapshot, const DeviceSnapshot &device);

// The limits of a reading's channel: its logger is found among the device's by serial number.
ChannelLimits limitsOf(const StationState &state, const DeviceSnapshot &device,
                       const LatestReading &reading);
// "", "below limit", "above limit".
const char *limitWords(const ChannelLimits &limits, const std::optional<double> &value);
// The shortest text that reads back as the value; "-" for none.
std::string numberText(const std::optional<double> &value);

// Adds "time", "time_zone", "next_time", "communicating", "station" (version, broker, mqtt_waiting)
// and "log" to the status object, and to each of its "devices" "health", "health_words" and
// "next_time", and to each of its "latest" readings "minimum", "maximum" and "limit".
void addStationState(nlohmann::ordered_json &status, const StationSnapshot &snapshot,
                     const JournalView &view, const StationState &state);

} // namespace vantrell
