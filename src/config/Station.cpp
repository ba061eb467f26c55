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

std::optional<int> Station::deviceInSession() const {
    if (session.device == 0)
        return std::nullopt;
    return session.device;
}

} // namespace vantrell
