#include "loggerdata/Readings.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace vantrell {
namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

// An 8-byte record (models 1 and 4) at 09:mm on 03-02-26 with two channel words.
std::string shortRecord(int minute, int c1High, int c1Low, int c2High = 0x80, int c2Low = 0) {
    return bytes({minute, 0x09, 0x83, 0x62, c1High, c1Low, c2High, c2Low});
}

// A 16-byte record (models 3 and 5) at 09:05 on 03-02-26 with four channel words.
std::string longRecord(std::initializer_list<int> words) {
    std::string out = bytes({0x05, 0x09, 0x83, 0x62});
    for (int w : words)
        out += bytes({w >> 8, w & 0xFF});
    out.resize(16, '\0');
    return out;
}

LoggerParameters plainLogger(int model, int samplingCode = 5) {
    LoggerParameters p;
    p.loggerModel = model;
    p.samplingCode = samplingCode;
    for (int c = 1; c <= 4; ++c) {
        p.channels[c].enabled = 1;
        p.channels[c].gain = 0.1;
        p.channels[c].offset = 0;
        p.channels[c].decimals = 1;
        p.channels[c].highLimit = "+2000.0";
        p.channels[c].lowLimit = "-2000.0";
    }
    if (model == 4 || model == 5) {
        p.channels[1].offset = -20;
        p.channels[2].gain = 1;
    }
    return p;
}

std::vector<Reading> decodeAll(const LoggerParameters &p, const std::vector<std::string> &records,
                               std::string_view rainFactor = "0.2") {
    RecordDecoder decoder(p, rainFactor);
    std::vector<Reading> out;
    for (const auto &r : records)
        out.push_back(decoder.decode(r));
    return out;
}

TEST(RecordDecoder, SecondsCountWithinAMinuteAtFastSampling) {
    const struct {
        const char *legend;
        int samplingCode;
        std::vector<int> minutes;
        std::vector<std::string> times;
    } cases[] = {
        {"every 10 s", 0, {0x10, 0x10, 0x11}, {"09:10:00", "09:10:10", "09:11:00"}},
        {"every 20 s", 1, {0x10, 0x10, 0x10}, {"09:10:00", "09:10:20", "09:10:40"}},
        {"every 30 s",
         2,
         {0x10, 0x10, 0x11, 0x11},
         {"09:10:00", "09:10:30", "09:11:00", "09:11:30"}},
        {"slow sampling has no seconds", 3, {0x10, 0x10}, {"09:10:00", "09:10:00"}},
        {"an empty record restarts the count",
         0,
         {0x10, 0xFF, 0x10, 0x10},
         {"09:10:00", "", "09:10:00", "09:10:10"}},
        {"the first record starts at 00 even after another memory", 0, {0x10}, {"09:10:00"}},
    };
    for (const auto &c : cases) {
        std::vector<std::string> records;
        for (int m : c.minutes)
            records.push_back(shortRecord(m, 0x80, 0x00));
        const auto readings = decodeAll(plainLogger(1, c.samplingCode), records);
        for (std::size_t i = 0; i < readings.size(); ++i)
            EXPECT_EQ(readings[i].time, c.times[i]) << c.legend << ", record " << i + 1;
    }
}

TEST(RecordDecoder, DateAndTimeCarryTheLoggerDigitsAsTheyAre) {
    const struct {
        const char *legend;
        std::string record;
        const char *date;
        const char *time;
    } cases[] = {
        {"year digits in the top bits", bytes({0x30, 0x14, 0x95, 0x83, 0x80, 0, 0x80, 0}),
         "15-03-28", "14:30:00"},
        {"first day of a decade", bytes({0x00, 0x00, 0x01, 0x01, 0x80, 0, 0x80, 0}), "01-01-00",
         "00:00:00"},
        {"BCD digit above 9 shows as it is", bytes({0x5A, 0x1A, 0x3F, 0x0D, 0x80, 0, 0x80, 0}),
         "3F-13-00", "1A:5A:00"},
        {"year units above 9 keep the date at 8 characters",
         bytes({0x00, 0x00, 0xC1, 0xFC, 0x80, 0, 0x80, 0}), "01-12-31", "00:00:00"},
    };
    for (const auto &c : cases) {
        const auto r = decodeAll(plainLogger(1), {c.record}).front();
        EXPECT_EQ(r.date, c.date) << c.legend;
        EXPECT_EQ(r.time, c.time) << c.legend;
    }
}

