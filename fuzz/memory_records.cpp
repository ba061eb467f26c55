// Memory records against any parameter set: either one decoded from a block the input carries,
// or one built field by field from the input (models, decimals, limits and scaling no logger
// would report). Whatever comes in, a record of the wrong length or an empty one gives an empty
// entry, a stored record gives a date and time of eight characters and a value text of fixed
// width on every enabled channel, and a crossed limit stays crossed.
#include "FuzzSupport.h"

#include "loggerdata/Conversions.h"
#include "loggerdata/MemoryTransfer.h"

#include <optional>
#include <vector>

namespace {

using namespace vantrell;
using fuzz::FuzzInput;
using fuzz::require;

constexpr std::size_t timeWidth = 8;
constexpr std::size_t dateWidth = 8;
// Nearly every record has the model's own length; the rest have any length up to this.
constexpr int oddLengthShare = 40;
constexpr int longestOddRecord = 20;

struct Memory {
    LoggerParameters parameters;
    std::string rainFactor;
};

Memory builtParameters(FuzzInput &in) {
    Memory m;
    LoggerParameters &p = m.parameters;
    p.loggerModel = in.takeInt(-1, 8);
    p.samplingCode = in.takeInt(0, 13);
    for (int c = 1; c <= 4; ++c) {
        ChannelParameters &ch = p.channel(c);
        ch.enabled = in.takeInt(-1, 2);
        ch.limitAlarm = in.takeInt(-1, 2);
        ch.decimals = in.takeInt(-6, 9);
        ch.gain = in.takeDouble();
        ch.offset = in.takeDouble();
        ch.highLimitValue = in.takeDouble();
        ch.lowLimitValue = in.takeDouble();
    }
    m.rainFactor = in.takeText(16);
    return m;
}

Memory parametersFor(FuzzInput &in) {
    if (in.takeBool()) {
        if (std::optional<DecodedParameters> decoded =
                decodeParameterBlock(in.takeBytes(parameterBlockLength)))
            return {decoded->parameters, decoded->rainFactor.value_or("")};
    }
    return builtParameters(in);
}

std::vector<std::string> recordsFor(FuzzInput &in, std::size_t recordLength) {
    std::vector<std::string> records;
    while (!in.empty()) {
        const int choice = in.takeInt(0, 255);
        const std::size_t length =
            choice < oddLengthShare ? std::size_t(choice % longestOddRecord) : recordLength;
        records.push_back(in.takeBytes(length));
    }
    return records;
}

bool isStored(std::string_view record, std::size_t recordLength) {
    return record.size() == recordLength && static_cast<unsigned char>(record[0]) != 0xFF;
}

void checkEmpty(const Reading &r) {
    require(r.date.empty() && r.time.empty(), "an empty record has no date or time");
    for (const std::string &v : r.values)
        require(v.empty(), "an empty record has no values");
}

void checkStored(const Reading &r, const LoggerParameters &p) {
    require(r.time.size() == timeWidth, "the time keeps its width");
    require(r.date.size() == dateWidth, "the date keeps its width");
    const bool known =
        p.loggerModel == 1 || p.loggerModel == 3 || p.loggerModel == 4 || p.loggerModel == 5;
    const int channels = p.loggerModel == 3 ? 4 : 2;
    for (int c = 1; c <= 4; ++c) {
        const std::string &v = r.values[c];
        if (!known || c > channels || p.channel(c).enabled != 1) {
            require(v.empty(), "a channel that is not sampled has no value");
            continue;
        }
        const std::size_t width = p.loggerModel == 5 && c == 2 ? rainWidth : valueWidth;
        require(v.size() == width, "a value text keeps its width");
    }
}

// The value-text rule on its own, with widths and decimals no caller uses today.
void checkFormatValue(FuzzInput &in) {
    const double value = in.takeDouble();
    const int decimals = in.takeInt(-8, 12);
    const std::size_t width = std::size_t(in.takeInt(0, 24));
    require(formatValue(value, decimals, width).size() == width, "formatValue fills its width");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in(data, size);
    checkFormatValue(in);
    const Memory memory = parametersFor(in);
    const std::size_t recordLength = recordLengthOf(memory.parameters.loggerModel);
    const std::vector<std::string> records = recordsFor(in, recordLength);

    RecordDecoder decoder(memory.parameters, memory.rainFactor);
    RecordDecoder again(memory.parameters, memory.rainFactor);
    bool crossed = false;
    for (const std::string &record : records) {
        const Reading r = decoder.decode(record);
        if (isStored(record, recordLength))
            checkStored(r, memory.parameters);
        else
            checkEmpty(r);
        require(!crossed || decoder.limitCrossed(), "a crossed limit stays crossed");
        crossed = decoder.limitCrossed();
        const Reading s = again.decode(record);
        require(r.date == s.date && r.time == s.time && r.values == s.values,
                "the same memory decodes the same way");
    }
    return 0;
}
