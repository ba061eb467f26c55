// A whole simulated station put together from short text descriptions, as the command-line
// simulator and the demos take them: "serial=1201KV0326,model=3,records=200,position=1". The
// station is one logger on the line, or a line switch with up to eight loggers behind it; the
// device at the front is what a port (or a modem in front of it) talks to.
#pragma once

#include "sim/LineSwitch.h"
#include "sim/Logger.h"
#include "sim/World.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::sim {

struct LoggerPlan {
    int position = 0; // 1..8; 0: the next free one
    LoggerDescription description;
};

struct LoggerPlanResult {
    std::optional<LoggerPlan> plan;
    std::string error;
};

// Reads one logger description of comma-separated key=value pairs (see loggerKeysHelp()).
// `now` places the memory so that its last record lies one interval before it.
[[nodiscard]] LoggerPlanResult readLoggerText(std::string_view text, const LocalDateTime &now);
// The keys readLoggerText() knows, one per line, for --help.
std::string_view loggerKeysHelp();

struct StationPlan {
    bool withSwitch = false;
    std::vector<LoggerPlan> loggers;
    // Logger faults reach every logger, switch faults the switch; others are left to whatever
    // stands in front of the station.
    std::vector<Fault> faults;
};

// What is wrong with a plan, or an empty text. Positions left at 0 are given out here.
[[nodiscard]] std::string completePlan(StationPlan &plan);

class SimStation {
public:
    // `plan` must have passed completePlan().
    SimStation(World &world, const StationPlan &plan);

    Device &front();
    Logger *loggerAt(int position);
    LineSwitch *lineSwitch() { return switch_.get(); }
    std::vector<int> positions() const;

private:
    std::unique_ptr<LineSwitch> switch_;
    std::deque<Logger> loggers_;
    std::vector<int> positions_;
};

} // namespace vantrell::sim