TEST(RecordDecoder, ChannelValuesFollowTheModel) {
    const struct {
        const char *legend;
        int model;
        std::string record;
        std::array<const char *, 4> values;
    } cases[] = {
        {"two analog channels",
         1,
         shortRecord(0, 0x80, 235, 0x00, 12),
         {"+0023.5", "-0001.2", "", ""}},
        {"four analog channels",
         3,
         longRecord({0x8000 | 235, 12, 0x8000 | 20000, 20001}),
         {"+0023.5", "-0001.2", "+2000.0", "-------"}},
        {"temperature logger",
         4,
         shortRecord(0, 0x82, 0x58, 0x80, 12),
         {"+0040.0", "+0012.0", "", ""}},
        {"rain counter over two words",
         5,
         longRecord({0x8000 | 600, 0x000A, 0x0001}),
         {"+0040.0", "+000000013109.2", "", ""}},
        {"rain counter ignores the raw window",
         5,
         longRecord({0x8000, 0xFFFF, 0xFFFF}),
         {"-0020.0", "+000858993459.0", "", ""}},
        {"a byte 13 in a reading is data",
         1,
         shortRecord(0, 0x80, 13),
         {"+0001.3", "+0000.0", "", ""}},
    };
    for (const auto &c : cases) {
        const auto r = decodeAll(plainLogger(c.model), {c.record}).front();
        for (int ch = 1; ch <= 4; ++ch)
            EXPECT_EQ(r.values[ch], c.values[ch - 1]) << c.legend << ", channel " << ch;
    }
}

TEST(RecordDecoder, ChannelsNotSampledHaveNoValues) {
    for (int model : {1, 3, 4, 5}) {
        LoggerParameters p = plainLogger(model);
        p.channels[2].enabled = 0;
        const auto r = decodeAll(p, {model == 3 || model == 5 ? longRecord({0x8001, 0x8001})
                                                              : shortRecord(0, 0x80, 1)})
                           .front();
        EXPECT_NE(r.values[1], "") << "model " << model;
        EXPECT_EQ(r.values[2], "") << "model " << model;
    }
}

TEST(RecordDecoder, RecordsThatCannotBeDecodedGiveEmptyEntries) {
    const struct {
        const char *legend;
        int model;
        std::string record;
    } cases[] = {
        {"erased cell", 1, std::string(8, '\xFF')},
        {"one byte short", 1, shortRecord(0, 0x80, 1).substr(0, 7)},
        {"one byte long", 1, shortRecord(0, 0x80, 1) + "x"},
        {"short record on a long-record model", 3, shortRecord(0, 0x80, 1)},
        {"nothing at all", 3, ""},
    };
    for (const auto &c : cases) {
        const auto r = decodeAll(plainLogger(c.model), {c.record}).front();
        EXPECT_EQ(r.date, "") << c.legend;
        EXPECT_EQ(r.time, "") << c.legend;
        for (int ch = 1; ch <= 4; ++ch)
            EXPECT_EQ(r.values[ch], "") << c.legend;
    }
}

TEST(RecordDecoder, LoggerLimitsAreCheckedOnAlarmedChannelsOnly) {
    const struct {
        const char *legend;
        int limitAlarm;
        const char *high, *low;
        int word;
        bool crossed;
    } cases[] = {
        {"inside the limits", 1, "+0030.0", "+0010.0", 0x8000 | 200, false},
        {"on the high limit", 1, "+0030.0", "+0010.0", 0x8000 | 300, false},
        {"above the high limit", 1, "+0030.0", "+0010.0", 0x8000 | 301, true},
        {"below the low limit", 1, "+0030.0", "+0010.0", 0x8000 | 99, true},
        {"missing reading counts as 0, below a positive low limit", 1, "+0030.0", "+0010.0", 20001,
         true},
        {"missing reading inside limits around 0", 1, "+0030.0", "-0010.0", 20001, false},
        {"channel without limit alarm", 0, "+0030.0", "+0010.0", 0x8000 | 301, false},
    };
    for (const auto &c : cases) {
        LoggerParameters p = plainLogger(1);
        p.channels[2].limitAlarm = c.limitAlarm;
        p.channels[2].highLimit = c.high;
        p.channels[2].lowLimit = c.low;
        RecordDecoder decoder(p, "0.2");
        (void)decoder.decode(shortRecord(0, 0x80, 0, c.word >> 8, c.word & 0xFF));
        EXPECT_EQ(decoder.limitCrossed(), c.crossed) << c.legend;
    }
}

TEST(RecordDecoder, RequestAsksForAllStoredRecords) {
    const struct {
        const char *legend;
        const char *memoryPointer;
        std::size_t count;
        const char *request;
    } cases[] = {
        {"300 records", "00301", 300, "L0001012C"},
        {"empty memory", "00001", 0, "L00010000"},
        {"pointer 0 asks for nothing", "00000", 0, "L00010000"},
        {"full memory", "16401", 16400, "L00014010"},
        {"largest pointer", "65535", 65534, "L0001FFFE"},
        {"not a number", "abcde", 0, "L00010000"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(recordCountOf(c.memoryPointer), c.count) << c.legend;
        EXPECT_EQ(memoryRequest(recordCountOf(c.memoryPointer)), c.request) << c.legend;
    }
}

} // namespace
} // namespace vantrell
