#include "publish/HomeAssistantConfigs.h"

#include "publish/MqttMessages.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace vantrell {

namespace {
using Json = nlohmann::ordered_json;

constexpr const char *discoveryPrefix = "homeassistant/sensor/";
constexpr const char *configLevel = "/config";
constexpr const char *idPrefix = "vantrell_";
constexpr const char *readingValue = "{{ value_json.value }}";
constexpr const char *statusLetter = "{{ value_json.letter }}";
constexpr const char *measurement = "measurement";
constexpr const char *stationDevicePrefix = "Vantrell ";
constexpr const char *devicePrefix = "Device ";
constexpr const char *statusSuffix = " status";
constexpr const char *channelPrefix = "Channel ";

// ASCII only, whatever the locale.
bool allowedInId(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

std::string stationId(const std::string &station) {
    return objectId(idPrefix + station);
}

std::string configTopic(const std::string &id) {
    return discoveryPrefix + id + configLevel;
}

// A sensor is unavailable while the station is offline (its last will included).
Json sensor(const std::string &name, const std::string &id, const std::string &topic,
            const char *valueTemplate, const std::string &root) {
    return {{"name", name},
            {"unique_id", id},
            {"state_topic", topic},
            {"value_template", valueTemplate},
            {"availability_topic", stateTopic(root)},
            {"payload_available", mqtt::online},
            {"payload_not_available", mqtt::offline}};
}

// Its letter as the state, the rest of its payload as attributes; the station is its device.
Json statusSensor(const AnnouncedDevice &device, const std::string &station,
                  const std::string &root) {
    const std::string number = std::to_string(device.device);
    const std::string name =
        device.description.empty() ? devicePrefix + number : device.description;
    const std::string topic = deviceStatusTopic(root, device.device);
    Json config = sensor(name + statusSuffix, stationId(station) + "_device_" + number + "_status",
                         topic, statusLetter, root);
    config["json_attributes_topic"] = topic;
    config["device"] = {{"identifiers", Json::array({stationId(station)})},
                        {"name", stationDevicePrefix + station}};
    return config;
}

// Each logger is a device of its own, reached through the station.
Json channelSensor(const AnnouncedDevice &device, const ChannelOfDevice &channel,
                   const std::string &station, const std::string &root) {
    const std::string loggerId = stationId(station) + "_" + objectId(channel.serial);
    const std::string name =
        channel.name.empty() ? channelPrefix + std::to_string(channel.channel) : channel.name;
    Json config = sensor(name, loggerId + "_" + std::to_string(channel.channel),
                         channelTopic(root, channel.serial, channel.channel), readingValue, root);
    if (!channel.unit.empty())
        config["unit_of_measurement"] = channel.unit;
    config["state_class"] = measurement;
    config["device"] = {{"identifiers", Json::array({loggerId})},
                        {"serial_number", channel.serial},
                        {"name", device.description.empty()
                                     ? channel.serial
                                     : device.description + " " + channel.serial},
                        {"via_device", stationId(station)}};
    return config;
}
} // namespace

std::map<std::string, std::string> discoveryConfigs(const std::string &topic,
                                                    const std::string &station,
                                                    const std::vector<AnnouncedDevice> &devices) {
    const std::string root = stationTopic(topic, station);
    std::map<std::string, std::string> configs;
    const auto add = [&configs](const Json &config) {
        configs[configTopic(config["unique_id"].get<std::string>())] = payloadText(config);
    };
    for (const AnnouncedDevice &device : devices) {
        add(statusSensor(device, station, root));
        for (const ChannelOfDevice &channel : device.channels)
            add(channelSensor(device, channel, station, root));
    }
    return configs;
}

bool announcedByStation(const std::string &topic, const std::string &station,
                        const RetainedConfig &config) {
    if (!config.topic.starts_with(discoveryPrefix + stationId(station) + "_"))
        return false;
    const Json payload = Json::parse(config.payload, nullptr, false);
    if (!payload.is_object())
        return false;
    const auto state = payload.find("state_topic");
    return state != payload.end() && state->is_string() &&
           state->get<std::string>().starts_with(stationTopic(topic, station) + "/");
}

std::string objectId(std::string_view text) {
    std::string id(text);
    std::replace_if(
        id.begin(), id.end(), [](char c) { return !allowedInId(c); }, '_');
    return id;
}

} // namespace vantrell
