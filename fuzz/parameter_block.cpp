// The parameter block answer, whatever bytes the line delivered: a parameter set only for a
// full, non-blank block, decided by the block's own 151 characters; every field within the
// values the rest of the station relies on; the limit texts at their fixed width.
#include "FuzzSupport.h"

#include "general/Codepage.h"
#include "general/Text.h"
#include "loggerdata/Conversions.h"
#include "loggerdata/MemoryTransfer.h"

#include <algorithm>
#include <cctype>

namespace {

using namespace vantrell;
using fuzz::require;

constexpr std::size_t serialAt = 141;
constexpr std::size_t serialWidth = 10;
constexpr std::size_t channelRecordsAt = 33;
constexpr std::size_t channelRecordLength = 27;
constexpr std::size_t scaleStartOffset = 10;
constexpr std::size_t scaleEndOffset = 17;
constexpr std::size_t scaleWidth = 7;

bool isLimitText(const std::string &text) {
    return text == MISSING_READING || text.size() == valueWidth;
}

std::string_view scaleText(std::string_view block, int channel, std::size_t offset) {
    return cut(block,
               {channelRecordsAt + (channel - 1) * channelRecordLength + offset, scaleWidth});
}

void checkChannels(const LoggerParameters &p, std::string_view block) {
    const bool analog = p.loggerModel == 1 || p.loggerModel == 3;
    const int carried = p.loggerModel == 3 ? 4 : 2;
    const int limited = analog ? 4 : 2;
    for (int c = 1; c <= 4; ++c) {
        const ChannelParameters &ch = p.channel(c);
        require(ch.enabled == 0 || ch.enabled == 1, "enabled is a flag");
        require(ch.limitAlarm == 0 || ch.limitAlarm == 1, "limit alarm is a flag");
        require(ch.limitAlarm == 0 || ch.enabled == 1, "only an enabled channel checks limits");
        require(c <= carried || ch.enabled == 0, "a channel the model lacks is never enabled");
        require(ch.decimals >= -1 && ch.decimals <= maxDecimals, "decimals in range or -1");
        require(ch.rangeCode >= 0 && ch.rangeCode <= 10, "range code 0..10");
        if (c <= limited) {
            require(isLimitText(ch.highLimit), "high limit keeps the value width");
            require(isLimitText(ch.lowLimit), "low limit keeps the value width");
        }
        if (analog) {
            require(utf8ToWindows1252(ch.scaleStart) == scaleText(block, c, scaleStartOffset),
                    "scale start keeps its bytes");
            require(utf8ToWindows1252(ch.scaleEnd) == scaleText(block, c, scaleEndOffset),
                    "scale end keeps its bytes");
        }
    }
}

void checkParameters(const DecodedParameters &decoded, std::string_view block) {
    const LoggerParameters &p = decoded.parameters;
    require(p.loggerModel == 1 || p.loggerModel == 3 || p.loggerModel == 4 || p.loggerModel == 5,
            "the model is one of the four families");
    require(p.samplingCode >= 0 && p.samplingCode <= 13, "sampling code 0..13");
    require(p.memoryPointer.size() == 5 &&
                std::all_of(p.memoryPointer.begin(), p.memoryPointer.end(),
                            [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }),
            "memory pointer is five digits");
    require(recordCountOf(p.memoryPointer) <= 0xFFFF, "record count fits the request");
    require(utf8ToWindows1252(p.loggerSerial) == cut(block, {serialAt, serialWidth}),
            "serial number keeps its ten bytes");
    require(decoded.rainFactor.has_value() == (p.loggerModel == 4 || p.loggerModel == 5),
            "a rain factor comes with the two-channel loggers only");
    checkChannels(p, block);
}

bool sameChannel(const ChannelParameters &a, const ChannelParameters &b) {
    const auto sameNumber = [](double x, double y) { return x == y || (x != x && y != y); };
    return a.enabled == b.enabled && a.limitAlarm == b.limitAlarm && a.unitText == b.unitText &&
           a.name == b.name && a.rangeCode == b.rangeCode && a.decimals == b.decimals &&
           a.scaleStart == b.scaleStart && a.scaleEnd == b.scaleEnd && a.highLimit == b.highLimit &&
           a.lowLimit == b.lowLimit && sameNumber(a.gain, b.gain) && sameNumber(a.offset, b.offset);
}

bool sameDecoding(const DecodedParameters &a, const DecodedParameters &b) {
    const LoggerParameters &p = a.parameters;
    const LoggerParameters &q = b.parameters;
    if (p.loggerModel != q.loggerModel || p.samplingCode != q.samplingCode ||
        p.memoryPointer != q.memoryPointer || p.loggerSerial != q.loggerSerial ||
        a.rainFactor != b.rainFactor)
        return false;
    for (int c = 1; c <= 4; ++c)
        if (!sameChannel(p.channel(c), q.channel(c)))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view reply = fuzz::asText(data, size);
    const std::optional<DecodedParameters> decoded = decodeParameterBlock(reply);
    const std::string_view block = reply.substr(0, parameterBlockLength);
    const bool full = block.size() == parameterBlockLength && !trim(block).empty();
    require(decoded.has_value() == full, "a parameter set comes from a full block only");
    if (!decoded)
        return 0;
    checkParameters(*decoded, block);
    if (reply.size() > parameterBlockLength) {
        const std::optional<DecodedParameters> fromBlock = decodeParameterBlock(block);
        require(fromBlock && sameDecoding(*decoded, *fromBlock),
                "bytes after the block change nothing");
    }
    return 0;
}
