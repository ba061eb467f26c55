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

void Station::recordStatus(SessionStatus status) {
    restoreMark(std::string(letterOf(status)));
}

void Station::restoreMark(const std::string &mark) {
    dailyMarks.at(session.dailyMarkIndex + 1, cycleDevice) = mark;
}

std::string Station::currentStatus() const {
    return dailyMarks.at(session.dailyMarkIndex + 1, cycleDevice);
}

std::optional<int> Station::deviceInSession() const {
    if (!session.sessionRunning)
        return std::nullopt;
    return cycleDevice;
}

} // namespace vantrell
