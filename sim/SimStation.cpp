#include "sim/SimStation.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace vantrell::sim {

namespace {

constexpr std::string_view help =
    "  serial=TEXT        serial number, 10 characters (0001KV0126)\n"
    "  model=N            model byte 0..255: 1, 3, 4, 5 are the usual ones (3)\n"
    "  sampling=N         sampling code 0..255; 0, 1, 2 sample every 10, 20, 30 s\n"
    "                     (from the interval when it is 10, 20 or 30, else 5)\n"
    "  records=N          records in memory (0)\n"
    "  interval=S         seconds between records (600)\n"
    "  start=YYYY-MM-DDTHH:MM[:SS]  time of the first record (so that the last lies\n"
    "                     one interval before the simulator starts)\n"
    "  offset=S           logger clock minus the computer's, in seconds (0)\n"
    "  position=N         position 1..8 behind the switch (the next free one)\n"
    "  wake=C             wake-up answer: ? [ or ] (?)\n"
    "  rain=TEXT          rain factor of models 4 and 5 (0.2)\n"
    "  chN=UNIT:NAME:RANGE:DECIMALS:START:END   channel N (1..4), e.g. ch1=0:Temp:1:1:-20:80\n"
    "  enabled=BITS       channels in use, channel 1 first, e.g. 1100 (1111)\n"
    "  alarms=BITS        channels whose own limits the logger checks (0000)\n"
    "  highN=V, lowN=V    the logger's own limits of channel N, in the channel's unit\n"
    "  fault=NAME[:n]     a fault of this logger only (may be repeated)\n"
    "  seed=N             seed of the noise fault (1)\n";

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

bool readInt(std::string_view text, long long &out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && error == std::errc{} && end == text.data() + text.size();
}

bool readNumber(std::string_view text, double &out) {
    const std::string copy(text);
    char *end = nullptr;
    out = std::strtod(copy.c_str(), &end);
    return !copy.empty() && end == copy.c_str() + copy.size();
}

std::optional<LocalDateTime> readTime(std::string_view text) {
    LocalDateTime t;
    long long parts[6] = {0, 0, 0, 0, 0, 0};
    const auto dateAndTime = split(text, 'T');
    if (dateAndTime.size() != 2)
        return std::nullopt;
    const auto date = split(dateAndTime[0], '-');
    const auto time = split(dateAndTime[1], ':');
    if (date.size() != 3 || time.size() < 2 || time.size() > 3)
        return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i)
        if (!readInt(date[i], parts[i]))
            return std::nullopt;
    for (std::size_t i = 0; i < time.size(); ++i)
        if (!readInt(time[i], parts[3 + i]))
            return std::nullopt;
    t = {int(parts[0]), int(parts[1]), int(parts[2]), int(parts[3]), int(parts[4]), int(parts[5])};
    if (t.year < 2000 || t.year > 2039 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 ||
        t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    return t;
}

// The faults a logger itself can show; the others belong to the switch or to a modem in front.
bool isLoggerFault(FaultKind kind) {
    switch (kind) {
    case FaultKind::silent:
    case FaultKind::wrongWake:
    case FaultKind::emptyParameters:
    case FaultKind::cutShort:
    case FaultKind::noise:
    case FaultKind::stopsAfterRecord:
    case FaultKind::garbledRecord:
        return true;
    default:
        return false;
    }
}

bool readBits(std::string_view text, std::array<bool, 4> &bits) {
    if (text.size() != 4 || text.find_first_not_of("01") != std::string_view::npos)
        return false;
    for (std::size_t i = 0; i < 4; ++i)
        bits[i] = text[i] == '1';
    return true;
}

// The parts of a description that are only settled once every key has been read.
struct Pending {
    long long records = 0;
    long long interval = 600;
    std::optional<LocalDateTime> start;
    std::optional<long long> sampling;
};

std::string readChannel(ChannelDescription &c, std::string_view value) {
    const auto parts = split(value, ':');
    long long unit = 0;
    if (parts.size() != 6 || !readInt(parts[0], unit) || unit < 0 || unit > 999 ||
        parts[1].size() > 5 || parts[2].size() != 1 || parts[3].size() != 1 ||
        parts[4].size() > 7 || parts[5].size() > 7)
        return "a channel is UNIT:NAME:RANGE:DECIMALS:START:END, e.g. 0:Temp:1:1:-20:80";
    c.unitIndex = int(unit);
    c.name = parts[1];
    c.rangeCode = parts[2][0];
    c.decimals = parts[3][0];
    c.scaleStart = parts[4];
    c.scaleEnd = parts[5];
    return {};
}

// Channel keys end in the channel number: ch1, high2, low4.
int channelOf(std::string_view key, std::string_view prefix) {
    if (key.size() != prefix.size() + 1 || key.substr(0, prefix.size()) != prefix)
        return 0;
    const char digit = key.back();
    return digit >= '1' && digit <= '4' ? digit - '0' : 0;
}

std::string readPair(LoggerPlan &plan, Pending &pending, std::string_view key,
                     std::string_view value) {
    auto &d = plan.description;
    long long n = 0;
    double v = 0.0;
    const std::string bad = "bad value for " + std::string(key) + ": " + std::string(value);
    if (key == "serial") {
        if (value.size() != 10)
            return "serial must be 10 characters: " + std::string(value);
        d.serial = value;
    } else if (key == "model" || key == "sampling" || key == "position") {
        const long long limit = key == "position" ? 8 : 255;
        if (!readInt(value, n) || n < (key == "position" ? 1 : 0) || n > limit)
            return bad;
        if (key == "model")
            d.modelByte = static_cast<unsigned char>(n);
        else if (key == "sampling")
            pending.sampling = n;
        else
            plan.position = int(n);
    } else if (key == "records" || key == "interval") {
        if (!readInt(value, n) || n < 0 || n > 65534 || (key == "interval" && n == 0))
            return bad;
        (key == "records" ? pending.records : pending.interval) = n;
    } else if (key == "offset" || key == "seed") {
        if (!readInt(value, n) || (key == "seed" && n < 0))
            return bad;
        if (key == "offset")
            d.clockOffsetSeconds = n;
        else
            d.noiseSeed = unsigned(n);
    } else if (key == "start") {
        pending.start = readTime(value);
        if (!pending.start)
            return bad + " (YYYY-MM-DDTHH:MM[:SS], years 2000..2039)";
    } else if (key == "wake") {
        if (value != "?" && value != "[" && value != "]")
            return bad;
        d.wakeAnswer = value[0];
    } else if (key == "rain") {
        if (value.empty() || value.size() > 7)
            return bad;
        d.rainFactor = value;
    } else if (key == "enabled" || key == "alarms") {
        std::array<bool, 4> bits{};
        if (!readBits(value, bits))
            return bad + " (four 0/1 characters)";
        for (std::size_t i = 0; i < 4; ++i)
            (key == "enabled" ? d.channels[i].enabled : d.channels[i].limitAlarm) = bits[i];
    } else if (key == "fault") {
        const auto fault = parseFault(value);
        if (!fault || !isLoggerFault(fault->kind))
            return "not a logger fault: " + std::string(value);
        d.faults.push_back(*fault);
    } else if (int ch = channelOf(key, "ch"); ch != 0) {
        return readChannel(d.channels[std::size_t(ch - 1)], value);
    } else if (int hi = channelOf(key, "high"); hi != 0) {
        if (!readNumber(value, v))
            return bad;
        d.channels[std::size_t(hi - 1)].highLimit = ChannelValue::engineering(v);
    } else if (int lo = channelOf(key, "low"); lo != 0) {
        if (!readNumber(value, v))
            return bad;
        d.channels[std::size_t(lo - 1)].lowLimit = ChannelValue::engineering(v);
    } else {
        return "unknown key: " + std::string(key);
    }
    return {};
}

unsigned char samplingFor(long long interval) {
    switch (interval) {
    case 10:
        return 0;
    case 20:
        return 1;
    case 30:
        return 2;
    default:
        return 5;
    }
}

} // namespace

