// Decoding of the parameter block and the value-text rules: pure functions of their arguments,
// but for readParameters, which asks the line.
#include "loggerdata/Conversions.h"

#include "general/Codepage.h"
#include "general/Text.h"
#include "link/Serial.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace vantrell {

namespace {

// The parameter block, offsets 0-based:
//   0 model, 2 limit-alarm bits, 4 sampling code, 5-6 memory pointer (high byte first),
//   14 channel-enable bits, 16-31 limits (channel i: high word, low word), 33-140 four channel
//   records of 27 characters, 141-150 serial number.
namespace block {
constexpr Field model{0, 1};
constexpr Field limitAlarmBits{2, 1};
constexpr Field samplingCode{4, 1};
constexpr Field memoryPointer{5, 2};
constexpr Field enableBits{14, 1};
constexpr Field limits{16, 16};
constexpr Field channelRecords{33, 108};
constexpr Field serial{141, 10};
constexpr std::size_t channelRecordLength = 27;
constexpr std::size_t limitPairLength = 4;
} // namespace block

// A channel record, offsets 0-based within the record:
//   uuuNNNNNRDsssssssEEEEEEE---   (unit index, name, range code, decimals, scale start, end)
namespace channelRecord {
constexpr Field unitIndex{0, 3};
constexpr Field name{3, 5};
constexpr Field rangeCode{8, 1};
constexpr Field decimals{9, 1};
constexpr Field scaleStart{10, 7};
constexpr Field scaleEnd{17, 7};
constexpr Field rainFactor = scaleStart; // record 2 of the two-channel loggers
} // namespace channelRecord

constexpr int maxSamplingCode = 13;

// The raw span of each input range code; its low end maps to the scale start, its high end to
// the scale end.
struct RawSpan {
    int low;
    int high;
};
constexpr std::array<RawSpan, 11> rawSpans = {{
    {-20000, 20000}, // 0
    {0, 20000},      // 1
    {-10000, 10000}, // 2
    {-20000, 20000}, // 3
    {0, 20000},      // 4
    {-10000, 10000}, // 5
    {-20000, 20000}, // 6
    {0, 20000},      // 7
    {-10000, 10000}, // 8
    {0, 20000},      // 9
    {4000, 20000},   // 10: a 4-20 mA loop
}};

// The temperature and rain loggers scale in the logger itself.
constexpr double temperatureGain = 0.1;
constexpr double temperatureOffset = -20.0;

unsigned char byteAt(std::string_view text, std::size_t offset) {
    return static_cast<unsigned char>(text[offset]);
}

bool carriesFourChannels(int model) {
    return model == 3;
}
bool isAnalog(int model) {
    return model == 1 || model == 3;
}

int rangeCodeOf(std::string_view character) {
    if (character == "A")
        return 10;
    if (character.size() == 1 && character[0] >= '0' && character[0] <= '9')
        return character[0] - '0';
    return 0;
}

int decimalsOf(std::string_view digit) {
    const long long d = valInt(digit);
    return d > maxDecimals || d < 0 ? -1 : static_cast<int>(d);
}

std::string channelName(std::string_view raw, std::string_view fallback) {
    return trim(raw).empty() ? std::string(fallback) : windows1252ToUtf8(raw);
}

void decodeFlags(std::string_view reply, LoggerParameters &p) {
    const unsigned enable = byteAt(reply, block::enableBits.offset);
    const unsigned alarm = byteAt(reply, block::limitAlarmBits.offset);
    const int carried = carriesFourChannels(p.loggerModel) ? 4 : 2;
    for (int c = 1; c <= 4; ++c) {
        const unsigned bit = 1u << (4 - c);
        ChannelParameters &ch = p.channel(c);
        ch.enabled = c <= carried && (enable & bit) != 0 ? 1 : 0;
        ch.limitAlarm = ch.enabled == 1 && (alarm & bit) != 0 ? 1 : 0;
    }
}

std::string_view channelRecordOf(std::string_view reply, int channel) {
    const std::size_t start =
        block::channelRecords.offset + (channel - 1) * block::channelRecordLength;
    return cut(reply, {start, block::channelRecordLength});
}

void decodeAnalogChannel(std::string_view record, int channel, ChannelParameters &ch) {
    ch.unitText = unitText(valInt(cut(record, channelRecord::unitIndex)));
    ch.name = channelName(cut(record, channelRecord::name), "Ch. " + std::to_string(channel));
    ch.rangeCode = rangeCodeOf(cut(record, channelRecord::rangeCode));
    ch.decimals = decimalsOf(cut(record, channelRecord::decimals));
    ch.scaleStart = windows1252ToUtf8(cut(record, channelRecord::scaleStart));
    ch.scaleEnd = windows1252ToUtf8(cut(record, channelRecord::scaleEnd));
}

void decodeTwoChannel(std::string_view record, int channel, ChannelParameters &ch) {
    ch.unitText = unitText(valInt(cut(record, channelRecord::unitIndex)));
    ch.name = channelName(cut(record, channelRecord::name), channel == 1 ? "Temp" : "Pluv");
    ch.rangeCode = 0;
    ch.decimals = 1;
}

void decodeLimits(std::string_view reply, LoggerParameters &p) {
    const int channels = isAnalog(p.loggerModel) ? 4 : 2;
    for (int c = 1; c <= channels; ++c) {
        ChannelParameters &ch = p.channel(c);
        const int decimals = isAnalog(p.loggerModel) ? ch.decimals : 1;
        const std::size_t at = block::limits.offset + (c - 1) * block::limitPairLength;
        const int high = decodeRawWord(byteAt(reply, at), byteAt(reply, at + 1));
        const int low = decodeRawWord(byteAt(reply, at + 2), byteAt(reply, at + 3));
        ch.highLimit = formatReading(high, ch, decimals);
        ch.lowLimit = formatReading(low, ch, decimals);
        ch.highLimitValue = readingNumber(high, ch, decimals);
        ch.lowLimitValue = readingNumber(low, ch, decimals);
    }
}

constexpr std::array<double, maxDecimals + 1> decimalScale = {1, 10, 100, 1000, 10000};

// |value| times 10^decimals, rounded half away from zero to a whole number. A reading times a
// gain lands a hair beside the half it stands for (23.5 comes out as 23.499999999999996), so a
// fraction that close to one half counts as one half.
double roundedScaled(double magnitude, int decimals) {
    const double scaled = magnitude * decimalScale[decimals];
    double whole = std::floor(scaled);
    const double tolerance = std::max(1e-9, scaled * 4e-15);
    if (scaled - whole >= 0.5 - tolerance)
        whole += 1;
    return whole;
}

// Digits of |value| rounded at `decimals`.
std::string roundedDigits(double magnitude, int decimals) {
    const double whole = roundedScaled(magnitude, decimals);
    char buffer[400];
    if (whole < 9e18) {
        const auto end =
            std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(whole)).ptr;
        return std::string(buffer, end);
    }
    std::snprintf(buffer, sizeof buffer, "%.0f", whole);
    return buffer;
}

