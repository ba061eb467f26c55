// The logger data steps against a simulated logger on a 9600-baud line, in virtual time; and
// record decoding beyond what the golden files show: seconds at every fast sampling code, odd
// bytes, records that cannot be decoded, the logger's own limits, and the request.
#include "loggerdata/Conversions.h"
#include "loggerdata/DataFile.h"
#include "loggerdata/LoggerCommands.h"
#include "loggerdata/MemoryTransfer.h"

#include "TestStation.h"
#include "link/Serial.h"
#include "sim/Logger.h"
#include "sim/LoggerEncoding.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace vantrell {
namespace {

using sim::FaultKind;
using Kind = sim::LoggerEvent::Kind;

using Change = std::function<void(sim::LoggerDescription &)>;

sim::LoggerDescription describe(unsigned char modelByte, std::size_t records,
                                const Change &change) {
    sim::LoggerDescription d;
    d.serial = "KV12345678";
    d.modelByte = modelByte;
    d.memory = sim::makeMemory(records, {2026, 1, 20, 8, 0, 0}, 600);
    if (change)
        change(d);
    return d;
}

Change withFault(FaultKind kind, int count) {
    return [kind, count](auto &d) { d.faults.push_back({kind, count}); };
}

// A woken logger whose parameters the station already knows.
struct LineBench : testing::TestStation {
    LineBench(unsigned char modelByte, std::size_t records, const Change &change = {})
        : logger(world, describe(modelByte, records, change)) {
        port.attach(logger);
        const auto decoded = decodeParameterBlock(sim::encodeParameterBlock(logger.description()));
        loggerResult.parameters = decoded.value().parameters;
        loggerResult.rainFactor = decoded->rainFactor;
        (void)Serial(station.line()).wakeLogger(LoggerLine::direct);
    }
    std::string lastReport() const { return progress.texts(ProgressLine::detail).back(); }

