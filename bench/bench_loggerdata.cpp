// How much of a session the station's own work costs next to the line: decoding and writing a
// full memory, reading back a long history file, and a full transfer over the simulated line
// (which takes about 290 s of virtual time).
#include "NullProgress.h"
#include "RecordingDialogs.h"
#include "config/Station.h"
#include "link/Serial.h"
#include "loggerdata/Conversions.h"
#include "loggerdata/DataFile.h"
#include "loggerdata/MemoryTransfer.h"
#include "sim/Logger.h"
#include "sim/LoggerEncoding.h"
#include "sim/SimPort.h"
#include "sim/World.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

namespace vantrell {
namespace {

namespace fs = std::filesystem;

sim::LoggerDescription fullLogger(std::size_t records) {
    sim::LoggerDescription d;
    d.serial = "KV12345678";
    d.modelByte = 3;
    d.memory = sim::makeMemory(records, {2026, 1, 20, 8, 0, 0}, 600);
    for (auto &channel : d.channels)
        channel.limitAlarm = true;
    return d;
}

struct Bench {
    explicit Bench(const char *name) : folder(fs::temp_directory_path() / name) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        device.serialNumber(1) = "KV12345678";
        device[field::dataDirectory] = folder.string();
    }
    ~Bench() { fs::remove_all(folder); }

    void decodeParameters(const sim::LoggerDescription &d) {
        const auto decoded = decodeParameterBlock(sim::encodeParameterBlock(d));
        logger.parameters = decoded->parameters;
        logger.rainFactor = decoded->rainFactor;
    }

    fs::path folder;
    sim::World world{};
    sim::VirtualEventPump pump{world};
    sim::SimPort port{world};
    NullProgress progress;
    RecordingDialogs dialogs;
    Station station{{world.clock(), pump, port, progress, dialogs}, folder};
    DeviceRecord device{};
    LoggerResult logger{};
};

void processAndWriteFullMemory(benchmark::State &state) {
    Bench b("vantrell-bench-write");
    const sim::LoggerDescription d = fullLogger(16400);
    b.decodeParameters(d);
    std::vector<std::string> memory;
    for (const auto &record : d.memory)
        memory.push_back(sim::encodeRecord(record, d));
    DataFile file(b.station.line(), b.station.configDir());
    MemoryTransfer readings(b.station.line());
    const std::string path = file.dataPathFor(b.device, 1);
    bool written = true;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(path);
        b.logger.records = memory;
        state.ResumeTiming();
        readings.processMemory(b.logger);
        written = !file.saveReadings(b.device, b.logger, path).empty() && written;
    }
    if (!written)
        state.SkipWithError("the data file was not written");
}
BENCHMARK(processAndWriteFullMemory)->Unit(benchmark::kMillisecond);

void readBackLongHistory(benchmark::State &state) {
    Bench b("vantrell-bench-readback");
    b.device[field::savingMode] = std::string("1");
    b.decodeParameters(fullLogger(1));
    DataFile file(b.station.line(), b.station.configDir());
    b.logger.path = file.dataPathFor(b.device, 1);
    {
        std::ofstream out(b.logger.path, std::ios::binary);
        out << namesRecord(b.logger.parameters) << unitsRecord(b.logger.parameters)
            << std::string(62, '\0');
        Reading r;
        r.date = "03-02-26";
        r.time = "09:05:00";
        r.values = {"+0023.5", "-012.40", "+00001.", "+0.1234"};
        for (std::uint64_t k = 1; k <= 100000; ++k)
            out << asRecord(dataLine(k, r, 3));
    }
    std::size_t seen = 0;
    for (auto _ : state)
        seen = file.readBackDataFile(b.logger).size();
    if (seen != 100001)
        state.SkipWithError("the read-back did not see every record");
}
BENCHMARK(readBackLongHistory)->Unit(benchmark::kMillisecond);

// The whole transfer in virtual time: real time spent per 290 s of line time.
void transferOverTheVirtualLine(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto b = std::make_unique<Bench>("vantrell-bench-transfer");
        const sim::LoggerDescription d = fullLogger(16400);
        b->decodeParameters(d);
        sim::Logger logger(b->world, d);
        b->port.attach(logger);
        (void)Serial(b->station.line()).wakeLogger(LoggerLine::direct);
        state.ResumeTiming();
        const bool complete = MemoryTransfer(b->station.line()).transferMemory(b->logger);
        state.PauseTiming();
        if (!complete)
            state.SkipWithError("the transfer did not complete");
        b.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(transferOverTheVirtualLine)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantrell

BENCHMARK_MAIN();
