#include "general/EventPump.h"

#include "general/SerialPort.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace vantrell {

// Long enough to keep an idle station near 0 % CPU, short enough that a stop request is
// honoured at once.
constexpr double blockingSlice = 0.2;

void BlockingEventPump::yield(SerialPort *port, double until) {
    const double wait = std::min(blockingSlice, until - clock_.monotonicSeconds());
    if (wait <= 0)
        return;
    if (port != nullptr && port->isOpen()) {
        port->waitReadable(wait);
        return;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(wait));
}

} // namespace vantrell
