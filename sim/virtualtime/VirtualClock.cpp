#include "sim/virtualtime/VirtualClock.h"

#include <cmath>

namespace vantrell {

LocalDateTime VirtualClock::localNow() const {
    return start_.plusSeconds(static_cast<long long>(std::floor(now_ - startOffset_)));
}

void VirtualClock::setLocalTime(LocalDateTime now) {
    start_ = now;
    startOffset_ = now_;
}

} // namespace vantrell
