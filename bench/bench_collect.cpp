// The line time of a whole reading session in virtual time, at 9600 baud: a logger whose memory
// the station keeps gives only its ten new records, against a first session that reads its full
// memory. The counter line_s is the virtual time from taking the line to releasing it.
#include "NullProgress.h"
#include "RecordingDialogs.h"
#include "config/ConfFile.h"
#include "config/Station.h"
#include "config/Templates.h"
#include "cycle/Session.h"
#include "cycle/StationJournal.h"
#include "forwarding/StationForwarding.h"
#include "sim/Logger.h"
#include "sim/SimPort.h"
#include "sim/World.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace vantrell {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t fullMemory = 16400;
constexpr int samplingSeconds = 600;
constexpr LocalDateTime firstRecord{2025, 10, 1, 0, 0, 0};

ConfSettings newRecordsOnly() {
    ConfSettings settings;
    settings.collect.emplace();
    return settings;
}

sim::LoggerDescription fullLogger() {
    sim::LoggerDescription d;
    d.serial = "KV12345678";
    d.memory = sim::makeMemory(fullMemory, firstRecord, samplingSeconds);
    return d;
}

// A local station with one logger, appending to its data file, over an installed configuration.
struct SessionBench {
    SessionBench() {
        fs::remove_all(folder);
        fs::create_directories(folder);
        (void)installTemplates(folder);
        DeviceRecord &device = station.devices[1];
        device[field::connection] = "locl0000";
        device[field::savingMode] = "1";
        device[field::dataDirectory] = folder.string();
        device.serialNumber(1) = "KV12345678";
        port.attach(logger);
    }
    ~SessionBench() { fs::remove_all(folder); }

    SessionResult read() {
        const DeviceRecord &device = station.devices[1];
        return session.read({1, 1, device.connection(), device});
    }

    fs::path folder = fs::temp_directory_path() / "vantrell-bench-collect";
    sim::World world{{2026, 2, 3, 9, 5, 0}};
    sim::VirtualEventPump pump{world};
    sim::SimPort port{world, 1};
    sim::SimPort smsPort{world, 3};
    NullProgress progress;
    RecordingDialogs dialogs;
    Station station{{world.clock(), pump, port, progress, dialogs}, folder};
    StationForwarding forwarding{station, {{}, {}, smsPort}};
    StationJournal journal{station, newRecordsOnly()};
    Session session{station, forwarding, &journal};
    sim::Logger logger{world, fullLogger()};
};

// `newRecords` 0: the first session, which reads the full memory; otherwise a session after one
// that saved it, the logger having stored that many records since.
void sessionLineTime(benchmark::State &state, std::size_t newRecords) {
    double lineSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto b = std::make_unique<SessionBench>();
        if (newRecords > 0) {
            (void)b->read();
            const LocalDateTime next =
                firstRecord.plusSeconds(static_cast<long long>(fullMemory * samplingSeconds));
            b->logger.store(sim::makeMemory(newRecords, next, samplingSeconds));
        }
        state.ResumeTiming();
        const SessionResult result = b->read();
        state.PauseTiming();
        if (result.mark != "X" || !result.lineSeconds)
            state.SkipWithError("the session did not save the logger");
        lineSeconds = result.lineSeconds.value_or(0);
        b.reset();
        state.ResumeTiming();
    }
    state.counters["line_s"] = lineSeconds;
}
// The line time is the same in every iteration; a few tell the real time apart from noise
// without reading the full memory first dozens of times.
BENCHMARK_CAPTURE(sessionLineTime, fullMemory, 0)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(sessionLineTime, tenNewRecords, 10)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
} // namespace vantrell

BENCHMARK_MAIN();
