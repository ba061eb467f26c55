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

std::string stationTopic(const std::string &topic, const std::string &station) {
    return topic + "/" + station;
}

std::string readingTopic(const std::string &root, const UnpublishedReading &reading) {
    return root + "/" + reading.serial + "/" + std::to_string(reading.channel);
}

std::string deviceStatusTopic(const std::string &root, int device) {
    return root + "/device/" + std::to_string(device) + "/status";
}

std::string stateTopic(const std::string &root) {
    return root + "/state";
}

std::string readingPayload(const UnpublishedReading &reading) {
    const Json payload{{"time", isoUtc(reading.utc)},
                       {"local", isoLocal(reading.utc, reading.offsetSeconds)},
                       {"value", reading.value ? Json(*reading.value) : Json(nullptr)},
                       {"unit", reading.unit},
                       {"name", reading.name},
                       {"device", reading.device}};
    // Units and names come from loggers; a byte that is no UTF-8 must not cost the reading.
    return payload.dump(-1, ' ', false, Json::error_handler_t::replace);
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
                       {"words", status ? trim(std::string(reportTextOf(*status))) : ""},
                       {"last_good_read", timeOrNull(device.lastGoodRead)},
                       {"missed_times", device.missedTimes},
                       {"last_session", timeOrNull(lastSession)}};
    return payload.dump(-1, ' ', false, Json::error_handler_t::replace);
}

} // namespace vantrell
