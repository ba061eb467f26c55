// The commands of [hooks] in vantrell.conf, and what the station tells them in their
// environment: after each session its device, schedule time, letter and the data files and
// serial numbers it read; after each schedule time's report the devices due at that time, one
// a line, with their letters on the lines beside.
#pragma once

#include "config/ConfFile.h"
#include "config/SessionRequest.h"
#include "config/Station.h"
#include "cycle/HookQueue.h"
#include "cycle/SessionResult.h"

#include <string>

namespace vantrell {

class StationHooks {
public:
    // `station` is the station's name, as the broker and the metrics know it.
    StationHooks(const HooksSettings &settings, std::string station, HookLog log,
                 const Clock &clock = systemClock());

    // A session the station's stop cut short runs none: the station is on its way out.
    void sessionEnded(const SessionRequest &request, const SessionResult &result);
    void reportSent(const Station &station, int time);
    // Until every hook queued so far has ended.
    void awaitAll() { queue_.awaitAll(); }
    // Lets the running hook end, by its time limit at the latest; those waiting do not run.
    void stop() { queue_.stop(); }

private:
    struct Told {
        std::string device, timeSlot, letter, words, files, serials;
    };
    void add(const std::filesystem::path &program, std::string name, const Told &told);

    HooksSettings settings_;
    std::string station_;
    HookQueue queue_;
};

} // namespace vantrell