bool allZeros(std::string_view digits) {
    return digits.find_first_not_of('0') == std::string_view::npos;
}

// Sign, integer part zero-padded so that the text fills `width`, decimals; a "." ends the
// text when there are no decimals.
std::string fixedText(double value, int decimals, std::size_t width, bool withPoint) {
    std::string digits = roundedDigits(std::fabs(value), decimals);
    const char sign = value < 0 && !allZeros(digits) ? '-' : '+';
    if (digits.size() <= std::size_t(decimals))
        digits.insert(0, decimals + 1 - digits.size(), '0');
    const std::string_view integer(digits.data(), digits.size() - decimals);
    const std::string_view fraction(digits.data() + integer.size(), decimals);
    const std::size_t fixedChars = 1 + (withPoint ? 1 : 0) + fraction.size();
    const std::size_t padding =
        width > fixedChars + integer.size() ? width - fixedChars - integer.size() : 0;
    std::string out(1, sign);
    out.append(padding, '0');
    out += integer;
    if (withPoint)
        out += '.';
    out += fraction;
    return out;
}

// "+1.23E9": as many mantissa digits as fit.
std::string scientificText(double value, std::size_t width) {
    for (int digits = int(width); digits >= 0; --digits) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.*E", digits, std::fabs(value));
        const std::string_view text(buffer);
        const auto e = text.find('E');
        std::string out(1, value < 0 ? '-' : '+');
        out += text.substr(0, e);
        out += 'E';
        out += std::to_string(std::atoi(buffer + e + 1));
        if (out.size() <= width) {
            out.insert(1, width - out.size(), '0');
            return out;
        }
    }
    return std::string(width, '-');
}

} // namespace

std::string unitText(long long index) {
    if (index < 0 || index >= static_cast<long long>(unitList.size()))
        return {};
    return std::string(unitList[static_cast<std::size_t>(index)]);
}

int loggerModelFromByte(unsigned char modelByte) {
    int x = modelByte;
    if (x > 7)
        x -= 8;
    if (x > 5)
        x = 1;
    if (x == 0)
        x = 1;
    if (x == 2)
        x = 3;
    return x;
}

std::size_t recordLengthOf(int loggerModel) {
    return loggerModel == 3 || loggerModel == 5 ? 16 : 8;
}

int decodeRawWord(unsigned char high, unsigned char low) {
    if (high >= 128)
        return (high - 128) * 256 + low;
    return -(high * 256 + low);
}

std::string formatValue(double value, int decimals, std::size_t width) {
    if (!std::isfinite(value))
        return std::string(width, '-');
    decimals = std::clamp(decimals, 0, maxDecimals);
    for (int d = decimals; d >= 0; --d) {
        std::string text = fixedText(value, d, width, true);
        if (text.size() <= width)
            return text;
    }
    std::string whole = fixedText(value, 0, width, false);
    if (whole.size() <= width)
        return whole;
    return scientificText(value, width);
}