std::string_view loggerKeysHelp() {
    return help;
}

LoggerPlanResult readLoggerText(std::string_view text, const LocalDateTime &now) {
    LoggerPlan plan;
    Pending pending;
    for (const auto pair : split(text, ',')) {
        const auto equals = pair.find('=');
        if (equals == std::string_view::npos)
            return {std::nullopt, "expected key=value: " + std::string(pair)};
        const std::string error =
            readPair(plan, pending, pair.substr(0, equals), pair.substr(equals + 1));
        if (!error.empty())
            return {std::nullopt, error};
    }
    auto &d = plan.description;
    d.samplingCode =
        static_cast<unsigned char>(pending.sampling.value_or(samplingFor(pending.interval)));
    const LocalDateTime first =
        pending.start.value_or(now.plusSeconds(-pending.records * pending.interval));
    d.memory = makeMemory(std::size_t(pending.records), first, int(pending.interval));
    return {plan, {}};
}

std::string completePlan(StationPlan &plan) {
    if (plan.loggers.empty())
        return "no logger described";
    if (!plan.withSwitch && plan.loggers.size() > 1)
        return "more than one logger needs a switch (--switch)";
    std::array<bool, LineSwitch::positions + 1> taken{};
    for (const auto &logger : plan.loggers) {
        if (taken[std::size_t(logger.position)] && logger.position != 0)
            return "two loggers at position " + std::to_string(logger.position);
        taken[std::size_t(logger.position)] = true;
    }
    for (auto &logger : plan.loggers) {
        if (logger.position != 0)
            continue;
        const auto free = std::find(taken.begin() + 1, taken.end(), false);
        if (free == taken.end())
            return "more than eight loggers";
        logger.position = int(free - taken.begin());
        *free = true;
    }
    return {};
}

SimStation::SimStation(World &world, const StationPlan &plan) {
    std::vector<Fault> switchFaults;
    std::vector<Fault> loggerFaults;
    for (const auto &fault : plan.faults) {
        if (isSwitchFault(fault.kind))
            switchFaults.push_back(fault);
        else if (isLoggerFault(fault.kind))
            loggerFaults.push_back(fault);
    }
    if (plan.withSwitch)
        switch_ = std::make_unique<LineSwitch>(world, switchFaults);
    for (const auto &logger : plan.loggers) {
        LoggerDescription d = logger.description;
        d.faults.insert(d.faults.end(), loggerFaults.begin(), loggerFaults.end());
        Logger &added = loggers_.emplace_back(world, std::move(d));
        positions_.push_back(logger.position);
        if (switch_)
            switch_->place(logger.position, added);
    }
}

Device &SimStation::front() {
    if (switch_)
        return *switch_;
    return loggers_.front();
}

Logger *SimStation::loggerAt(int position) {
    for (std::size_t i = 0; i < positions_.size(); ++i)
        if (positions_[i] == position)
            return &loggers_[i];
    return nullptr;
}

std::vector<int> SimStation::positions() const {
    return positions_;
}

} // namespace vantrell::sim
