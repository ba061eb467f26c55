#include "loggerdata/Conversions.h"

#include "general/Text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace vantrell {
namespace {

using Byte = unsigned char;

// Parameter block answers built byte by byte, so that decoding is tested against the layout as
// the logger sends it and not against another encoder.
struct ParameterBlock {
    std::string bytes = std::string(151, ' ');

    ParameterBlock &byte(std::size_t position, int value) {
        bytes[position - 1] = static_cast<char>(value);
        return *this;
    }
    // Channel record i: unit index, name, range code, decimals, scale start, scale end.
    ParameterBlock &channel(int i, std::string_view fields) {
        bytes.replace(std::size_t(27 * i + 6), fields.size(), fields);
        return *this;
    }
    ParameterBlock &limits(int i, int high1, int high2, int low1, int low2) {
        const auto at = std::size_t(4 * i + 13);
        return byte(at, high1).byte(at + 1, high2).byte(at + 2, low1).byte(at + 3, low2);
    }
};

TEST(Conversions, RawWordsAndModelBytes) {
    const struct {
        const char *legend;
        int high, low, value;
    } words[] = {{"bit 15 set is positive", 0x83, 0xE8, 1000},
                 {"bit 15 clear is negative", 0x03, 0xE8, -1000},
                 {"zero without sign", 0x00, 0x00, 0},
                 {"zero with sign", 0x80, 0x00, 0},
                 {"largest magnitude", 0x7F, 0xFF, -32767}};
    for (const auto &w : words)
        EXPECT_EQ(decodeRawWord(Byte(w.high), Byte(w.low)), w.value) << w.legend;
    // Byte -> family: 8 is taken off above 7, above 5 is 1, 0 is 1, 2 is 3.
    const std::pair<int, int> models[] = {{0, 1},  {1, 1},  {2, 3},  {4, 4},  {5, 5},
                                          {6, 1},  {7, 1},  {8, 1},  {10, 3}, {12, 4},
                                          {13, 5}, {14, 1}, {15, 1}, {16, 1}, {255, 1}};
    for (auto [modelByte, model] : models)
        EXPECT_EQ(loggerModelFromByte(Byte(modelByte)), model) << "model byte " << modelByte;
}

// The text keeps its width; the number the alarms compare keeps every digit the text drops.
TEST(Conversions, ValueTextsNeverLeaveTheirWidth) {
    const struct {
        const char *legend;
        double value;
        int decimals;
        std::size_t width;
        const char *text;
        double full;
    } cases[] = {
        {"no decimals keeps the point", 23, 0, 7, "+00023.", 23},
        {"negative, two decimals", -12.4, 2, 7, "-012.40", -12.4},
        {"half rounds away from zero", -0.25, 1, 7, "-0000.3", -0.3},
        {"a product a hair below the half", 45 * 0.7, 0, 7, "+00032.", 32},
        {"four decimals", 0.12345, 4, 7, "+0.1235", 0.1235},
        {"negative rounding to zero is +0", -0.04, 1, 7, "+0000.0", 0},
        {"same at four decimals", -0.00004, 4, 7, "+0.0000", 0},
        {"too wide: decimals give way", -12345.6, 1, 7, "-12346.", -12345.6},
        {"rounding up into a new digit", 999.995, 2, 7, "+1000.0", 1000},
        {"too wide for the point", 123456.7, 1, 7, "+123457", 123456.7},
        {"too wide for any fixed text", 1234567, 1, 7, "+1.23E6", 1234567},
        {"rain text", 123.4, 1, 15, "+000000000123.4", 123.4},
        {"full rain counter at a large factor", 4294967295.0 * 1000, 1, 15, "+4294967295000.",
         4294967295000},
        {"not a number", std::nan(""), 1, 7, "-------", 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(formatValue(c.value, c.decimals, c.width), c.text) << c.legend;
        EXPECT_EQ(fullPrecisionValue(c.value, c.decimals), c.full) << c.legend;
    }
}

// Where the text holds every digit the alarms compare exactly what they compared before.
TEST(Conversions, FullPrecisionIsTheTextsOwnNumberWhereTheTextFits) {
    std::mt19937 random(16);
    for (int i = 0; i < 20000; ++i) {
        const int decimals = int(random() % 5);
        const double value = (double(random() % 4000001) - 2000000.0) / 997.0;
        const std::string text = formatValue(value, decimals, valueWidth);
        if (text.size() - text.find('.') - 1 != std::size_t(decimals))
            continue; // the text had to drop digits
        ASSERT_EQ(fullPrecisionValue(value, decimals), readingValue(text))
            << value << " at " << decimals << ": " << text;
    }
}

TEST(Conversions, ReadingValueIsValForEveryText) {
    std::vector<std::string> texts = {
        "+0023.5", "-0000.1", "  +12.", ".5",    "-.25",  "",    "       ",
        "-------", "+",       "12abc",  "1.5E3", "1e400", "--5", "1234567890123456789"};
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        const double v = double(random() % 2000001) / std::pow(10.0, double(random() % 12));
        char text[40];
        std::snprintf(text, sizeof text, "%+.*f", int(random() % 13), random() % 2 ? v : -v);
        texts.emplace_back(text);
    }
    for (const std::string &t : texts)
        EXPECT_EQ(readingValue(t), val(t)) << "\"" << t << "\"";
}

TEST(Conversions, ReadingsOutsideTheRawWindowAreMissing) {
    ChannelParameters loop; // 4-20 mA = 0..20
    loop.gain = 20.0 / 16000;
    loop.offset = -4000 * loop.gain;
    ChannelParameters plain;
    plain.gain = 1.0;
    const struct {
        const char *legend;
        const ChannelParameters &channel;
        long long raw;
        int decimals;
        const char *text;
    } cases[] = {
        {"window ends are readings", plain, -20000, 0, "-20000."},
        {"one above the window", plain, 20001, 1, MISSING_READING},
        {"one below the window", plain, -20001, 1, MISSING_READING},
        {"loop at 4 mA", loop, 4000, 1, "+0000.0"},
        {"loop at 20 mA", loop, 20000, 1, "+0020.0"},
        {"invalid decimals code: as many decimals as fit", plain, 235, -1, "+235.00"},
        {"invalid decimals code, small value", loop, 4280, -1, "+0.3500"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(formatReading(c.raw, c.channel, c.decimals), c.text) << c.legend;
}

// Channel 1 on 0..20000 = 0..100 with limits +1000/-1000 raw, channel 2 unnamed, channel 3 on
// the 4-20 mA range = 4..20; channel 4 with an invalid decimals digit and its limits left
// blank (raw -8224).
ParameterBlock fourChannels() {
    ParameterBlock b;
    b.byte(1, 3).byte(3, 0x0A).byte(5, 5).byte(6, 0x00).byte(7, 0x0B).byte(15, 0x0F);
    b.limits(1, 0x83, 0xE8, 0x03, 0xE8).limits(2, 0xCE, 0x20, 0x4E, 0x20);
    b.limits(3, 0x8F, 0xA0, 0x8F, 0xA0);
    b.channel(1, "000Temp 110      100    ").channel(2, "021     02-50    50     ");
    b.channel(3, "019Loop\260A34      20     ").channel(4, "006Pres 97100    200    ");
    b.bytes.replace(141, 10, "KV12345678");
    return b;
}

// The decoded block as one text: model, sampling code, memory pointer and serial number, then
// for each channel: enabled, limit alarm, unit, name, range code, decimals and limits.
std::string summary(const LoggerParameters &p) {
    std::string text = std::to_string(p.loggerModel) + " " + std::to_string(p.samplingCode) + " " +
                       p.memoryPointer + " " + p.loggerSerial;
    for (int c = 1; c <= 4; ++c) {
        const ChannelParameters &ch = p.channel(c);
        text += " / " + std::to_string(ch.enabled) + std::to_string(ch.limitAlarm) + " " +
                ch.unitText + "|" + ch.name + "| " + std::to_string(ch.rangeCode) + " " +
                std::to_string(ch.decimals) + " " + ch.highLimit + " " + ch.lowLimit;
    }
    return text;
}

TEST(Conversions, ParameterBlockDecodesOrIsRefused) {
    const char *refused = "no parameter block";
    const struct {
        const char *legend;
        ParameterBlock block;
        const char *part; // of the decoded block's summary
    } cases[] = {
        {"channel 2 with a blank name, channel 3 an 8-bit one, channel 4 decimals digit 7",
         fourChannels(),
         "3 5 00011 KV12345678 / 11 °C|Temp | 1 1 +0005.0 -0005.0 / 10 mm|Ch. 2| 0 2 +050.00"
         " -050.00 / 11 mA|Loop°| 10 3 +04.000 +04.000 / 10 bar|Pres | 9 -1 +58.880 +58.880"},
        {"sampling code above 13 is 13", fourChannels().byte(5, 200), "3 13 00011 "},
        {"largest memory pointer", fourChannels().byte(6, 0xFF).byte(7, 0xFF), "3 5 65535 "},
        {"two-channel model ignores enable bits 1 and 0", fourChannels().byte(1, 1),
         "/ 00 mA|Loop°| 10 3 +04.000 +04.000 / 00 bar|"},
        {"limit bit of a disabled channel", fourChannels().byte(15, 0x07), "/ 00 °C|Temp |"},
        {"unit index past the list", fourChannels().channel(1, "039"), "/ 11 |Temp |"},
        {"negative unit index", fourChannels().channel(1, "-01"), "/ 11 |Temp |"},
        {"last unit", fourChannels().channel(1, "038"), "/ 11 W/m2|Temp |"},
        {"lower-case range letter", fourChannels().channel(1, "000Temp a"), "|Temp | 0 1 "},
        {"decimals digit 5 is invalid", fourChannels().channel(1, "000Temp 15"), "|Temp | 1 -1 "},
        {"temperature logger: limits at 1 decimal, raw / 10 - 20",
         fourChannels().byte(1, 4).limits(1, 0x82, 0x58, 0x00, 0x00), "+0040.0 -0020.0 /"},
        {"blank name on channel 3", fourChannels().channel(3, "000     "), "/ 11 °C|Ch. 3|"},
        {"limits too wide for their column", fourChannels().channel(1, "000Temp 1113499.833499.8"),
         "+14500. +12500. /"},
        {"no answer", {""}, refused},
        {"one character short", {fourChannels().bytes.substr(0, 150)}, refused},
        {"a blank block", {std::string(151, ' ')}, refused},
        {"a blank block with noise after it", {std::string(151, ' ') + "KV12345678"}, refused},
    };
    for (const auto &c : cases) {
        const auto decoded = decodeParameterBlock(c.block.bytes);
        const std::string got = decoded ? summary(decoded->parameters) : refused;
        EXPECT_NE(got.find(c.part), std::string::npos) << c.legend << ": " << got;
    }
    EXPECT_FALSE(decodeParameterBlock(fourChannels().bytes)->rainFactor) << "an analog logger";
    // The alarms compare every digit the texts above dropped.
    const auto wide = decodeParameterBlock(cases[12].block.bytes)->parameters.channel(1);
    EXPECT_EQ(wide.highLimitValue, 14499.8);
    EXPECT_EQ(wide.lowLimitValue, 12499.8);
}

} // namespace
} // namespace vantrell
