// Every wait of the station is a polling wait that lets the rest of the world move on: the
// window system in the desktop program, the simulator's events in tests. A pump decides how
// the time between two polls passes.
#pragma once

#include "general/Clock.h"

namespace vantrell {

class SerialPort;

class EventPump {
public:
    virtual ~EventPump() = default;
    // Lets the world move on until the monotonic time `until` at the latest. Returns earlier
    // when `port` (which may be null) has bytes waiting, or when there is something to look at.
    virtual void yield(SerialPort *port, double until) = 0;
};

// For programs without a window system: blocks on the port (or sleeps) in short slices, so an
// idle station uses no CPU and a signal is noticed quickly.
class BlockingEventPump final : public EventPump {
public:
    explicit BlockingEventPump(const Clock &clock) : clock_(clock) {}
    void yield(SerialPort *port, double until) override;

private:
    const Clock &clock_;
};

} // namespace vantrell
