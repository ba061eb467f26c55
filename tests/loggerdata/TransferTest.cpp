// The logger data steps against a simulated logger on a 9600-baud line, in virtual time.
#include "loggerdata/Conversions.h"
#include "loggerdata/DataFile.h"
#include "loggerdata/Readings.h"
#include "loggerdata/Setting.h"

#include "TestStation.h"
#include "general/Text.h"
#include "link/Serial.h"
#include "sim/Logger.h"
#include "sim/LoggerEncoding.h"

#include <gtest/gtest.h>

#include <optional>

namespace vantrell {
namespace {

using Kind = sim::LoggerEvent::Kind;

sim::LoggerDescription loggerWith(unsigned char modelByte, std::size_t records) {
    sim::LoggerDescription d;
    d.serial = "KV12345678";
    d.modelByte = modelByte;
    d.memory = sim::makeMemory(records, {2026, 1, 20, 8, 0, 0}, 600);
    return d;
}

struct LineBench : testing::TestStation {
    explicit LineBench(sim::LoggerDescription description) : logger(world, std::move(description)) {
        port.attach(logger);
        const auto decoded = decodeParameterBlock(sim::encodeParameterBlock(logger.description()));
        if (decoded) {
            station.logger = decoded->parameters;
            station.rainFactor = decoded->rainFactor.value_or("");
        }
        Serial(station).wakeLogger();
    }
    sim::Logger logger;
};

TEST(Transfer, FullMemoryTakesTheLineTimeOnly) {
    LineBench bench(loggerWith(3, 16400));
    const double start = bench.world.now();
    Readings(bench.station).transferMemory();
    const double elapsed = bench.world.now() - start;

    const LoggerData &data = bench.station.data;
    ASSERT_TRUE(data.transferComplete);
    ASSERT_EQ(data.readingTable.size(), 16400u);
    // 16 400 records of 16 bytes and a carriage return at about 1.04 ms a byte.
    EXPECT_GT(elapsed, 285.0);
    EXPECT_LT(elapsed, 295.0);
    EXPECT_EQ(data.readingTable.front().date, "20-01-26");
    EXPECT_EQ(data.readingTable.front().time, "08:00:00");
    // The last record is 16 399 intervals of 10 minutes later: 113 days, 21 h 10 min.
    EXPECT_EQ(data.readingTable.back().date, "14-05-26");
    EXPECT_EQ(data.readingTable.back().time, "05:10:00");
    EXPECT_EQ(bench.port.sentBytesSince(start).substr(0, 11), "\x80L00014010\r");
}

TEST(Transfer, FaultsOnTheLineLeaveTheTransferIncomplete) {
    const struct {
        const char *legend;
        std::optional<sim::Fault> fault;
        std::size_t records;
        bool complete;
        const char *lastText;
        std::size_t received;
    } cases[] = {
        {"logger stops after record 5", sim::Fault{sim::FaultKind::stopsAfterRecord, 5}, 10, false,
         "Transfer interrupted at block no. 6", 5},
        {"record 3 one byte short", sim::Fault{sim::FaultKind::garbledRecord, 3}, 10, false,
         "Transfer failed: garbled data at block no. 3", 2},
        {"logger never answers", sim::Fault{sim::FaultKind::silent, 0}, 10, false,
         "Transfer failed: no answer from device", 0},
        {"empty memory", std::nullopt, 0, true, "", 0},
        {"one record", std::nullopt, 1, true, "Processing block no. 1", 1},
    };
    for (const auto &c : cases) {
        sim::LoggerDescription d = loggerWith(1, c.records);
        if (c.fault)
            d.faults.push_back(*c.fault);
        LineBench bench(d);
        bench.progress.clear();
        Readings(bench.station).transferMemory();
        EXPECT_EQ(bench.station.data.transferComplete, c.complete) << c.legend;
        EXPECT_EQ(bench.station.data.recordBuffer.size(), c.received) << c.legend;
        const auto texts = bench.progress.texts(ProgressLine::report);
        EXPECT_EQ(texts.empty() ? "" : texts.back(), c.lastText) << c.legend;
        EXPECT_FALSE(bench.port.isOpen()) << c.legend;
        if (!c.complete) {
            EXPECT_TRUE(bench.station.data.readingTable.empty()) << c.legend;
        }
    }
}

TEST(Transfer, CarriageReturnsInsideRecordsAreData) {
    sim::LoggerDescription d = loggerWith(1, 3);
    for (auto &record : d.memory)
        record.values = {sim::ChannelValue::raw(13), sim::ChannelValue::raw(13 * 256 + 13)};
    LineBench bench(d);
    Readings(bench.station).transferMemory();
    ASSERT_TRUE(bench.station.data.transferComplete);
    ASSERT_EQ(bench.station.data.recordBuffer.size(), 3u);
    for (const auto &record : bench.station.data.recordBuffer)
        EXPECT_EQ(record.substr(4), "\x80\x0D\x8D\x0D");
}

TEST(Transfer, ParameterReadOverTheLine) {
    const struct {
        const char *legend;
        std::optional<sim::Fault> fault;
        bool failed;
    } cases[] = {
        {"complete block", std::nullopt, false},
        {"no answer", sim::Fault{sim::FaultKind::emptyParameters, 0}, true},
        {"block cut after 40 characters", sim::Fault{sim::FaultKind::cutShort, 40}, true},
    };
    for (const auto &c : cases) {
        sim::LoggerDescription d = loggerWith(5, 2);
        if (c.fault)
            d.faults.push_back(*c.fault);
        LineBench bench(d);
        bench.station.logger = {};
        bench.station.logger.loggerSerial = "previous  ";
        bench.station.rainFactor = "9";
        Conversions(bench.station).decodeParameters();
        EXPECT_EQ(bench.station.logger.parameterReadFailed, c.failed) << c.legend;
        EXPECT_EQ(bench.station.logger.loggerSerial, c.failed ? "previous  " : "KV12345678")
            << c.legend;
        EXPECT_EQ(val(bench.station.rainFactor), c.failed ? 9.0 : 0.2) << c.legend;
    }
}

// The memory is erased only when every record is in the data file.
TEST(Transfer, EraseFollowsOnlyAWrittenFile) {
    const struct {
        const char *legend;
        std::optional<sim::Fault> fault;
        bool removeFolder;
        bool written;
    } cases[] = {
        {"complete transfer", std::nullopt, false, true},
        {"interrupted transfer", sim::Fault{sim::FaultKind::stopsAfterRecord, 3}, false, false},
        {"data folder missing", std::nullopt, true, false},
    };
    for (const auto &c : cases) {
        sim::LoggerDescription d = loggerWith(3, 10);
        if (c.fault)
            d.faults.push_back(*c.fault);
        LineBench bench(d);
        if (c.removeFolder)
            bench.station.cycleRecord()[field::dataDirectory] = (bench.folder / "gone").string();
        DataFile(bench.station).writeDataFile();
        Setting(bench.station).eraseLoggerMemory();

        const bool fileThere = std::filesystem::exists(bench.station.data.dataFilePath);
        EXPECT_EQ(fileThere, c.written) << c.legend;
        EXPECT_EQ(bench.station.data.dataFileWritten, c.written) << c.legend;
        EXPECT_EQ(bench.logger.count(Kind::erased), c.written ? 1 : 0) << c.legend;
        EXPECT_EQ(bench.logger.description().memory.size(), c.written ? 0u : 10u) << c.legend;
        EXPECT_EQ(
            bench.progress.contains(bench.station.data.dataFilePath + " saved succesfully..."),
            c.written)
            << c.legend;
        if (!c.written) {
            EXPECT_TRUE(bench.progress.contains("Erasing memory...skipped, the data are not saved"))
                << c.legend;
        }
    }
}

TEST(Transfer, EraseCommandOnTheLine) {
    LineBench bench(loggerWith(1, 2));
    bench.station.data.transferComplete = true;
    bench.station.data.dataFileWritten = true;
    const double start = bench.world.now();
    Setting(bench.station).eraseLoggerMemory();
    EXPECT_EQ(bench.port.sentBytesSince(start), "\x80"
                                                "e0001\r");
    EXPECT_EQ(bench.station.link.reply, "OK");
    EXPECT_TRUE(bench.progress.contains("Erasing memory..."));
    EXPECT_EQ(bench.logger.count(Kind::erased), 1);
}

TEST(Transfer, ClockIsSetToThePcClock) {
    const struct {
        const char *legend;
        LocalDateTime now;
        const char *command, *date, *time;
    } cases[] = {
        {"last second of a year",
         {2026, 12, 31, 23, 59, 59},
         "h26-12-31 23:59:59",
         "31-12-26",
         "23:59:59"},
        {"morning", {2026, 2, 3, 9, 5, 0}, "h26-02-03 09:05:00", "03-02-26", "09:05:00"},
    };
    for (const auto &c : cases) {
        LineBench bench(loggerWith(1, 2));
        bench.world.clock().setLocalTime(c.now);
        EXPECT_EQ(clockCommand(c.now), c.command) << c.legend;
        const double start = bench.world.now();
        Setting(bench.station).setLoggerClock();
        bench.world.runFor(1.0); // the command is still on its way when the port closes
        EXPECT_EQ(bench.port.sentBytesSince(start), std::string("\x80") + c.command + "\r")
            << c.legend;
        EXPECT_EQ(bench.station.link.loggerDate, c.date) << c.legend;
        EXPECT_EQ(bench.station.link.loggerTime, c.time) << c.legend;
        EXPECT_EQ(bench.station.link.handshakeOk, 0) << c.legend;
        EXPECT_EQ(bench.logger.count(Kind::clockSet), 1) << c.legend;
    }
}

} // namespace
} // namespace vantrell
