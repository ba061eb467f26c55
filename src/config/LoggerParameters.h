// A logger's parameter set, and what one record of its memory decodes into.
#pragma once

#include "config/Tables.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vantrell {

inline constexpr const char *MISSING_READING = "-------";

struct ChannelParameters {
    int enabled = 0;
    int limitAlarm = 0;
    std::string unitText;
    std::string name;
    int rangeCode = 0;
    int decimals = 0; // -1 marks an invalid code
    std::string scaleStart;
    std::string scaleEnd;
    std::string highLimit;
    std::string lowLimit;
    // The same limits with every digit: the logger-limit check compares these, as a text too
    // wide for its column loses decimals.
    double highLimitValue = 0.0;
    double lowLimitValue = 0.0;
    double gain = 0.0;
    double offset = 0.0;
};

struct LoggerParameters {
    int loggerModel = 1; // 1, 3, 4 or 5
    int samplingCode = 0;
    std::string memoryPointer; // five digits: records stored + 1
    std::string loggerSerial;
    // Channel c as the logger numbers them, 1..4.
    ChannelParameters &channel(int c) { return channels.at(std::size_t(c - 1)); }
    const ChannelParameters &channel(int c) const { return channels.at(std::size_t(c - 1)); }

    std::array<ChannelParameters, 4> channels{};
};

// One decoded memory record: DD-MM-YY, HH:MM:SS and four value texts (channels 1..4). Beside each
// text the decoder keeps the reading with every digit ("+12346." at one decimal stands for
// 12345.8): the alarms compare that. A text read back from a file has no such value, unless it
// is one this session's transfer wrote.
struct Reading {
    std::string date;
    std::string time;
    OneBased<std::string, 4> values{};
    OneBased<std::optional<double>, 4> fullValues{};
};

} // namespace vantrell
