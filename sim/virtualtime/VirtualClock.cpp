#include "sim/virtualtime/VirtualClock.h"

#include <cmath>

namespace vantrell {

LocalDateTime VirtualClock::localNow() const {
    return start_.plusSeconds(static_cast<long long>(std::floor(now_ - startOffset_)));
}

// Nothing notifies a waiter when the time moves, so it looks again every millisecond.
bool VirtualClock::waitUntil(std::condition_variable &wake, std::unique_lock<std::mutex> &lock,
                             double until, const std::function<bool()> &done) const {
    if (jumps_ && !done() && until > now_)
        now_ = until;
    while (!done()) {
        if (now_ >= until)
            return false;
        wake.wait_for(lock, std::chrono::milliseconds(1));
    }
    return true;
}

void VirtualClock::setLocalTime(LocalDateTime now) {
    start_ = now;
    startOffset_ = now_;
}

} // namespace vantrell
