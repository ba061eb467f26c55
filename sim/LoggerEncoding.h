// The bytes a logger puts on the line, as pure functions of its description: the parameter
// block, the clock answer and the memory records. Tests use them to build golden input without
// a line; the simulated logger sends exactly what they return.
#pragma once

#include "sim/LoggerDescription.h"

#include <cstddef>
#include <string>

namespace vantrell::sim {

// Where everything sits in the parameter block (positions from 1). The block carries its
// binary fields in the first 33 characters and printable text after them.
//
//          1         2         3         4                        142
// 123456789012345678901234567890123456789...                      1234567890
// M L SPP       E HhLlHhLlHhLlHhLl UUUNNNNNRDSSSSSSSEEEEEEE---...  serial....
namespace parameterLayout {
inline constexpr std::size_t length = 151;
inline constexpr std::size_t model = 1;     // model byte
inline constexpr std::size_t limitBits = 3; // bit 3 channel 1 ... bit 0 channel 4
inline constexpr std::size_t samplingCode = 5;
inline constexpr std::size_t memoryPointer = 6; // two bytes, high first: records + 1
inline constexpr std::size_t enableBits = 15;   // bit 3 channel 1 ... bit 0 channel 4
inline constexpr std::size_t serial = 142;
inline constexpr std::size_t serialWidth = 10;
inline constexpr std::size_t channelWidth = 27;
// Channel `i` (1..4): its high limit word, its low limit word, its record.
constexpr std::size_t highLimit(int i) {
    return std::size_t(4 * i + 13);
}
constexpr std::size_t lowLimit(int i) {
    return std::size_t(4 * i + 15);
}
constexpr std::size_t channel(int i) {
    return std::size_t(27 * i + 7);
}

// Offsets inside a channel record.
inline constexpr std::size_t unitOffset = 0, unitWidth = 3;
inline constexpr std::size_t nameOffset = 3, nameWidth = 5;
inline constexpr std::size_t rangeOffset = 8;
inline constexpr std::size_t decimalsOffset = 9;
inline constexpr std::size_t startOffset = 10, endOffset = 17, scaleWidth = 7;
} // namespace parameterLayout

// The 151-character parameter block (without its CR). Models 4 and 5 report the rain factor
// in place of channel 2's scale start.
std::string encodeParameterBlock(const LoggerDescription &logger);

// The clock answer without its CR: "YY/MM/DD HH:MM:SS".
std::string encodeClock(const LocalDateTime &time);

// One memory record as stored: 8 bytes for models 1 and 4, 16 for models 3 and 5; an empty
// record is all 0xFF. Minute, hour and day are BCD; the year's tens digit (0..3) rides in the
// top bits of the day byte and its units digit in the top half of the month byte.
std::string encodeRecord(const MemoryRecord &record, const LoggerDescription &logger);

} // namespace vantrell::sim
