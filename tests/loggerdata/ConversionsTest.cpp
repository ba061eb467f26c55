#include "loggerdata/Conversions.h"

#include "ParameterBlock.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using testing::ParameterBlock;

// A four-channel logger: channel 1 on 0..20000 = 0..100 °C with limits +1000/-1000 raw,
// channel 2 unnamed, channel 3 with an invalid decimals digit, channel 4 on the 4-20 mA range;
// channels 3 and 4 keep blanks where their limits would be (raw -8224).
ParameterBlock fourChannelBlock() {
    ParameterBlock b;
    b.byte(1, 3).byte(3, 0x0A).byte(5, 5).byte(6, 0x00).byte(7, 0x0B).byte(15, 0x0F);
    b.limits(1, 0x83, 0xE8, 0x03, 0xE8);
    b.limits(2, 0xCE, 0x20, 0x4E, 0x20);
    b.channel(1, "000", "Temp ", '1', '1', "0      ", "100    ");
    b.channel(2, "021", "     ", '0', '2', "-50    ", "50     ");
    b.channel(3, "006", "Pres ", '9', '7', "0      ", "10     ");
    b.channel(4, "019", "Loop\xB0", 'A', '3', "4      ", "20     ");
    b.put(142, "KV12345678");
    return b;
}

TEST(Conversions, ModelByteMapsToFourFamilies) {
    const struct {
        int byte;
        int model;
    } cases[] = {{0, 1},  {1, 1},  {2, 3},  {3, 3},  {4, 4},  {5, 5},  {6, 1},  {7, 1},   {8, 1},
                 {10, 3}, {11, 3}, {12, 4}, {13, 5}, {14, 1}, {15, 1}, {16, 1}, {128, 1}, {255, 1}};
    for (const auto &c : cases)
        EXPECT_EQ(loggerModelFromByte(static_cast<unsigned char>(c.byte)), c.model)
            << "byte " << c.byte;
}

TEST(Conversions, RawWordIsSignAndMagnitude) {
    const struct {
        const char *legend;
        int high, low, value;
    } cases[] = {
        {"bit 15 set is positive", 0x83, 0xE8, 1000},
        {"bit 15 clear is negative", 0x03, 0xE8, -1000},
        {"zero without sign", 0x00, 0x00, 0},
        {"zero with sign", 0x80, 0x00, 0},
        {"largest positive", 0xFF, 0xFF, 32767},
        {"largest negative", 0x7F, 0xFF, -32767},
        {"low byte only", 0x80, 0x01, 1},
        {"window end", 0xCE, 0x20, 20000},
    };
    for (const auto &c : cases)
        EXPECT_EQ(
            decodeRawWord(static_cast<unsigned char>(c.high), static_cast<unsigned char>(c.low)),
            c.value)
            << c.legend;
}

TEST(Conversions, EveryRangeCodeMapsItsSpanOntoTheScale) {
    const struct {
        int rangeCode;
        int rawLow, rawHigh;
    } cases[] = {{0, -20000, 20000}, {1, 0, 20000},      {2, -10000, 10000}, {3, -20000, 20000},
                 {4, 0, 20000},      {5, -10000, 10000}, {6, -20000, 20000}, {7, 0, 20000},
                 {8, -10000, 10000}, {9, 0, 20000},      {10, 4000, 20000}};
    for (const auto &c : cases) {
        LoggerParameters p;
        p.loggerModel = 3;
        p.channels[2].rangeCode = c.rangeCode;
        p.channels[2].scaleStart = "-5     ";
        p.channels[2].scaleEnd = "15     ";
        computeScaling(p);
        const ChannelParameters &ch = p.channels[2];
        EXPECT_NEAR(c.rawLow * ch.gain + ch.offset, -5.0, 1e-9) << "range " << c.rangeCode;
        EXPECT_NEAR(c.rawHigh * ch.gain + ch.offset, 15.0, 1e-9) << "range " << c.rangeCode;
    }
}

