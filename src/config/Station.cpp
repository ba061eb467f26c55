#include "config/Station.h"

#include "general/Clock.h"
#include "general/EventPump.h"

namespace vantrell {

Station::Station(StationServices services, std::filesystem::path configDir)
    : services_(services), configDir_(std::move(configDir)) {}

void Station::wait(double seconds) {
    const Deadline deadline(clock(), seconds);
    while (!deadline.expired())
        pump().yield(nullptr, deadline.end());
}

void Station::recordStatus(const std::string &letter) {
    dailyMarks.at(session.dailyMarkIndex + 1, cycleDevice) = letter;
}

std::string Station::currentStatus() const {
    return dailyMarks.at(session.dailyMarkIndex + 1, cycleDevice);
}

} // namespace vantrell
