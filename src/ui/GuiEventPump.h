// The desktop program's waits: the window system runs (timers, the tray icon, the operator's
// clicks) at least every 20 ms, and between those moments the pump blocks on the port, so a
// session keeps the windows alive without spinning the CPU.
#pragma once

#include "general/Clock.h"
#include "general/EventPump.h"

namespace vantrell {

class GuiEventPump final : public EventPump {
public:
    explicit GuiEventPump(const Clock &clock) : clock_(clock) {}
    void yield(SerialPort *port, double until) override;

private:
    const Clock &clock_;
};

} // namespace vantrell