TEST(Conversions, TwoChannelLoggersScaleInTheLogger) {
    for (int model : {4, 5}) {
        LoggerParameters p;
        p.loggerModel = model;
        p.channels[1].scaleStart = "0";
        p.channels[1].scaleEnd = "100";
        computeScaling(p);
        EXPECT_DOUBLE_EQ(p.channels[1].gain, 0.1) << model;
        EXPECT_DOUBLE_EQ(p.channels[1].offset, -20.0) << model;
        EXPECT_DOUBLE_EQ(p.channels[2].gain, 1.0) << model;
        EXPECT_DOUBLE_EQ(p.channels[2].offset, 0.0) << model;
    }
}

TEST(Conversions, ValueTextsAreSevenCharactersWide) {
    const struct {
        const char *legend;
        double value;
        int decimals;
        const char *text;
    } cases[] = {
        {"no decimals keeps the point", 23, 0, "+00023."},
        {"one decimal", 23.5, 1, "+0023.5"},
        {"two decimals, negative", -12.4, 2, "-012.40"},
        {"three decimals round half up", 1.2345, 3, "+01.235"},
        {"four decimals", 0.12345, 4, "+0.1235"},
        {"half rounds away from zero", -0.25, 1, "-0000.3"},
        {"product landing beside the half", 235 * 0.1, 0, "+00024."},
        {"zero", 0, 1, "+0000.0"},
        {"negative rounding to zero is +0", -0.04, 1, "+0000.0"},
        {"negative rounding to zero, four decimals", -0.00004, 4, "+0.0000"},
        {"negative rounding to zero, no decimals", -0.4, 0, "+00000."},
        {"too wide: decimals give way", 12345.6, 1, "+12346."},
        {"too wide negative", -12345.6, 1, "-12346."},
        {"rounding up into a new digit", 999.995, 2, "+1000.0"},
        {"too wide for the point", 123456.7, 1, "+123457"},
        {"too wide for any fixed text", 1234567, 1, "+1.23E6"},
        {"too wide negative exponent text", -98765432, 0, "-9.88E7"},
    };
    for (const auto &c : cases) {
        const std::string text = formatValue(c.value, c.decimals, valueWidth);
        EXPECT_EQ(text, c.text) << c.legend;
        EXPECT_EQ(text.size(), valueWidth) << c.legend;
    }
}

TEST(Conversions, RainTextsAreFifteenCharactersWide) {
    const struct {
        const char *legend;
        double amount;
        int decimals;
        const char *text;
    } cases[] = {
        {"nothing fell", 0, 1, "+000000000000.0"},
        {"one decimal", 123.4, 1, "+000000000123.4"},
        {"no decimals", 123.4, 0, "+0000000000123."},
        {"four decimals", 1.5, 4, "+000000001.5000"},
        {"full counter at a large factor", 4294967295.0 * 1000, 1, "+4294967295000."},
    };
    for (const auto &c : cases) {
        const std::string text = formatRain(c.amount, c.decimals);
        EXPECT_EQ(text, c.text) << c.legend;
        EXPECT_EQ(text.size(), rainWidth) << c.legend;
    }
}

