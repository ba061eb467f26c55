#include "general/Progress.h"
#include "sim/virtualtime/VirtualClock.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vantrell {
namespace {

TEST(Progress, CountedTextsAreLoggedAsOneRun) {
    VirtualClock clock({2026, 2, 3, 9, 5, 0});
    std::ostringstream out;
    {
        LoggingProgress log(out, clock);
        for (int k = 1; k <= 300; ++k)
            log.detail("Trasferring from device block no. " + std::to_string(k));
        log.detail("Korvane Disconnecting...");
        log.detail("Korvane Disconnecting...");
        log.service("Alarm Acc ");
        log.detail(std::string("unit \xB0"
                               "C"));
    }
    EXPECT_EQ(out.str(), "2026-02-03 09:05:00 [report]  Trasferring from device block no. 1\n"
                         "2026-02-03 09:05:00 [report]  Trasferring from device block no. 300"
                         "   (299 like it)\n"
                         "2026-02-03 09:05:00 [report]  Korvane Disconnecting...\n"
                         "2026-02-03 09:05:00 [report]  Korvane Disconnecting...\n"
                         "2026-02-03 09:05:00 [service] Alarm Acc \n"
                         "2026-02-03 09:05:00 [report]  unit <B0>C\n");
}

} // namespace
} // namespace vantrell
