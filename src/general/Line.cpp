#include "general/Line.h"

#include "general/Clock.h"
#include "general/EventPump.h"

namespace vantrell {

void Line::wait(double seconds) const {
    const Deadline deadline(clock_, seconds);
    while (!deadline.expired())
        pump_.yield(nullptr, deadline.end());
}

} // namespace vantrell
