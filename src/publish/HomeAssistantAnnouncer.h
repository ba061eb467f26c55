// Keeps the Home Assistant configs on the broker in step with the device table and the journal:
// announces what is new or changed, and takes back (an empty retained payload) the configs of
// devices and loggers the table no longer names. What the broker holds from earlier runs it
// learns from the configs themselves, subscribed to at every connection: the broker's retained
// messages are the one record that cannot disagree with the broker, where a table in the journal
// would outlive a broker whose store was wiped, or a journal that was replaced.
#pragma once

#include "config/ConfFile.h"
#include "publish/HomeAssistantConfigs.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vantrell {

class HomeAssistantAnnouncer {
public:
    // The device table is read from `configDir`, as the operator last saved it.
    HomeAssistantAnnouncer(const MqttSettings &settings, std::filesystem::path configDir);

    // A new connection: everything goes again.
    void connected();
    // The configs to publish now. Nothing when the device table or the journal cannot be read,
    // and `problem` says why: the broker keeps what it has.
    std::vector<RetainedConfig> changes(Journal &journal, std::string &problem);
    // A config the broker passed on: one of this station's that is no longer wanted is given
    // back to be taken back.
    std::optional<RetainedConfig> heard(const RetainedConfig &config);
    // The broker took it.
    void sent(const RetainedConfig &config);

private:
    std::string readDevices(Journal &journal, std::vector<AnnouncedDevice> &devices) const;
    bool takenBack(const std::string &topic) const;

    const MqttSettings &settings_;
    std::filesystem::path configDir_;
    std::optional<std::map<std::string, std::string>> wanted_; // unknown until read
    std::map<std::string, std::string> sent_;                  // on this connection
    std::set<std::string> onBroker_; // this station's configs the broker holds
};

} // namespace vantrell
