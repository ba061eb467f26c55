// The simulator's time: a queue of events on a virtual clock. Tests jump the clock straight to
// the next event, so a 70-second time-out or a five-minute memory transfer costs no real time;
// the pseudo-terminal host runs the same queue against the real clock.
#pragma once

#include "general/EventPump.h"
#include "sim/virtualtime/VirtualClock.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <queue>
#include <vector>

namespace vantrell::sim {

// Ten bits a byte (start, 8 data, stop) at 9600 baud: about 1.04 ms.
inline constexpr double byteTime = 10.0 / 9600.0;

class World {
public:
    explicit World(LocalDateTime start = {2026, 2, 3, 9, 5, 0}) : clock_(start) {}

    VirtualClock &clock() { return clock_; }
    double now() const { return clock_.monotonicSeconds(); }

    // Runs `action` at monotonic time `time` (at once, on the next run, when it lies in the past).
    void at(double time, std::function<void()> action);
    void after(double delay, std::function<void()> action) { at(now() + delay, std::move(action)); }

    double nextEventTime() const;
    // Runs every event due up to `time`, in time order (first scheduled first among equals),
    // then leaves the clock at `time`.
    void runUntil(double time);
    void runFor(double seconds) { runUntil(now() + seconds); }

private:
    struct Event {
        double time;
        std::uint64_t sequence;
        std::function<void()> action;
        bool operator>(const Event &o) const {
            return time != o.time ? time > o.time : sequence > o.sequence;
        }
    };

    VirtualClock clock_;
    std::priority_queue<Event, std::vector<Event>, std::greater<>> events_;
    std::uint64_t sequence_ = 0;
};

// Moves the virtual clock to the next simulator event or the caller's deadline, whichever
// comes first; returns at once when the port already has bytes.
class VirtualEventPump final : public EventPump {
public:
    explicit VirtualEventPump(World &world) : world_(world) {}
    void yield(SerialPort *port, double until) override;

private:
    World &world_;
};

// One direction of a 9600-baud line: bytes leave one after another, each arriving a byte time
// after the previous one has finished.
class ByteChannel {
public:
    ByteChannel(World &world, std::function<void(unsigned char)> sink)
        : world_(world), sink_(std::move(sink)) {}

    void send(std::string_view bytes);
    // When the last byte handed in so far will have arrived.
    double idleAt() const { return freeAt_; }

private:
    World &world_;
    std::function<void(unsigned char)> sink_;
    double freeAt_ = 0.0;
};

} // namespace vantrell::sim
