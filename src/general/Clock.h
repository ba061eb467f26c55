// Time as the station needs it: monotonic seconds for every elapsed-time wait (a wait that spans
// midnight must still end after its limit) and the local calendar time for marks, file names and
// logger clock checks. Tests and the simulator put a virtual clock behind it, so that protocol
// waits cost no real time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

namespace vantrell {

struct LocalDateTime {
    int year = 2000; // four digits
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const LocalDateTime &) const = default;
    std::chrono::local_seconds toLocalSeconds() const;
    static LocalDateTime fromLocalSeconds(std::chrono::local_seconds t);
    LocalDateTime plusSeconds(long long seconds) const;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since an arbitrary start; never goes back, never wraps.
    virtual double monotonicSeconds() const = 0;
    virtual LocalDateTime localNow() const = 0;
    // Waits on `wake` (with `lock` held, as a condition variable wants it) until `done()` holds or
    // the monotonic time reaches `until`; true when done. The threads beside the loop wait through
    // their clock, so that tests run their pauses and time limits in virtual time.
    virtual bool waitUntil(std::condition_variable &wake, std::unique_lock<std::mutex> &lock,
                           double until, const std::function<bool()> &done) const = 0;
};

class SystemClock final : public Clock {
public:
    double monotonicSeconds() const override;
    LocalDateTime localNow() const override;
    bool waitUntil(std::condition_variable &wake, std::unique_lock<std::mutex> &lock, double until,
                   const std::function<bool()> &done) const override;
};

// The one real clock, for whatever is not handed another.
const Clock &systemClock();

// A time limit that starts when made: started, expired, remaining.
class Deadline {
public:
    Deadline(const Clock &clock, double seconds)
        : clock_(&clock), limit_(seconds), start_(clock.monotonicSeconds()) {}

    void restart() { start_ = clock_->monotonicSeconds(); }
    double end() const { return start_ + limit_; }
    double elapsed() const { return clock_->monotonicSeconds() - start_; }
    bool expired() const { return clock_->monotonicSeconds() >= end(); }
    double remaining() const { return expired() ? 0.0 : end() - clock_->monotonicSeconds(); }

private:
    const Clock *clock_;
    double limit_;
    double start_;
};

} // namespace vantrell
