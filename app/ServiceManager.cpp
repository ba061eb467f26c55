#include "ServiceManager.h"

#include <systemd/sd-daemon.h>

namespace vantrell {

void Watchdog::feed() {
    if (interval_ <= 0 || clock_.monotonicSeconds() - last_ < interval_)
        return;
    last_ = clock_.monotonicSeconds();
    keepAlive_();
}

namespace service {

void ready() {
    sd_notify(0, "READY=1\nSTATUS=running the scheduled cycle");
}

void reloading() {
    sd_notify(0, "RELOADING=1\nSTATUS=reading the configuration again");
}

void stopping() {
    sd_notify(0, "STOPPING=1");
}

double watchdogSeconds() {
    uint64_t usec = 0;
    return sd_watchdog_enabled(0, &usec) > 0 ? static_cast<double>(usec) / 1e6 : 0.0;
}

void keepAlive() {
    sd_notify(0, "WATCHDOG=1");
}

} // namespace service

} // namespace vantrell
