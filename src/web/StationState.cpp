#include "StationState.h"

#include "journal/LocalTime.h"
#include "web/LogFolding.h"

#include <algorithm>
#include <charconv>

namespace vantrell {

namespace {

constexpr const char *noJournalWords = "no journal";
constexpr const char *belowLimit = "below limit";
constexpr const char *aboveLimit = "above limit";

nlohmann::ordered_json numberOrNull(const std::optional<double> &value) {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json textOrNull(const std::string &text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

// "08:00" on the day of `today` `days` later, as a moment with its offset.
std::string momentOf(const LocalDateTime &today, const std::string &time, int days) {
    LocalDateTime at = today;
    at.hour = std::stoi(time.substr(0, 2));
    at.minute = std::stoi(time.substr(3, 2));
    at.second = 0;
    const ReadingTime moment = toUtc(at.plusSeconds(days * 86400LL));
    return isoLocal(moment.utc, moment.offsetSeconds);
}

} // namespace

HealthShown healthShown(const JournalView &view, int device) {
    const auto found = view.devices.find(device);
    if (view.state != JournalView::State::ok || found == view.devices.end())
        return {unknownHealth, noJournalWords};
    const DeviceHealth health = healthOf(found->second);
    return {nameOf(health), wordsOf(health, found->second)};
}

// The first of the device's times today that has no done mark yet; after the last, tomorrow's
// first.
std::string nextTimeOf(const StationSnapshot &s, const DeviceSnapshot &d) {
    if (!d.active)
        return {};
    std::string first;
    for (std::size_t t = 0; t < s.times.size(); ++t) {
        const std::string &time = s.times[t];
        if (!d.scheduled[t] || time.size() != 5)
            continue;
        if (first.empty())
            first = time;
        if (d.marks[t].empty())
            return momentOf(s.localNow, time, 0);
    }
    return first.empty() ? std::string() : momentOf(s.localNow, first, 1);
}

ChannelLimits limitsOf(const StationState &state, const DeviceSnapshot &device,
                       const LatestReading &reading) {
    const auto limits = state.limits.find(device.number);
    const auto logger = std::find(device.serials.begin(), device.serials.end(), reading.serial);
    if (limits == state.limits.end() || logger == device.serials.end() || reading.channel < 1 ||
        reading.channel > channelsPerLogger)
        return {};
    return limits
        ->second[std::size_t(logger - device.serials.begin())][std::size_t(reading.channel - 1)];
}

const char *limitWords(const ChannelLimits &limits, const std::optional<double> &value) {
    if (!value)
        return "";
    switch (sideOf(limits, *value)) {
    case LimitSide::below:
        return belowLimit;
    case LimitSide::above:
        return aboveLimit;
    case LimitSide::within:
        break;
    }
    return "";
}

std::string numberText(const std::optional<double> &value) {
    if (!value)
        return "-";
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, *value).ptr;
    return {text, end};
}

void addStationState(nlohmann::ordered_json &status, const StationSnapshot &snapshot,
                     const JournalView &view, const StationState &state) {
    status["time"] = snapshot.localTime;
    status["time_zone"] = snapshot.timeZone;
    status["next_time"] = textOrNull(snapshot.nextTime);
    status["communicating"] = snapshot.communicating;
    status["station"] = {{"version", state.version},
                         {"broker", state.broker},
                         {"mqtt_waiting", view.mqttUnpublished
                                              ? nlohmann::ordered_json(*view.mqttUnpublished)
                                              : nlohmann::ordered_json(nullptr)}};
    for (nlohmann::ordered_json &json : status["devices"]) {
        const int number = json["device"].get<int>();
        const auto device =
            std::find_if(snapshot.devices.begin(), snapshot.devices.end(),
                         [number](const DeviceSnapshot &d) { return d.number == number; });
        const HealthShown health = healthShown(view, number);
        json["health"] = health.name;
        json["health_words"] = health.words;
        json["next_time"] = textOrNull(nextTimeOf(snapshot, *device));
        const auto latest = view.latest.find(number);
        if (!json.contains("latest") || latest == view.latest.end())
            continue;
        for (nlohmann::ordered_json &shown : json["latest"]) {
            const auto reading = std::find_if(
                latest->second.begin(), latest->second.end(), [&shown](const LatestReading &r) {
                    return r.serial == shown["serial"] && r.channel == shown["channel"];
                });
            if (reading == latest->second.end())
                continue;
            const ChannelLimits limits = limitsOf(state, *device, *reading);
            shown["minimum"] = numberOrNull(limits.minimum);
            shown["maximum"] = numberOrNull(limits.maximum);
            shown["limit"] = textOrNull(limitWords(limits, reading->value));
        }
    }
    status["log"] = foldLog(snapshot.logLines);
}

} // namespace vantrell