TEST(Conversions, ReadingsOutsideTheRawWindowAreMissing) {
    ChannelParameters loop;
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
        {"upper window end is a reading", plain, 20000, 0, "+20000."},
        {"lower window end is a reading", plain, -20000, 0, "-20000."},
        {"one above the window", plain, 20001, 1, MISSING_READING},
        {"one below the window", plain, -20001, 1, MISSING_READING},
        {"4-20 mA loop at 4 mA", loop, 4000, 1, "+0000.0"},
        {"4-20 mA loop at 20 mA", loop, 20000, 1, "+0020.0"},
        {"below the loop's start", loop, 0, 1, "-0005.0"},
        {"invalid decimals code: as many decimals as fit", plain, 235, -1, "+235.00"},
        {"invalid decimals code, small value", loop, 4280, -1, "+0.3500"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(formatReading(c.raw, c.channel, c.decimals), c.text) << c.legend;
}

TEST(Conversions, NumericTextsAreTellable) {
    const struct {
        const char *text;
        bool numeric;
    } cases[] = {{"+0023.5", true},  {"+00023.", true}, {"+1.23E6", true},  {" 5 ", true},
                 {"-------", false}, {"", false},       {"       ", false}, {"+1.2E", false},
                 {"12a", false},     {".", false},      {"+", false},       {"-.5", true}};
    for (const auto &c : cases)
        EXPECT_EQ(isNumericText(c.text), c.numeric) << '"' << c.text << '"';
}

TEST(Conversions, UnitListHoldsThirtyNineUnits) {
    EXPECT_EQ(unitList.size(), 39u);
    const struct {
        long long index;
        const char *unit;
    } cases[] = {{0, "°C"},    {2, "µE"}, {14, "Km/h"}, {29, "ohm"},
                 {38, "W/m2"}, {39, ""},  {-1, ""},     {999, ""}};
    for (const auto &c : cases)
        EXPECT_EQ(unitText(c.index), c.unit) << "index " << c.index;
}

TEST(Conversions, FourChannelBlockDecodes) {
    const auto decoded = decodeParameterBlock(fourChannelBlock().bytes);
    ASSERT_TRUE(decoded);
    const LoggerParameters &p = decoded->parameters;
    EXPECT_EQ(p.loggerModel, 3);
    EXPECT_EQ(p.samplingCode, 5);
    EXPECT_EQ(p.memoryPointer, "00011");
    EXPECT_EQ(p.loggerSerial, "KV12345678");
    EXPECT_FALSE(decoded->rainFactor);

    const struct {
        int channel;
        int enabled, limitAlarm;
        const char *unit, *name;
        int rangeCode, decimals;
        const char *high, *low;
    } channels[] = {
        {1, 1, 1, "°C", "Temp ", 1, 1, "+0005.0", "-0005.0"},
        {2, 1, 0, "mm", "Ch. 2", 0, 2, "+050.00", "-050.00"},
        {3, 1, 1, "bar", "Pres ", 9, -1, "-4.1120", "-4.1120"},
        {4, 1, 0, "mA", "Loop°", 10, 3, "-08.224", "-08.224"},
    };
    for (const auto &c : channels) {
        const ChannelParameters &ch = p.channels[c.channel];
        EXPECT_EQ(ch.enabled, c.enabled) << c.channel;
        EXPECT_EQ(ch.limitAlarm, c.limitAlarm) << c.channel;
        EXPECT_EQ(ch.unitText, c.unit) << c.channel;
        EXPECT_EQ(ch.name, c.name) << c.channel;
        EXPECT_EQ(ch.rangeCode, c.rangeCode) << c.channel;
        EXPECT_EQ(ch.decimals, c.decimals) << c.channel;
        EXPECT_EQ(ch.highLimit, c.high) << c.channel;
        EXPECT_EQ(ch.lowLimit, c.low) << c.channel;
    }
}

TEST(Conversions, BlockFieldsAtTheirEdges) {
    const struct {
        const char *legend;
        ParameterBlock block;
        int model, samplingCode;
        const char *memoryPointer;
        int enabled3, limitAlarm2;
    } cases[] = {
        {"sampling code above 13 is 13", fourChannelBlock().byte(5, 200), 3, 13, "00011", 1, 0},
        {"largest memory pointer", fourChannelBlock().byte(6, 0xFF).byte(7, 0xFF), 3, 5, "65535", 1,
         0},
        {"empty memory", fourChannelBlock().byte(6, 0).byte(7, 1), 3, 5, "00001", 1, 0},
        {"two-channel model ignores bits 1 and 0", fourChannelBlock().byte(1, 1), 1, 5, "00011", 0,
         0},
        {"limit bit of a disabled channel", fourChannelBlock().byte(15, 0x08).byte(3, 0x04), 3, 5,
         "00011", 0, 0},
        {"limit bit of an enabled channel", fourChannelBlock().byte(3, 0x04), 3, 5, "00011", 1, 1},
    };
    for (const auto &c : cases) {
        const auto decoded = decodeParameterBlock(c.block.bytes);
        ASSERT_TRUE(decoded) << c.legend;
        const LoggerParameters &p = decoded->parameters;
        EXPECT_EQ(p.loggerModel, c.model) << c.legend;
        EXPECT_EQ(p.samplingCode, c.samplingCode) << c.legend;
        EXPECT_EQ(p.memoryPointer, c.memoryPointer) << c.legend;
        EXPECT_EQ(p.channels[3].enabled, c.enabled3) << c.legend;
        EXPECT_EQ(p.channels[2].limitAlarm, c.limitAlarm2) << c.legend;
    }
}

TEST(Conversions, ChannelRecordTextsAtTheirEdges) {
    const struct {
        const char *legend;
        const char *unit;
        char range, decimals;
        const char *expectedUnit;
        int rangeCode, decimalsValue;
    } cases[] = {
        {"last unit", "038", '1', '4', "W/m2", 1, 4},
        {"unit index past the list", "039", '1', '0', "", 1, 0},
        {"unit index not a number", "abc", '1', '0', "°C", 1, 0},
        {"negative unit index", "-01", '1', '0', "", 1, 0},
        {"lower-case range letter", "000", 'a', '1', "°C", 0, 1},
        {"range not a digit", "000", '?', '1', "°C", 0, 1},
        {"decimals digit 5 is invalid", "000", '2', '5', "°C", 2, -1},
    };
    for (const auto &c : cases) {
        const auto decoded = decodeParameterBlock(
            fourChannelBlock().channel(1, c.unit, "Temp ", c.range, c.decimals, "0", "100").bytes);
        ASSERT_TRUE(decoded) << c.legend;
        const ChannelParameters &ch = decoded->parameters.channels[1];
        EXPECT_EQ(ch.unitText, c.expectedUnit) << c.legend;
        EXPECT_EQ(ch.rangeCode, c.rangeCode) << c.legend;
        EXPECT_EQ(ch.decimals, c.decimalsValue) << c.legend;
    }
}

TEST(Conversions, TwoChannelLoggersReadTwoRecordsAndTheRainFactor) {
    for (int modelByte : {4, 5}) {
        ParameterBlock b = fourChannelBlock();
        b.byte(1, modelByte);
        b.channel(1, "000", "     ", '3', '3', "0", "100");
        b.channel(2, "021", "     ", '3', '3', "0.2    ", "100");
        b.limits(1, 0x82, 0x58, 0x00, 0x00); // +600 raw = 40.0 °C
        const auto decoded = decodeParameterBlock(b.bytes);
        ASSERT_TRUE(decoded) << modelByte;
        const LoggerParameters &p = decoded->parameters;
        EXPECT_EQ(p.channels[1].name, "Temp");
        EXPECT_EQ(p.channels[2].name, "Pluv");
        EXPECT_EQ(p.channels[1].rangeCode, 0);
        EXPECT_EQ(p.channels[2].decimals, 1);
        EXPECT_EQ(p.channels[1].highLimit, "+0040.0");
        EXPECT_EQ(p.channels[1].lowLimit, "-0020.0");
        EXPECT_EQ(p.channels[3].enabled, 0);
        ASSERT_TRUE(decoded->rainFactor);
        EXPECT_EQ(*decoded->rainFactor, "0.2    ");
    }
}

TEST(Conversions, IncompleteAnswersAreFailedReads) {
    const struct {
        const char *legend;
        std::string reply;
    } cases[] = {
        {"nothing", ""},
        {"only blanks", std::string(151, ' ')},
        {"one character short", fourChannelBlock().bytes.substr(0, 150)},
        {"cut after the binary fields", fourChannelBlock().bytes.substr(0, 33)},
    };
    for (const auto &c : cases)
        EXPECT_FALSE(decodeParameterBlock(c.reply)) << c.legend;
}

} // namespace
} // namespace vantrell
