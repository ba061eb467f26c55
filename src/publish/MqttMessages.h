// What the station tells its MQTT broker, as topics and JSON payloads: one message per reading,
// a retained status per device, and the station's retained state. Pure text, so the consumers'
// contract is tested without a broker.
#pragma once

#include "journal/Journal.h"

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace vantrell {

namespace mqtt {
inline constexpr const char *online = "online";
inline constexpr const char *offline = "offline";
} // namespace mqtt

// `<topic>/<station>`, the root of everything one station publishes; both are valid topic text
// as the settings hold them (readConfFile sees to that).
std::string stationTopic(const std::string &topic, const std::string &station);
// `<root>/<serial>/<channel>`, the serial as a topic level (percent-encoded): whatever a logger
// answers, its readings get a topic the broker takes.
std::string readingTopic(const std::string &root, const UnpublishedReading &reading);
// The same for a channel of a logger, whatever reading.
std::string channelTopic(const std::string &root, const std::string &serial, int channel);
std::string deviceStatusTopic(const std::string &root, int device);
std::string stateTopic(const std::string &root);

// {"time": UTC, "local": local with offset, "value": number or null, "unit", "name", "device"}.
std::string readingPayload(const UnpublishedReading &reading);
// {"letter", "words", "last_good_read", "missed_times", "last_session"}; times in UTC, null when
// there is none.
std::string deviceStatusPayload(const DeviceJournal &device);
// A payload as text; units and names come from loggers, and a byte that is no UTF-8 must not
// cost the message.
std::string payloadText(const nlohmann::ordered_json &json);

} // namespace vantrell
