#include "config/Station.h"

#include "general/Clock.h"
#include "general/EventPump.h"

namespace vantrell {

Station::Station(StationServices services, std::filesystem::path configDir)
    : services_(services), configDir_(std::move(configDir)),
      line_(services.port, services.clock, services.pump, services.progress,
            session.stopRequested) {}

std::optional<int> Station::deviceInSession() const {
    if (session.device == 0)
        return std::nullopt;
    return session.device;
}

} // namespace vantrell
