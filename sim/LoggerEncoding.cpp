#include "sim/LoggerEncoding.h"

#include "general/Text.h"

#include <cstdio>

namespace vantrell::sim {

namespace {

using namespace parameterLayout;

void put(std::string &block, std::size_t position, std::string_view text) {
    block.replace(position - 1, text.size(), text);
}

void putByte(std::string &block, std::size_t position, unsigned value) {
    block[position - 1] = static_cast<char>(value & 0xFFu);
}

void putWord(std::string &block, std::size_t position, std::uint16_t word) {
    putByte(block, position, word >> 8);
    putByte(block, position + 1, word);
}

// Bit 3 for channel 1 down to bit 0 for channel 4.
template <typename Flag> unsigned channelBits(const LoggerDescription &logger, Flag flag) {
    unsigned bits = 0;
    for (int i = 0; i < 4; ++i)
        if (flag(logger.channels[std::size_t(i)]))
            bits |= 1u << (3 - i);
    return bits;
}

std::string channelRecord(const LoggerDescription &logger, int i) {
    const auto &c = logger.channels[std::size_t(i - 1)];
    const int model = modelOf(logger.modelByte);
    const bool rainFactorHere = i == 2 && (model == 4 || model == 5);
    std::string record(channelWidth, ' ');
    put(record, unitOffset + 1, zeroPad(c.unitIndex, int(unitWidth)).substr(0, unitWidth));
    put(record, nameOffset + 1, fitRight(c.name, nameWidth));
    record[rangeOffset] = c.rangeCode;
    record[decimalsOffset] = c.decimals;
    put(record, startOffset + 1,
        fitRight(rainFactorHere ? logger.rainFactor : c.scaleStart, scaleWidth));
    put(record, endOffset + 1, fitRight(c.scaleEnd, scaleWidth));
    return record;
}

unsigned bcd(int value) {
    return unsigned((value / 10) % 10 * 16 + value % 10);
}

} // namespace

std::string encodeParameterBlock(const LoggerDescription &logger) {
    std::string block(length, ' ');
    putByte(block, model, logger.modelByte);
    putByte(block, limitBits,
            channelBits(logger, [](const ChannelDescription &c) { return c.limitAlarm; }));
    putByte(block, samplingCode, logger.samplingCode);
    const auto pointer = std::min<std::size_t>(logger.memory.size() + 1, 0xFFFF);
    putWord(block, memoryPointer, static_cast<std::uint16_t>(pointer));
    putByte(block, enableBits,
            channelBits(logger, [](const ChannelDescription &c) { return c.enabled; }));
    for (int i = 1; i <= 4; ++i) {
        const auto &c = logger.channels[std::size_t(i - 1)];
        putWord(block, highLimit(i), wordFor(c.highLimit, logger, i));
        putWord(block, lowLimit(i), wordFor(c.lowLimit, logger, i));
        put(block, channel(i), channelRecord(logger, i));
    }
    put(block, serial, fitRight(logger.serial, serialWidth));
    return block;
}

std::string encodeClock(const LocalDateTime &t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", t.year % 100, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

std::string encodeRecord(const MemoryRecord &record, const LoggerDescription &logger) {
    const int model = modelOf(logger.modelByte);
    const std::size_t size = recordLengthOf(model);
    if (record.empty)
        return std::string(size, '\xFF');
    std::string bytes(size, '\0');
    const auto &t = record.time;
    const int year = t.year % 100;
    putByte(bytes, 1, bcd(t.minute));
    putByte(bytes, 2, bcd(t.hour));
    putByte(bytes, 3, (bcd(t.day) & 0x3Fu) | unsigned(year / 10 & 3) << 6);
    putByte(bytes, 4, (unsigned(t.month) & 0x0Fu) | unsigned(year % 10) << 4);
    putWord(bytes, 5, wordFor(record.values[0], logger, 1));
    if (model == 5) {
        const std::uint32_t counter = rainCounterFor(record.values[1]);
        putWord(bytes, 7, static_cast<std::uint16_t>(counter & 0xFFFFu));
        putWord(bytes, 9, static_cast<std::uint16_t>(counter >> 16));
        return bytes;
    }
    putWord(bytes, 7, wordFor(record.values[1], logger, 2));
    if (model == 3) {
        putWord(bytes, 9, wordFor(record.values[2], logger, 3));
        putWord(bytes, 11, wordFor(record.values[3], logger, 4));
    }
    return bytes;
}

} // namespace vantrell::sim
