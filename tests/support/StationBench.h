// A whole Station on a simulated line in virtual time, for the tests of every layer: the
// station's port is a SimPort, its clock the simulator's, its progress and message boxes are
// recorded.
#pragma once

#include "RecordingDialogs.h"
#include "RecordingProgress.h"
#include "config/Station.h"
#include "sim/SimPort.h"
#include "sim/World.h"

#include <algorithm>
#include <initializer_list>
#include <string>

namespace vantrell::testing {

inline std::string bytes(std::initializer_list<int> codes) {
    std::string out;
    for (int c : codes)
        out += static_cast<char>(c);
    return out;
}

struct StationBench {
    explicit StationBench(LocalDateTime start = {2026, 2, 3, 9, 5, 0},
                          std::filesystem::path configDir = ".")
        : world(start), station({world.clock(), pump, port, progress, dialogs}, configDir) {}

    sim::World world;
    sim::VirtualEventPump pump{world};
    sim::SimPort port{world, 1};
    RecordingProgress progress;
    RecordingDialogs dialogs;
    Station station;

    double now() const { return world.now(); }
    // How many times `code` went out on the line.
    std::size_t sent(char code) const {
        const std::string s = port.sentBytes();
        return std::size_t(std::count(s.begin(), s.end(), code));
    }
    // Lets the simulator finish what is on the line (answers still under way).
    void settle(double seconds = 1.0) { world.runFor(seconds); }
};

} // namespace vantrell::testing
