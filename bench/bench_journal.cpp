// What the journal costs a session: a full logger memory (16 400 records of four channels) into a
// fresh journal, and the same memory again, as a logger whose memory is not erased gives it at
// every session. Target: under 100 ms for the full memory, in one transaction, also with the MQTT
// publisher on.
// What a page of plots costs: the four channels of a device over 400 days of 10-minute readings,
// over the last day, week, month and the whole journal. Target: under 50 ms for the page.
#include "TenMinuteReadings.h"
#include "journal/Journal.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace vantrell {
namespace {

namespace fs = std::filesystem;

constexpr int fullMemory = 16400;

// One record every ten minutes from the first of April: a full memory is four months of summer
// time.
std::vector<Reading> loggerMemory(int records) {
    std::vector<Reading> readings = testing::tenMinuteReadings({2026, 4, 1, 8, 0, 0}, records);
    for (int k = 0; k < records; ++k)
        readings[std::size_t(k)].fullValues[1] = (k % 500) * 0.1 - 1;
    return readings;
}

struct Bench {
    Bench() : folder(fs::temp_directory_path() / "vantrell-bench-journal") {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        batch.device = 1;
        batch.serial = "KV12345678";
        for (int c = 0; c < 4; ++c)
            batch.channels[std::size_t(c)] = {true, "Kanal " + std::to_string(c + 1), "°C"};
        batch.readings = &readings;
    }
    ~Bench() { fs::remove_all(folder); }

    std::unique_ptr<Journal> freshJournal() {
        fs::remove_all(folder);
        fs::create_directories(folder);
        std::unique_ptr<Journal> journal;
        (void)Journal::open(folder / "journal.sqlite", Journal::Access::write, journal);
        return journal;
    }

    fs::path folder;
    std::vector<Reading> readings = loggerMemory(fullMemory);
    LoggerReadings batch;
};

// With a broker configured each new reading is also marked as still to go: the same target.
void recordFullMemoryIntoAFreshJournal(benchmark::State &state) {
    Bench b;
    b.batch.toPublish = state.range(0) != 0;
    StoredReadings stored;
    for (auto _ : state) {
        state.PauseTiming();
        auto journal = b.freshJournal();
        state.ResumeTiming();
        if (!journal || journal->recordReadings(b.batch, stored) ||
            stored.added != 4 * fullMemory) {
            state.SkipWithError("the memory was not stored");
            break;
        }
        state.PauseTiming();
        journal.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(recordFullMemoryIntoAFreshJournal)
    ->ArgName("mqtt")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

void recordTheSameMemoryAgain(benchmark::State &state) {
    Bench b;
    auto journal = b.freshJournal();
    StoredReadings stored;
    if (!journal || journal->recordReadings(b.batch, stored))
        state.SkipWithError("the memory was not stored");
    for (auto _ : state)
        if (!journal || journal->recordReadings(b.batch, stored) ||
            stored.alreadyKnown != 4 * fullMemory) {
            state.SkipWithError("the memory was stored twice");
            break;
        }
}
BENCHMARK(recordTheSameMemoryAgain)->Unit(benchmark::kMillisecond);

void readAPageOfFourChannels(benchmark::State &state) {
    constexpr int days = 400;
    constexpr UtcSeconds day = 86400;
    Bench b;
    b.readings = loggerMemory(days * 144);
    auto journal = b.freshJournal();
    StoredReadings stored;
    if (!journal || journal->recordReadings(b.batch, stored))
        state.SkipWithError("the readings were not stored");
    const UtcSeconds firstReading = 1775023200; // 2026-04-01 08:00 in Berlin
    const UtcSeconds end = firstReading + UtcSeconds(b.readings.size()) * 600;
    std::vector<ChannelOfDevice> channels;
    Series series;
    for (auto _ : state) {
        if (!journal || journal->channelsOfDevice(1, channels) || channels.size() != 4) {
            state.SkipWithError("the channels were not found");
            break;
        }
        for (const ChannelOfDevice &channel : channels) {
            SeriesRequest request{channel.serial, channel.channel, std::nullopt, std::nullopt,
                                  2000};
            if (state.range(0) != 0)
                request.since = end - state.range(0) * day;
            if (journal->readingSeries(request, series) || series.points.size() > 2000) {
                state.SkipWithError("the series was not read");
                break;
            }
        }
    }
}
BENCHMARK(readAPageOfFourChannels)
    ->ArgName("days")
    ->Arg(1)
    ->Arg(7)
    ->Arg(30)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantrell

BENCHMARK_MAIN();
