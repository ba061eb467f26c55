// What the MQTT publisher costs, against a real mosquitto broker on this machine.
//
// A full logger memory (16 400 records of four channels) published at QoS 1: wall time from the
// publisher's start (its connection included) to the broker's last acknowledgement, target under
// 1 s, and the CPU time of the publisher's thread, target under 150 ms.
//
// A reading session meets the publisher only where it records its readings in the journal (and
// in a notification that returns at once), so the session's share is measured there: a full
// memory recorded while the publisher works through a backlog against a broker that is up, and
// while it keeps trying one that is down. The two must not differ.
#include "TenMinuteReadings.h"
#include "journal/Journal.h"
#include "publish/MqttPublisher.h"
#include "tests/publish/MqttTestBroker.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace vantrell {
namespace {

namespace fs = std::filesystem;

constexpr int fullMemory = 16400;
constexpr double patience = 30;

struct Bench {
    Bench() {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        settings.url = broker.url();
        settings.station = "bench";
        settings.clientId = "vantrell-bench";
    }

    bool freshJournal() {
        journal.reset();
        fs::remove_all(folder.path() / "journal");
        fs::create_directories(folder.path() / "journal");
        return !Journal::open(file, Journal::Access::write, journal);
    }

    // A full memory from `first`, marked as still to go.
    bool record(LocalDateTime first) {
        const std::vector<Reading> readings = testing::tenMinuteReadings(first, fullMemory);
        LoggerReadings batch;
        batch.device = 1;
        batch.serial = "KV12345678";
        for (int c = 0; c < 4; ++c)
            batch.channels[std::size_t(c)] = {true, "Kanal " + std::to_string(c + 1), "°C"};
        batch.readings = &readings;
        batch.toPublish = true;
        StoredReadings stored;
        return !journal->recordReadings(batch, stored) && stored.added > 0;
    }

    std::unique_ptr<MqttPublisher> publisher() {
        return std::make_unique<MqttPublisher>(file, settings, folder.path(),
                                               [](LogPriority, const std::string &) {});
    }

    testing::TempFolder folder;
    fs::path file = folder.path() / "journal" / "journal.sqlite";
    testing::TestBroker broker;
    MqttSettings settings;
    std::unique_ptr<Journal> journal;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void publishFullMemory(benchmark::State &state) {
    Bench b;
    if (!b.broker.start()) {
        state.SkipWithError("no broker");
        return;
    }
    double cpu = 0;
    for (auto _ : state) {
        if (!b.freshJournal() || !b.record({2026, 4, 1, 8, 0, 0})) {
            state.SkipWithError("the memory was not recorded");
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        auto publisher = b.publisher();
        publisher->start();
        if (!publisher->waitForAcknowledgements(patience)) {
            state.SkipWithError("not every reading was acknowledged");
            break;
        }
        state.SetIterationTime(secondsSince(start));
        cpu += publisher->threadCpuSeconds();
    }
    state.counters["thread_cpu_ms"] =
        benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
}
BENCHMARK(publishFullMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Argument 1: the broker is up and the publisher busy with a backlog of a full memory; 0: the
// broker is down.
void recordWhilePublishing(benchmark::State &state) {
    Bench b;
    const bool brokerUp = state.range(0) != 0;
    if ((brokerUp && !b.broker.start()) || !b.freshJournal()) {
        state.SkipWithError("no broker or journal");
        return;
    }
    auto publisher = b.publisher();
    publisher->start();
    LocalDateTime first{2026, 4, 1, 8, 0, 0};
    for (auto _ : state) {
        state.PauseTiming();
        // A backlog for the publisher to work on while the session records.
        if (brokerUp && !b.record(first)) {
            state.SkipWithError("the backlog was not recorded");
            break;
        }
        first = first.plusSeconds(fullMemory * 600LL);
        publisher->sessionEnded();
        state.ResumeTiming();
        if (!b.record(first)) {
            state.SkipWithError("the memory was not recorded");
            break;
        }
        first = first.plusSeconds(fullMemory * 600LL);
    }
}
BENCHMARK(recordWhilePublishing)
    ->ArgName("broker_up")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace
} // namespace vantrell

BENCHMARK_MAIN();
