// Home Assistant's MQTT discovery: a retained config message per sensor tells it what the
// station's topics hold, so that each logger's channels and each device's status appear as
// sensors without a line of its configuration. Pure text, like MqttMessages.
#pragma once

#include "journal/Journal.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

namespace homeassistant {
// Where the station's configs are among everyone else's: an object id is a single topic level,
// so no narrower filter finds them.
inline constexpr const char *configFilter = "homeassistant/sensor/+/config";
} // namespace homeassistant

// A device of the table, and the channels the journal knows of the loggers its record names.
struct AnnouncedDevice {
    int device = 0;
    std::string description;
    std::vector<ChannelOfDevice> channels;
};

// A config message; an empty payload takes a config back.
struct RetainedConfig {
    std::string topic;
    std::string payload;
};

// Config topic -> payload of every sensor: a status per device, a sensor per channel of its
// loggers. `topic` and `station` as the settings hold them.
std::map<std::string, std::string> discoveryConfigs(const std::string &topic,
                                                    const std::string &station,
                                                    const std::vector<AnnouncedDevice> &devices);

// Whether `config` is one this station announced: its object id starts with the station's, and
// its state topic lies under the station's root (another station's name may begin with this
// one's, and map to the same object id).
bool announcedByStation(const std::string &topic, const std::string &station,
                        const RetainedConfig &config);

// Home Assistant's object ids take [a-zA-Z0-9_-]; every other byte becomes "_".
std::string objectId(std::string_view text);

} // namespace vantrell
