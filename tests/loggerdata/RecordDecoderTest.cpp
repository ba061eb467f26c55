// Record decoding beyond what the golden files show: seconds at every fast sampling code, odd
// bytes, records that cannot be decoded, the logger's own limits, and the request.
#include "loggerdata/MemoryTransfer.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantrell {
namespace {

// An 8-byte record: minute, hour, day and month bytes, then two channel words.
std::string record(int minute, int hour = 0x09, int day = 0x83, int month = 0x62,
                   int word2 = 0x8000) {
    const int bytes[] = {minute, hour, day, month, 0x80, 0x00, word2 >> 8, word2 & 0xFF};
    std::string out;
    for (int b : bytes)
        out += static_cast<char>(b);
    return out;
}

LoggerParameters twoChannels(int samplingCode = 5) {
    LoggerParameters p;
    p.samplingCode = samplingCode;
    for (int c = 1; c <= 2; ++c) {
        p.channel(c).enabled = 1;
        p.channel(c).gain = 0.1;
        p.channel(c).decimals = 1;
    }
    return p;
}

TEST(RecordDecoder, TimeAndDateTexts) {
    const struct {
        const char *legend;
        int samplingCode;
        std::vector<std::string> records;
        std::vector<const char *> stamps; // date and time of each record
    } cases[] = {
        {"every 20 s",
         1,
         {record(0x10), record(0x10), record(0x11)},
         {"03-02-26 09:10:00", "03-02-26 09:10:20", "03-02-26 09:11:00"}},
        {"every 30 s", 2, {record(0x10), record(0x10)}, {"03-02-26 09:10:00", "03-02-26 09:10:30"}},
        {"a minute repeated past its samplings stays within it",
         2,
         {record(0x10), record(0x10), record(0x10), record(0x10)},
         {"03-02-26 09:10:00", "03-02-26 09:10:30", "03-02-26 09:10:30", "03-02-26 09:10:30"}},
        {"slow sampling has no seconds",
         3,
         {record(0x10), record(0x10)},
         {"03-02-26 09:10:00", "03-02-26 09:10:00"}},
        {"year digits in the top bits", 5, {record(0x30, 0x14, 0x95, 0x83)}, {"15-03-28 14:30:00"}},
        {"BCD digits above 9 show as they are",
         5,
         {record(0x5A, 0x1A, 0x3F, 0x0D)},
         {"3F-13-00 1A:5A:00"}},
        {"year units above 9 keep the date at 8",
         5,
         {record(0, 0, 0xC1, 0xFC)},
         {"01-12-31 00:00:00"}},
        {"an erased cell or a wrong length gives nothing",
         0,
         {std::string(8, '\xFF'), record(0).substr(0, 7), record(0) + "x", ""},
         {" ", " ", " ", " "}},
    };
    for (const auto &c : cases) {
        const LoggerParameters parameters = twoChannels(c.samplingCode);
        RecordDecoder decoder(parameters, "");
        for (std::size_t i = 0; i < c.records.size(); ++i) {
            const Reading r = decoder.decode(c.records[i]);
            EXPECT_EQ(r.date + " " + r.time, c.stamps[i]) << c.legend << ", record " << i + 1;
            if (r.date.empty()) {
                EXPECT_EQ(r.values[1], "") << c.legend;
            }
        }
    }
}

// The limits as the parameter block gives them: at full precision beside their texts.
TEST(RecordDecoder, LoggerLimitsAreCheckedOnAlarmedChannelsOnly) {
    constexpr int positive = 0x8000;
    const struct {
        const char *legend;
        int limitAlarm;
        double offset, high, low;
        int word;
        bool crossed;
    } cases[] = {
        {"inside", 1, 0, 30, 10, positive | 200, false},
        {"on the high limit", 1, 0, 30, 10, positive | 300, false},
        {"above the high limit", 1, 0, 30, 10, positive | 301, true},
        {"below the low limit", 1, 0, 30, 10, positive | 99, true},
        {"missing reading counts as 0, below a positive low limit", 1, 0, 30, 10, 20001, true},
        {"missing reading, low limit below 0", 1, 0, 30, -10, 20001, false},
        {"channel without limit alarm", 0, 0, 30, 10, positive | 301, false},
        // Both show as "+15000." in a seven-character column.
        {"14999.8 above a high limit of 14999.6", 1, 13499.8, 14999.6, 0, positive | 15000, true},
        {"14999.6 on a high limit of 14999.6", 1, 13499.6, 14999.6, 0, positive | 15000, false},
    };
    for (const auto &c : cases) {
        LoggerParameters p = twoChannels();
        p.channel(2).limitAlarm = c.limitAlarm;
        p.channel(2).offset = c.offset;
        p.channel(2).highLimitValue = c.high;
        p.channel(2).lowLimitValue = c.low;
        RecordDecoder decoder(p, "");
        const Reading r = decoder.decode(record(0, 0x09, 0x83, 0x62, c.word));
        EXPECT_EQ(decoder.limitCrossed(), c.crossed) << c.legend << " (" << r.values[2] << ")";
    }
}

TEST(RecordDecoder, RequestAsksForAllStoredRecords) {
    const struct {
        const char *legend;
        const char *memoryPointer;
        const char *request;
    } cases[] = {
        {"300 records", "00301", "L0001012C"},     {"empty memory", "00001", "L00010000"},
        {"pointer 0", "00000", "L00010000"},       {"full memory", "16401", "L00014010"},
        {"largest pointer", "65535", "L0001FFFE"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(memoryRequest(recordCountOf(c.memoryPointer)), c.request) << c.legend;
}

} // namespace
} // namespace vantrell
