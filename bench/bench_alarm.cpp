// The acceleration check over a long appended history: 100 000 readings with a window that
// reaches over all of them. Comparing every pair of readings would take about 5e9 comparisons
// per channel; the check must stay well under 50 ms for all four channels.
#include "NullProgress.h"
#include "RecordingDialogs.h"
#include "config/Station.h"
#include "forwarding/StationForwarding.h"
#include "sim/SimPort.h"
#include "sim/World.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace vantrell {
namespace {

constexpr int historyLength = 100000;

// Readings that wander within a band narrower than the delta, so no alarm ends a scan early.
void fillHistory(std::vector<Reading> &history) {
    history.assign(historyLength + 1, Reading{});
    for (int j = 0; j < historyLength; ++j) {
        char text[16];
        std::snprintf(text, sizeof text, "%+07.1f", 20.0 + (j * 37 % 100) / 10.0);
        for (int ch = 1; ch <= 4; ++ch)
            history[std::size_t(j)].values[ch] = text;
    }
}

void BM_AccelerationCheck(benchmark::State &state) {
    sim::World world;
    sim::VirtualEventPump pump{world};
    sim::SimPort port{world, 1};
    sim::SimPort smsPort{world, 3};
    NullProgress progress;
    RecordingDialogs dialogs;
    Station station({world.clock(), pump, port, progress, dialogs}, ".");
    std::vector<Reading> history;
    fillHistory(history);
    LoggerResult logger;
    logger.saved = MemorySaved::inFile;
    // Every reading of the history in the window, of all four channels.
    const std::string perDay = std::to_string(historyLength);
    const std::string on = "1";
    const std::string delta = "50";
    for (int ch = 1; ch <= 4; ++ch) {
        station.channelSetup.at(ch, setup::readingsPerDay) = perDay;
        station.channelSetup.at(ch, setup::accelAlarmOn) = on;
        station.channelSetup.at(ch, setup::accelDays) = on;
        station.channelSetup.at(ch, setup::accelDelta) = delta;
    }
    StationForwarding forwarding(station, {{}, {}, smsPort});
    for (auto _ : state)
        (void)forwarding.checkAccelerationAlarms({}, &station.channelSetup, logger, history);
    state.SetItemsProcessed(state.iterations() * historyLength * 4);
}
BENCHMARK(BM_AccelerationCheck)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantrell

BENCHMARK_MAIN();