std::string formatReading(long long raw, const ChannelParameters &channel, int decimals) {
    if (raw > rawWindow || raw < -rawWindow)
        return MISSING_READING;
    if (decimals < 0 || decimals > maxDecimals)
        decimals = maxDecimals;
    return formatValue(static_cast<double>(raw) * channel.gain + channel.offset, decimals,
                       valueWidth);
}

std::string formatRain(double amount, int decimals) {
    return formatValue(amount, decimals, rainWidth);
}

// Rounded as fixedText rounds, and divided as readingValue divides: for a text that fits, both
// give the same double.
double fullPrecisionValue(double value, int decimals) {
    if (!std::isfinite(value))
        return 0.0;
    decimals = std::clamp(decimals, 0, maxDecimals);
    const double magnitude = roundedScaled(std::fabs(value), decimals) / decimalScale[decimals];
    return value < 0 ? -magnitude : magnitude;
}

double readingNumber(long long raw, const ChannelParameters &channel, int decimals) {
    if (raw > rawWindow || raw < -rawWindow)
        return 0.0;
    if (decimals < 0 || decimals > maxDecimals)
        decimals = maxDecimals;
    return fullPrecisionValue(static_cast<double>(raw) * channel.gain + channel.offset, decimals);
}

// An exact integer divided by an exact power of ten is rounded once, by the division, which is
// exactly the value strtod gives; texts that do not fit (more digits, an exponent) take val().
double readingValue(std::string_view text) {
    constexpr int fastDigits = 15; // every integer of 15 digits is exact in a double
    static constexpr std::array<double, fastDigits + 1> powersOfTen{
        1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int decimals = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (digits == fastDigits)
                return val(text);
            mantissa = mantissa * 10 + std::uint64_t(c - '0');
            ++digits;
            decimals += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return 0.0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E'))
        return val(text);
    const double value = static_cast<double>(mantissa) / powersOfTen[std::size_t(decimals)];
    return negative ? -value : value;
}

double comparedValue(const Reading &reading, int channel) {
    const std::optional<double> &full = reading.fullValues[channel];
    return full ? *full : readingValue(reading.values[channel]);
}

bool isNumericText(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return false;
    const std::string_view t = text.substr(first, text.find_last_not_of(' ') - first + 1);
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    bool digits = false;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
        ++i;
        digits = true;
    }
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return false;
    if (i < t.size() && (t[i] == 'E' || t[i] == 'e')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        const std::size_t exponentStart = i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])))
            ++i;
        if (i == exponentStart)
            return false;
    }
    return i == t.size();
}

void computeScaling(LoggerParameters &p) {
    if (!isAnalog(p.loggerModel)) {
        p.channel(1).gain = temperatureGain;
        p.channel(1).offset = temperatureOffset;
        p.channel(2).gain = 1.0;
        p.channel(2).offset = 0.0;
        return;
    }
    for (int c = 1; c <= 4; ++c) {
        ChannelParameters &ch = p.channel(c);
        const RawSpan span = rawSpans.at(std::clamp(ch.rangeCode, 0, 10));
        const double start = val(ch.scaleStart);
        const double end = val(ch.scaleEnd);
        ch.gain = (end - start) / (span.high - span.low);
        ch.offset = start - span.low * ch.gain;
    }
}

std::optional<DecodedParameters> decodeParameterBlock(std::string_view reply) {
    // Whatever the line added after the block says nothing about the block itself.
    if (reply.size() < parameterBlockLength || trim(reply.substr(0, parameterBlockLength)).empty())
        return std::nullopt;
    DecodedParameters out;
    LoggerParameters &p = out.parameters;
    p.loggerModel = loggerModelFromByte(byteAt(reply, block::model.offset));
    p.samplingCode = std::min<int>(byteAt(reply, block::samplingCode.offset), maxSamplingCode);
    const int pointer = byteAt(reply, block::memoryPointer.offset) * 256 +
                        byteAt(reply, block::memoryPointer.offset + 1);
    p.memoryPointer = zeroPad(pointer, 5);
    p.loggerSerial = windows1252ToUtf8(cut(reply, block::serial));
    decodeFlags(reply, p);
    if (isAnalog(p.loggerModel)) {
        for (int c = 1; c <= 4; ++c)
            decodeAnalogChannel(channelRecordOf(reply, c), c, p.channel(c));
    } else {
        for (int c = 1; c <= 2; ++c)
            decodeTwoChannel(channelRecordOf(reply, c), c, p.channel(c));
        out.rainFactor =
            windows1252ToUtf8(cut(channelRecordOf(reply, 2), channelRecord::rainFactor));
    }
    computeScaling(p);
    decodeLimits(reply, p);
    return out;
}

std::optional<DecodedParameters> readParameters(Serial &serial) {
    return decodeParameterBlock(serial.readParameterBlock().text);
}

} // namespace vantrell
