#include "sim/LoggerDescription.h"

#include "general/Text.h"

#include <algorithm>
#include <cmath>

namespace vantrell::sim {

int modelOf(unsigned char modelByte) {
    int x = modelByte;
    if (x > 7)
        x -= 8;
    if (x > 5 || x == 0)
        x = 1;
    if (x == 2)
        x = 3;
    return x;
}

std::size_t recordLengthOf(int model) {
    return model == 1 || model == 4 ? 8 : 16;
}

static int rangeOf(char code) {
    if (code == 'A')
        return 10;
    return code >= '0' && code <= '9' ? code - '0' : 0;
}

Scaling scalingOf(const LoggerDescription &logger, int channel) {
    const int model = modelOf(logger.modelByte);
    if (model == 4 || model == 5) {
        // Temperature in tenths above -20 degrees; the second channel counts as it stands.
        return channel == 1 ? Scaling{0.1, -20.0} : Scaling{1.0, 0.0};
    }
    const auto &c = logger.channels[std::size_t(channel - 1)];
    const double s = val(c.scaleStart);
    const double e = val(c.scaleEnd);
    switch (rangeOf(c.rangeCode)) {
    case 1:
    case 4:
    case 7:
    case 9:
        return {(e - s) / 20000.0, s};
    case 2:
    case 5:
    case 8: {
        const double gain = (e - s) / 20000.0;
        return {gain, s + 10000.0 * gain};
    }
    case 10: {
        const double gain = (e - s) / 16000.0;
        return {gain, s - 4000.0 * gain};
    }
    default: {
        const double gain = (e - s) / 40000.0;
        return {gain, s + 20000.0 * gain};
    }
    }
}

std::uint16_t signMagnitudeWord(long long raw) {
    const auto magnitude = static_cast<std::uint16_t>(std::min<long long>(std::llabs(raw), 0x7FFF));
    return raw >= 0 ? static_cast<std::uint16_t>(0x8000u | magnitude) : magnitude;
}

static long long rawFromEngineering(double value, Scaling scaling) {
    // A channel whose scale starts and ends at the same value maps every raw reading to it.
    if (scaling.gain == 0.0)
        return 0;
    const double raw = (value - scaling.offset) / scaling.gain;
    return std::llround(std::clamp(raw, -1.0e9, 1.0e9));
}

std::uint16_t wordFor(const ChannelValue &value, const LoggerDescription &logger, int channel) {
    switch (value.kind) {
    case ChannelValue::Kind::word:
        return static_cast<std::uint16_t>(value.number);
    case ChannelValue::Kind::raw:
        return signMagnitudeWord(std::llround(value.number));
    case ChannelValue::Kind::engineering:
        break;
    }
    return signMagnitudeWord(rawFromEngineering(value.number, scalingOf(logger, channel)));
}

std::uint32_t rainCounterFor(const ChannelValue &value) {
    return static_cast<std::uint32_t>(std::clamp(std::llround(value.number), 0LL, 0xFFFFFFFFLL));
}

static std::array<ChannelValue, 4> rampAt(std::size_t index) {
    const auto i = static_cast<long long>(index);
    return {ChannelValue::raw(1000 + (i * 7) % 2000), ChannelValue::raw(i % 20000),
            ChannelValue::raw(-(i * 3) % 5000), ChannelValue::raw(20000 - (i * 11) % 20001)};
}

std::vector<MemoryRecord> makeMemory(std::size_t count, LocalDateTime first, int intervalSeconds,
                                     const ValuePattern &pattern) {
    std::vector<MemoryRecord> memory;
    memory.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto time = first.plusSeconds(static_cast<long long>(i) * intervalSeconds);
        memory.push_back({false, time, pattern ? pattern(i) : rampAt(i)});
    }
    return memory;
}

} // namespace vantrell::sim
