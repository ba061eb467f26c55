// The daemon under systemd (Type=notify): it says when it is ready, reloading and stopping,
// and keeps the watchdog fed, so that a station stuck on a dead line or a hung server is
// restarted instead of sitting silent. Outside systemd every call does nothing.
#pragma once

#include "general/Clock.h"

#include <functional>

namespace vantrell {

// Sends the keep-alive at most every half of the watchdog time, as systemd advises, and only
// when fed: a loop that stops feeding it lets the watchdog expire.
class Watchdog {
public:
    // No keep-alive at all when `timeoutSeconds` is zero (no watchdog configured).
    Watchdog(const Clock &clock, double timeoutSeconds, std::function<void()> keepAlive)
        : clock_(clock), interval_(timeoutSeconds / 2), keepAlive_(std::move(keepAlive)),
          last_(clock.monotonicSeconds()) {}
    void feed();

private:
    const Clock &clock_;
    double interval_;
    std::function<void()> keepAlive_;
    double last_;
};

namespace service {
void ready();
void reloading();
void stopping();
// The watchdog time systemd set for this process, in seconds; 0 when there is none.
double watchdogSeconds();
void keepAlive();
} // namespace service

} // namespace vantrell
