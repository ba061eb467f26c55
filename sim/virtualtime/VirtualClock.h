// Time that moves only when told to, for the simulator and for tests: a 70-second dial time-out
// or a five-minute memory transfer costs no real time. It is no part of the station, which only
// ever sees the Clock interface.
#pragma once

#include "general/Clock.h"

#include <atomic>

namespace vantrell {

// Local time runs with the monotonic seconds from a chosen starting moment. One thread moves it;
// others may read it and wait on it.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(LocalDateTime start = {2026, 2, 3, 9, 5, 0}) : start_(start) {}

    double monotonicSeconds() const override { return now_; }
    LocalDateTime localNow() const override;
    // Ends when `done()` holds or the time has been moved to `until`: by another thread, or by the
    // wait itself once jumpWhenWaited was called (a thread alone with its clock has nobody else to
    // move it).
    bool waitUntil(std::condition_variable &wake, std::unique_lock<std::mutex> &lock, double until,
                   const std::function<bool()> &done) const override;

    void advanceTo(double t) {
        if (t > now_)
            now_ = t;
    }
    void advanceBy(double seconds) { advanceTo(now_ + seconds); }
    void jumpWhenWaited() { jumps_ = true; }
    // Moves the calendar without moving the monotonic time, as a user changing the PC clock would.
    void setLocalTime(LocalDateTime now);

private:
    // Moved by a wait too, where the clock jumps.
    mutable std::atomic<double> now_ = 0.0;
    bool jumps_ = false;
    LocalDateTime start_;
    double startOffset_ = 0.0;
};

} // namespace vantrell
