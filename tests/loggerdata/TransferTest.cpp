// The logger data steps against a simulated logger on a 9600-baud line, in virtual time.
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

TEST(Transfer, FullMemoryTakesTheLineTimeOnly) {
    LineBench b(3, 16400);
    const double start = b.world.now();
    ASSERT_TRUE(MemoryTransfer(b.station.line()).transferMemory(b.loggerResult));
    const std::vector<Reading> &readings = b.loggerResult.readings;
    ASSERT_EQ(readings.size(), 16400u);
    // 16 400 records of 16 bytes and a carriage return at about 1.04 ms a byte.
    EXPECT_NEAR(b.world.now() - start, 290.4, 2.0);
    EXPECT_EQ(b.port.sentBytesSince(start).substr(0, 11), "\x80L00014010\r");
    // 16 399 intervals of 10 minutes after the first record: 113 days, 21 h 10 min.
    EXPECT_EQ(readings.back().date + " " + readings.back().time, "14-05-26 05:10:00");
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

TEST(Transfer, CarriageReturnsInsideRecordsAreData) {
    LineBench b(1, 3, [](auto &d) {
        for (auto &record : d.memory)
            record.values = {sim::ChannelValue::raw(13), sim::ChannelValue::raw(13 * 256 + 13)};
    });
    ASSERT_TRUE(MemoryTransfer(b.station.line()).transferMemory(b.loggerResult));
    ASSERT_EQ(b.loggerResult.records.size(), 3u);
    for (const auto &record : b.loggerResult.records)
        EXPECT_EQ(record.substr(4), "\x80\x0D\x8D\x0D");
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
        {"last second of a year",
         {2026, 12, 31, 23, 59, 59},
         "h26-12-31 23:59:59",
         "31-12-26 23:59:59"},
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

} // namespace
} // namespace vantrell
