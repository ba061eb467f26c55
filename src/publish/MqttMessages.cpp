#include "publish/MqttMessages.h"

#include "config/SessionStatus.h"
#include "general/Text.h"

#include <nlohmann/json.hpp>

namespace vantrell {

namespace {
using Json = nlohmann::ordered_json;

Json timeOrNull(const std::optional<UtcSeconds> &utc) {
    return utc ? Json(isoUtc(*utc)) : Json(nullptr);
}
} // namespace

std::string payloadText(const Json &json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string stationTopic(const std::string &topic, const std::string &station) {
    return topic + "/" + station;
}

std::string readingTopic(const std::string &root, const UnpublishedReading &reading) {
    return channelTopic(root, reading.serial, reading.channel);
}

std::string channelTopic(const std::string &root, const std::string &serial, int channel) {
    return root + "/" + topicLevel(serial) + "/" + std::to_string(channel);
}

std::string deviceStatusTopic(const std::string &root, int device) {
    return root + "/device/" + std::to_string(device) + "/status";
}

std::string stateTopic(const std::string &root) {
    return root + "/state";
}

// Written out field by field: a JSON object per reading cost more than its sending. The library
// still writes the value and the texts, so that they read exactly as in the other payloads.
std::string readingPayload(const UnpublishedReading &reading) {
    std::string payload;
    payload.reserve(160);
    payload += R"({"time":")";
    payload += isoUtc(reading.utc);
    payload += R"(","local":")";
    payload += isoLocal(reading.utc, reading.offsetSeconds);
    payload += R"(","value":)";
    payload += reading.value ? Json(*reading.value).dump() : "null";
    payload += R"(,"unit":)";
    payload += payloadText(reading.unit);
    payload += R"(,"name":)";
    payload += payloadText(reading.name);
    payload += R"(,"device":)";
    payload += std::to_string(reading.device);
    payload += '}';
    return payload;
}

std::string deviceStatusPayload(const DeviceJournal &device) {
    std::string letter;
    std::optional<UtcSeconds> lastSession;
    if (device.lastSession) {
        letter = device.lastSession->letter;
        lastSession = device.lastSession->ended;
    }
    const auto status = statusOfMark(letter);
    const Json payload{{"letter", letter},
                       {"words", status ? std::string(wordsOf(*status)) : ""},
                       {"last_good_read", timeOrNull(device.lastGoodRead)},
                       {"missed_times", device.missedTimes},
                       {"last_session", timeOrNull(lastSession)}};
    return payloadText(payload);
}

} // namespace vantrell
