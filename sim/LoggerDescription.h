// A simulated logger as someone setting one up on the bench would describe it: its serial
// number and model, how it samples, what each channel measures and how, its own alarm limits,
// how far its clock is off, and what its memory holds. Readings may be written as engineering
// values; they are turned into the raw words the logger would have stored through the same
// scaling the logger reports, so a test can say "23.5 degrees" and get the bytes a real logger
// would send.
#pragma once

#include "general/Clock.h"
#include "sim/Faults.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantrell::sim {

// A reading or a limit as written in a description.
struct ChannelValue {
    enum class Kind {
        engineering, // in the channel's unit, converted through the channel's scaling
        raw,         // the signed raw reading, -20000..20000 in range
        word,        // the 16-bit word exactly as it goes on the line, high byte first
    };
    Kind kind = Kind::raw;
    double number = 0.0;

    static ChannelValue engineering(double value) { return {Kind::engineering, value}; }
    static ChannelValue raw(long long value) { return {Kind::raw, double(value)}; }
    static ChannelValue word(std::uint16_t value) { return {Kind::word, double(value)}; }
    bool operator==(const ChannelValue &) const = default;
};

struct ChannelDescription {
    bool enabled = true;
    bool limitAlarm = false;
    int unitIndex = 0;            // position in the logger's unit list, written as three digits
    std::string name;             // up to five characters; blank lets the station pick a name
    char rangeCode = '1';         // "0".."9" or "A"
    char decimals = '1';          // one digit
    std::string scaleStart = "0"; // decimal text, up to seven characters
    std::string scaleEnd = "100"; // decimal text, up to seven characters
    ChannelValue highLimit = ChannelValue::raw(20000);
    ChannelValue lowLimit = ChannelValue::raw(-20000);
};

// One sampling in the logger's memory; an empty record is what an erased cell reads as.
struct MemoryRecord {
    bool empty = false;
    LocalDateTime time;
    std::array<ChannelValue, 4> values{};

    static MemoryRecord emptyRecord() { return {true, {}, {}}; }
};

struct LoggerDescription {
    std::string serial = "0001KV0126"; // ten characters, laid out as "XXXXDEMMYY"
    unsigned char modelByte = 3;       // 1, 3, 4, 5, or any byte the logger might report
    unsigned char samplingCode = 5;    // 0, 1, 2: every 10, 20, 30 seconds
    std::array<ChannelDescription, 4> channels{};
    std::string rainFactor = "0.2";   // models 4 and 5 report it in place of channel 2's start
    long long clockOffsetSeconds = 0; // logger clock minus the world's local time
    std::vector<MemoryRecord> memory;

    char wakeAnswer = '?';        // "?", "[" or "]"
    double reactionDelay = 0.005; // seconds between hearing a request and answering
    std::vector<Fault> faults;
    unsigned noiseSeed = 1;
};

// The model family a model byte stands for: 1, 3, 4 or 5.
int modelOf(unsigned char modelByte);
// Bytes per memory record: 8 for models 1 and 4, 16 for models 3 and 5.
std::size_t recordLengthOf(int model);

struct Scaling {
    double gain = 1.0;
    double offset = 0.0;
};
// How channel `channel` (1..4) maps a raw reading to its unit: value = raw * gain + offset.
Scaling scalingOf(const LoggerDescription &logger, int channel);

// A signed raw reading as the logger's sign-magnitude word: bit 15 set for 0 and above, the
// magnitude (at most 0x7FFF) in the low 15 bits.
std::uint16_t signMagnitudeWord(long long raw);
// The word the logger stores for `value` on channel `channel` (1..4).
std::uint16_t wordFor(const ChannelValue &value, const LoggerDescription &logger, int channel);
// The rain counter of a model-5 logger's second channel.
std::uint32_t rainCounterFor(const ChannelValue &value);

using ValuePattern = std::function<std::array<ChannelValue, 4>(std::size_t index)>;
// A memory of `count` records, the first taken at `first`, then one every `intervalSeconds`.
// Without a pattern the readings are slow ramps of raw values (and a rising rain counter), so
// that neighbouring records differ.
std::vector<MemoryRecord> makeMemory(std::size_t count, LocalDateTime first, int intervalSeconds,
                                     const ValuePattern &pattern = {});

} // namespace vantrell::sim
