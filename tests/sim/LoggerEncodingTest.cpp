// The bytes a logger puts on the line, checked against values worked out by hand.
#include "sim/LoggerEncoding.h"

#include "SimBench.h"

#include <gtest/gtest.h>

namespace vantrell::sim {
namespace {

using testing::hexOf;
using V = ChannelValue;

LoggerDescription benchLogger() {
    LoggerDescription d;
    d.serial = "KV12345678";
    d.modelByte = 0x0B;
    auto &ch = d.channels;
    ch[0] = {true, true, 0, "Temp", '1', '1', "-20", "80", V::raw(1000), V::raw(-1000)};
    ch[1] = {true, false, 34, "Hum", 'A', '2', "0", "100", V::word(0x0D0D), V::word(0x8000)};
    ch[2] = {true, true, 25, "", '0', '3', "-50", "50", V::engineering(25), V::engineering(-25)};
    ch[3].enabled = false;
    ch[3].limitAlarm = true;
    d.memory = makeMemory(299, {2026, 2, 1, 0, 0, 0}, 600);
    return d;
}

TEST(ParameterBlock, EveryFieldSitsAtItsPosition) {
    const std::string block = encodeParameterBlock(benchLogger());
    ASSERT_EQ(block.size(), 151u);
    const struct {
        const char *legend;
        std::size_t position;
        std::string expected;
    } rows[] = {
        {"model byte as reported", 1, "\x0B"},
        {"limit bits: channels 1, 3 and 4", 3, "\x0B"},
        {"sampling code", 5, "\x05"},
        {"memory pointer 300, high byte first", 6, "\x01\x2C"},
        {"enable bits: channels 1 to 3", 15, "\x0E"},
        {"channel 1 high limit +1000", 17, "\x83\xE8"},
        {"channel 1 low limit -1000", 19, "\x03\xE8"},
        {"channel 2 high limit, word with CR bytes", 21, "\x0D\x0D"},
        {"channel 2 low limit, positive zero", 23, std::string("\x80\x00", 2)},
        {"channel 3 high limit 25 through range 0 scaling", 25, "\xA7\x10"},
        {"channel 3 low limit -25", 27, "\x27\x10"},
        {"channel 4 limits left at the raw window", 29, "\xCE\x20\x4E\x20"},
        {"channel 1 record", 34, "000Temp 11-20    80        "},
        {"channel 2 record", 61, "034Hum  A20      100       "},
        {"channel 3 record, blank name", 88, "025     03-50    50        "},
        {"channel 4 record, defaults", 115, "000     110      100       "},
        {"serial number", 142, "KV12345678"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(hexOf(block.substr(row.position - 1, row.expected.size())), hexOf(row.expected))
            << row.legend;
    for (std::size_t unused : {2, 4, 8, 9, 10, 11, 12, 13, 14, 16, 33})
        EXPECT_EQ(block[unused - 1], ' ') << "unused position " << unused;
    LoggerDescription rain;
    rain.modelByte = 5;
    rain.rainFactor = "0.254";
    rain.channels[1].scaleStart = "999";
    EXPECT_EQ(encodeParameterBlock(rain).substr(70, 7), "0.254  ") << "a rain logger's factor";
}

TEST(RawWord, EngineeringValuesInvertTheLoggersOwnScaling) {
    const struct {
        const char *legend;
        unsigned char model;
        char range;
        const char *start, *end;
        int channel;
        double value;
        std::uint16_t word;
    } rows[] = {
        {"range 0: -20000..20000 over -50..50", 3, '0', "-50", "50", 1, 25.0, 0xA710},
        {"range 1: 0..20000 over 0..100", 3, '1', "0", "100", 2, 50.0, 0xA710},
        {"range 2: -10000..10000, low end", 1, '2', "0", "10", 1, 0.0, 0x2710},
        {"range A: 4000..20000, low end", 3, 'A', "0", "20", 3, 0.0, 0x8FA0},
        {"range A: high end", 3, 'A', "0", "20", 4, 20.0, 0xCE20},
        {"range 9 as range 1", 3, '9', "0", "200", 1, 200.0, 0xCE20},
        {"unknown range code as range 0", 3, 'x', "-50", "50", 1, -50.0, 0x4E20},
        {"equal start and end give raw 0", 3, '1', "5", "5", 1, 5.0, 0x8000},
        {"model 4 temperature in tenths above -20", 4, '1', "0", "1", 1, 23.5, 0x81B3},
        {"model 4 temperature at -20 is zero", 4, '1', "0", "1", 1, -20.0, 0x8000},
        {"model 4 temperature below -20 is negative", 4, '1', "0", "1", 1, -25.3, 0x0035},
        {"model 4 second channel as it stands", 4, '1', "0", "1", 2, 7.0, 0x8007},
    };
    for (const auto &row : rows) {
        LoggerDescription d;
        d.modelByte = row.model;
        auto &c = d.channels[std::size_t(row.channel - 1)];
        c.rangeCode = row.range;
        c.scaleStart = row.start;
        c.scaleEnd = row.end;
        EXPECT_EQ(wordFor(V::engineering(row.value), d, row.channel), row.word) << row.legend;
    }
    EXPECT_EQ(signMagnitudeWord(40000), 0xFFFF) << "magnitude held at 15 bits";
    EXPECT_EQ(signMagnitudeWord(-40000), 0x7FFF) << "negative magnitude held at 15 bits";
}

MemoryRecord at(LocalDateTime time, std::array<V, 4> values) {
    return {false, time, values};
}

TEST(Record, EncodesTimeAndReadingsByteForByte) {
    const LocalDateTime morning{2026, 2, 3, 9, 5, 0};
    const struct {
        const char *legend;
        unsigned char model;
        MemoryRecord record;
        const char *expected;
    } rows[] = {
        {"BCD time, year 28 split over day and month bytes", 1,
         at({2028, 3, 15, 10, 45, 0}, {V::raw(1000), V::raw(-1000)}), "45 10 95 83 83 E8 03 E8"},
        {"year tens 3, December, a word given as it stands", 1,
         at({2039, 12, 31, 23, 59, 0}, {V::raw(0), V::word(0x0D0D)}), "59 23 F1 9C 80 00 0D 0D"},
        {"year 2000 at midnight, model 4 engineering values", 4,
         at({2000, 1, 1, 0, 0, 0}, {V::engineering(23.5), V::raw(7)}), "00 00 01 01 81 B3 80 07"},
        {"model 3: four channels, then four unused bytes", 3,
         at(morning, {V::raw(1), V::raw(-2), V::raw(20000), V::raw(-20000)}),
         "05 09 83 62 80 01 00 02 CE 20 4E 20 00 00 00 00"},
        {"model 5: rain counter low word, then high word", 5,
         at(morning, {V::engineering(-20), V::engineering(0x12345)}),
         "05 09 83 62 80 00 23 45 00 01 00 00 00 00 00 00"},
        {"a data byte 13 as the last byte", 1, at(morning, {V::raw(0), V::raw(13)}),
         "05 09 83 62 80 00 80 0D"},
        {"empty record, 8 bytes", 1, MemoryRecord::emptyRecord(), "FF FF FF FF FF FF FF FF"},
        {"empty record, 16 bytes", 5, MemoryRecord::emptyRecord(),
         "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF"},
    };
    for (const auto &row : rows) {
        LoggerDescription d;
        d.modelByte = row.model;
        EXPECT_EQ(hexOf(encodeRecord(row.record, d)), row.expected) << row.legend;
    }
}

TEST(Model, ByteMapsToFamilyAndRecordLength) {
    const struct {
        unsigned char byte;
        int model;
        std::size_t length;
    } rows[] = {{0, 1, 8}, {1, 1, 8},   {2, 3, 16},  {3, 3, 16}, {4, 4, 8},  {5, 5, 16}, {6, 1, 8},
                {7, 1, 8}, {10, 3, 16}, {13, 5, 16}, {14, 1, 8}, {16, 1, 8}, {255, 1, 8}};
    for (const auto &row : rows) {
        EXPECT_EQ(modelOf(row.byte), row.model) << "model byte " << int(row.byte);
        EXPECT_EQ(recordLengthOf(modelOf(row.byte)), row.length) << "model byte " << int(row.byte);
    }
}

} // namespace
} // namespace vantrell::sim
