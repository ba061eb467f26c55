#include "sim/World.h"

#include "general/SerialPort.h"

#include <algorithm>

namespace vantrell::sim {

void World::at(double time, std::function<void()> action) {
    events_.push({time, sequence_++, std::move(action)});
}

double World::nextEventTime() const {
    return events_.empty() ? std::numeric_limits<double>::infinity() : events_.top().time;
}

void World::runUntil(double time) {
    while (!events_.empty() && events_.top().time <= time) {
        Event e = events_.top();
        events_.pop();
        clock_.advanceTo(e.time);
        e.action();
    }
    clock_.advanceTo(time);
}

void VirtualEventPump::yield(SerialPort *port, double until) {
    if (port != nullptr && port->bytesWaiting() > 0)
        return;
    world_.runUntil(std::max(std::min(world_.nextEventTime(), until), world_.now()));
}

void ByteChannel::send(std::string_view bytes) {
    for (unsigned char b : bytes) {
        freeAt_ = std::max(world_.now(), freeAt_) + byteTime;
        world_.at(freeAt_, [this, b] { sink_(b); });
    }
}

} // namespace vantrell::sim
