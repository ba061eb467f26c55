#include "ui/GuiEventPump.h"

#include "general/SerialPort.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <thread>

namespace vantrell {

namespace {
// The window stays responsive when its events are looked at this often.
constexpr double eventSlice = 0.02;
} // namespace

void GuiEventPump::yield(SerialPort *port, double until) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    const double wait = std::min(eventSlice, until - clock_.monotonicSeconds());
    if (wait <= 0)
        return;
    if (port != nullptr && port->isOpen())
        port->waitReadable(wait);
    else
        std::this_thread::sleep_for(std::chrono::duration<double>(wait));
}

} // namespace vantrell
