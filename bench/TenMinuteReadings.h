// A logger memory as the journal's benchmarks and tests need it in bulk: `count` records ten
// minutes apart from `first` (local time), four channels of one-decimal value texts that repeat
// every 500 records.
#pragma once

#include "config/LoggerParameters.h"
#include "general/Clock.h"

#include <cstdio>
#include <vector>

namespace vantrell::testing {

inline std::vector<Reading> tenMinuteReadings(LocalDateTime first, int count) {
    std::vector<Reading> readings(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const LocalDateTime at = first.plusSeconds(k * 600LL);
        Reading &r = readings[std::size_t(k)];
        char text[32];
        std::snprintf(text, sizeof text, "%02d-%02d-%02d", at.day, at.month, at.year % 100);
        r.date = text;
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", at.hour, at.minute, at.second);
        r.time = text;
        for (int c = 1; c <= 4; ++c) {
            std::snprintf(text, sizeof text, "%+07.1f", (k % 500) * 0.1 - c);
            r.values[c] = text;
        }
    }
    return readings;
}

} // namespace vantrell::testing
