#include "publish/HomeAssistantAnnouncer.h"

#include "config/DeviceFile.h"
#include "general/Text.h"

#include <algorithm>
#include <utility>

namespace vantrell {

HomeAssistantAnnouncer::HomeAssistantAnnouncer(const MqttSettings &settings,
                                               std::filesystem::path configDir)
    : settings_(settings), configDir_(std::move(configDir)) {}

void HomeAssistantAnnouncer::connected() {
    sent_.clear();
}

std::vector<RetainedConfig> HomeAssistantAnnouncer::changes(Journal &journal,
                                                            std::string &problem) {
    std::vector<AnnouncedDevice> devices;
    problem = readDevices(journal, devices);
    if (!problem.empty())
        return {};
    wanted_ = discoveryConfigs(settings_.topic, settings_.station, devices);
    std::vector<RetainedConfig> changed;
    for (const auto &[topic, payload] : *wanted_)
        if (const auto it = sent_.find(topic); it == sent_.end() || it->second != payload)
            changed.push_back({topic, payload});
    for (const std::string &topic : onBroker_)
        if (!wanted_->contains(topic) && !takenBack(topic))
            changed.push_back({topic, ""});
    return changed;
}

std::optional<RetainedConfig> HomeAssistantAnnouncer::heard(const RetainedConfig &config) {
    if (config.payload.empty()) {
        onBroker_.erase(config.topic);
        return std::nullopt;
    }
    if (!announcedByStation(settings_.topic, settings_.station, config))
        return std::nullopt;
    onBroker_.insert(config.topic);
    if (!wanted_ || wanted_->contains(config.topic) || takenBack(config.topic))
        return std::nullopt;
    return RetainedConfig{config.topic, ""};
}

void HomeAssistantAnnouncer::sent(const RetainedConfig &config) {
    sent_[config.topic] = config.payload;
    if (config.payload.empty())
        onBroker_.erase(config.topic);
    else
        onBroker_.insert(config.topic);
}

// Only the loggers the record names: a logger replaced by another is no longer the device's.
std::string HomeAssistantAnnouncer::readDevices(Journal &journal,
                                                std::vector<AnnouncedDevice> &devices) const {
    DeviceTable table;
    if (const ConfigError error = readDeviceTable(configDir_, table); error.failed())
        return describe(error);
    for (int slot = 1; slot <= maxDevices; ++slot) {
        const DeviceRecord &record = table[slot];
        if (record.isFree())
            continue;
        AnnouncedDevice &device = devices.emplace_back();
        device.device = slot;
        device.description = trim(record[field::description]);
        if (auto failed = journal.channelsOfDevice(slot, device.channels))
            return failed.text;
        std::erase_if(device.channels, [&record](const ChannelOfDevice &channel) {
            for (int logger = 1; logger <= maxLoggers; ++logger)
                if (trim(record.serialNumber(logger)) == channel.serial)
                    return false;
            return true;
        });
    }
    return {};
}

bool HomeAssistantAnnouncer::takenBack(const std::string &topic) const {
    const auto it = sent_.find(topic);
    return it != sent_.end() && it->second.empty();
}

} // namespace vantrell