    sim::Logger logger;
};

// Every record carries carriage returns as data: in its first word's low byte and in both bytes
// of the second.
TEST(Transfer, FullMemoryTakesTheLineTimeOnly) {
    LineBench b(3, 16400, [](auto &d) {
        for (auto &record : d.memory)
            record.values = {sim::ChannelValue::raw(13), sim::ChannelValue::raw(13 * 256 + 13)};
    });
    const double start = b.world.now();
    ASSERT_TRUE(MemoryTransfer(b.station.line()).transferMemory(b.loggerResult));
    const std::vector<Reading> &readings = b.loggerResult.readings;
    ASSERT_EQ(readings.size(), 16400u);
    // 16 400 records of 16 bytes and a carriage return at about 1.04 ms a byte.
    EXPECT_NEAR(b.world.now() - start, 290.4, 2.0);
    EXPECT_EQ(b.port.sentBytesSince(start).substr(0, 11), "\x80L00014010\r");
    // 16 399 intervals of 10 minutes after the first record: 113 days, 21 h 10 min.
    EXPECT_EQ(readings.back().date + " " + readings.back().time, "14-05-26 05:10:00");
    EXPECT_EQ(b.loggerResult.records.back().substr(4, 4), "\x80\x0D\x8D\x0D");
}

TEST(Transfer, FaultsOnTheLineLeaveTheTransferIncomplete) {
    const struct {
        const char *legend;
        Change fault;
        std::size_t records;
        std::string lastText;
        std::size_t received;
    } cases[] = {
        {"logger stops after record 5", withFault(FaultKind::stopsAfterRecord, 5), 10,
         "Transfer interrupted at block no. 6", 5},
        {"record 3 one byte short", withFault(FaultKind::garbledRecord, 3), 10,
         "Transfer failed: garbled data at block no. 3", 2},
        {"logger never answers", withFault(FaultKind::silent, 0), 10,
         "Transfer failed: no answer from device", 0},
        {"empty memory asks for records 1 to 0", {}, 0, "", 0},
    };
    for (const auto &c : cases) {
        LineBench b(1, c.records, c.fault);
        b.progress.clear();
        EXPECT_EQ(MemoryTransfer(b.station.line()).transferMemory(b.loggerResult), !c.fault)
            << c.legend;
        EXPECT_EQ(b.loggerResult.records.size(), c.received) << c.legend;
        EXPECT_EQ(c.lastText.empty() ? "" : b.lastReport(), c.lastText) << c.legend;
        EXPECT_FALSE(b.port.isOpen()) << c.legend;
        EXPECT_EQ(b.loggerResult.readings.empty(), true) << c.legend;
    }
}

// A memory kept by the station: 40 records saved, the last one stamped 20-01-26 `lastTime`.
TEST(Transfer, OnlyTheRecordsAfterThoseSavedAreAskedFor) {
    const Change olderRecords = [](auto &d) {
        d.memory = sim::makeMemory(42, {2026, 1, 10, 8, 0, 0}, 600);
    };
    const Change every20s = [](auto &d) {
        d.samplingCode = 1;
        d.memory = sim::makeMemory(42, {2026, 1, 20, 8, 0, 0}, 20);
    };
    const std::string fresh = "\x80L0029002A\r";
    const struct {
        const char *legend;
        std::size_t records;
        Change change;
        const char *lastTime;
        std::string sent;
        std::size_t read;
        const char *firstTime, *lastText;
    } cases[] = {
        {"two new records", 42, {}, "14:30:00", fresh, 2, "14:40:00", "Processing block no. 2"},
        {"nothing new: nothing asked",
         40,
         {},
         "14:30:00",
         "",
         0,
         "",
         "No new records since the last one saved"},
        {"memory erased elsewhere",
         12,
         {},
         "14:30:00",
         "\x80L0001000C\r",
         12,
         "08:00:00",
         "Memory pointer 00013 below the 00041 saved: reading the whole memory"},
        {"another logger: its first new record is older", 42, olderRecords, "14:30:00",
         fresh + "\x80L0001002A\r", 42, "08:00:00",
         "First new record not after the last one saved: reading the whole memory"},
        {"20 s sampling: the seconds go on from the last record saved", 42, every20s, "08:13:00",
         fresh, 2, "08:13:20", "Processing block no. 2"},
    };
    for (const auto &c : cases) {
        LineBench b(3, c.records, c.change);
        const double start = b.world.now();
        ASSERT_TRUE(MemoryTransfer(b.station.line())
                        .transferMemory(b.loggerResult, SavedUpTo{41, "20-01-26", c.lastTime}))
            << c.legend;
        const std::vector<Reading> &readings = b.loggerResult.readings;
        EXPECT_EQ(b.port.sentBytesSince(start), c.sent) << c.legend;
        ASSERT_EQ(readings.size(), c.read) << c.legend;
        EXPECT_EQ(readings.empty() ? "" : readings.front().time, c.firstTime) << c.legend;
        EXPECT_TRUE(b.progress.contains(c.lastText)) << c.legend;
    }
}

// The memory is erased only when every record is in the data file, and the erase counts as
// done only when the logger took the command.
TEST(Transfer, EraseFollowsOnlyAWrittenFile) {
    const auto putToSleep = [](LineBench &b) {
        Serial(b.station.line()).send(std::string(1, char(sim::loggerCodes::sleep)));
        b.world.runFor(1.0);
    };
    const std::string skipped = "Erasing memory...skipped, the data are not saved";
    const std::string notDone = "Erasing memory...not done, the logger did not take the command";
    const struct {
        const char *legend;
        Change fault;
        const char *dataFolder;
        std::function<void(LineBench &)> beforeErase;
        bool written;
        std::string sent;
        bool erased;
        std::string lastText;
    } cases[] = {
        {"complete transfer", nullptr, "", nullptr, true, std::string("\x80") + "e0001\r", true,
         "Erasing memory..."},
        {"interrupted transfer", withFault(FaultKind::stopsAfterRecord, 3), "", nullptr, false, "",
         false, skipped},
        {"data folder missing", nullptr, "/gone", nullptr, false, "", false, skipped},
        {"logger asleep: no \"!\" to either attention byte", nullptr, "", putToSleep, true,
         "\x80\x80", false, notDone},
        {"port gone", nullptr, "", [](LineBench &b) { b.port.unplug(); }, true, "", false, notDone},
    };
    for (const auto &c : cases) {
        LineBench b(3, 10, c.fault);
        b.request.record[field::dataDirectory] += c.dataFolder;
        DataFile(b.station.line(), b.station.configDir())
            .transferAndSave(b.request, b.loggerResult);
        const MemorySaved saved = b.loggerResult.saved;
        const std::string path = b.loggerResult.path;
        if (c.beforeErase)
            c.beforeErase(b);
        const double start = b.world.now();
        EXPECT_EQ(LoggerCommands(b.station.line())
                      .eraseLoggerMemory(saved == MemorySaved::inFile, AnswerExpected::yes),
                  c.erased)
            << c.legend;
        b.world.runFor(1.0);
        EXPECT_EQ(!path.empty() && std::filesystem::exists(path), c.written) << c.legend;
        EXPECT_EQ(b.progress.contains(path + " saved succesfully..."), c.written) << c.legend;
        EXPECT_EQ(b.port.sentBytesSince(start), c.sent) << c.legend;
        EXPECT_EQ(b.logger.description().memory.size(), c.erased ? 0u : 10u) << c.legend;
        EXPECT_EQ(b.lastReport(), c.lastText) << c.legend;
    }
}

TEST(Transfer, ClockIsSetToThePcClock) {
    const struct {
        const char *legend;
        LocalDateTime now;
        const char *command, *dateAndTime;
    } cases[] = {
        {"year's end", {2026, 12, 31, 23, 59, 59}, "h26-12-31 23:59:59", "31-12-26 23:59:59"},
        {"morning", {2026, 2, 3, 9, 5, 0}, "h26-02-03 09:05:00", "03-02-26 09:05:00"},
    };
    for (const auto &c : cases) {
        LineBench b(1, 2);
        b.world.clock().setLocalTime(c.now);
        const double start = b.world.now();
        const LoggerClock set = LoggerCommands(b.station.line()).setLoggerClock();
        b.world.runFor(1.0); // the command is still on its way when the port closes
        EXPECT_EQ(b.port.sentBytesSince(start), std::string("\x80") + c.command + "\r") << c.legend;
        EXPECT_EQ(set.date + " " + set.time, c.dateAndTime) << c.legend;
        EXPECT_EQ(b.logger.count(Kind::clockSet), 1) << c.legend;
    }
}

// An 8-byte record: minute, hour, day and month bytes, then two channel words.
std::string record(int minute, int hour = 0x09, int day = 0x83, int month = 0x62,
                   int word2 = 0x8000) {
    return testing::bytes({minute, hour, day, month, 0x80, 0x00, word2 >> 8, word2 & 0xFF});
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

// Records that decode on their own, and records that cannot be decoded.
TEST(RecordDecoder, TimeAndDateTexts) {
    const struct {
        const char *legend;
        std::string record;
        const char *stamp; // date and time; a blank where the record cannot be decoded
    } cases[] = {
        {"year digits in the top bits", record(0x30, 0x14, 0x95, 0x83), "15-03-28 14:30:00"},
        {"BCD digits above 9 show as they are", record(0x5A, 0x1A, 0x3F, 0x0D),
         "3F-13-00 1A:5A:00"},
        {"year units above 9 keep the date at 8", record(0, 0, 0xC1, 0xFC), "01-12-31 00:00:00"},
        {"an erased cell", std::string(8, '\xFF'), " "},
        {"one byte short", record(0).substr(0, 7), " "},
        {"one byte long", record(0) + "x", " "},
        {"nothing", "", " "},
    };
    const LoggerParameters parameters = twoChannels();
    for (const auto &c : cases) {
        const Reading r = RecordDecoder(parameters, "").decode(c.record);
        EXPECT_EQ(r.date + " " + r.time, c.stamp) << c.legend;
        EXPECT_EQ(r.values[1].empty(), r.date.empty()) << c.legend;
    }
}

// Fast sampling stores several records in a minute: their seconds count on within it.
TEST(RecordDecoder, SecondsAtFastSampling) {
    const struct {
        const char *legend;
        int samplingCode;
        std::vector<int> minutes;
        const char *times;
    } cases[] = {
        {"every 20 s", 1, {0x10, 0x10, 0x11}, "09:10:00 09:10:20 09:11:00 "},
        {"every 30 s", 2, {0x10, 0x10}, "09:10:00 09:10:30 "},
        {"a minute repeated past its samplings stays within it",
         2,
         {0x10, 0x10, 0x10, 0x10},
         "09:10:00 09:10:30 09:10:30 09:10:30 "},
        {"slow sampling has no seconds", 3, {0x10, 0x10}, "09:10:00 09:10:00 "},
    };
    for (const auto &c : cases) {
        const LoggerParameters parameters = twoChannels(c.samplingCode);
        RecordDecoder decoder(parameters, "");
        std::string times;
        for (int minute : c.minutes)
            times += decoder.decode(record(minute)).time + " ";
        EXPECT_EQ(times, c.times) << c.legend;
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
        const char *legend, *memoryPointer, *request;
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
