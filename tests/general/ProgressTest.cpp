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

// Log lines for the journal: the journal stamps the time itself and reads the priority from a
// "<n>" prefix; --quiet keeps only what an operator must act on.
std::string logged(LogStyle style) {
    VirtualClock clock({2026, 2, 3, 9, 5, 0});
    std::ostringstream out;
    {
        LoggingProgress log(out, clock, style);
        log.show(ProgressLine::service, "Alarm Acc ");
        for (int k = 1; k <= 3; ++k)
            log.show(ProgressLine::detail, "block no. " + std::to_string(k));
        log.note("clock of 0001KV0126 was 20 min 3 s fast; set");
        log.failure("Mail to \"a@example.org\" not sent: refused");
        log.log("line", "=> 1B 57", LogPriority::io);
        log.log("config", "timeutils.xml: a refused value", LogPriority::warning);
        log.log("line", "port 1 (/dev/ttyS0): cannot be opened", LogPriority::error);
    }
    return out.str();
}

TEST(JournalLog, PrioritiesReplaceTheTimeAndQuietKeepsWarningsAndErrors) {
    const struct {
        const char *legend;
        LogStyle style;
        std::string expected;
    } cases[] = {
        {"a terminal: as always",
         {},
         "2026-02-03 09:05:00 [service] Alarm Acc \n"
         "2026-02-03 09:05:00 [report]  block no. 1\n"
         "2026-02-03 09:05:00 [report]  block no. 3   (2 like it)\n"
         "2026-02-03 09:05:00 [logger] clock of 0001KV0126 was 20 min 3 s fast; set\n"
         "2026-02-03 09:05:00 [report]  Mail to \"a@example.org\" not sent: refused\n"
         "2026-02-03 09:05:00 [line] => 1B 57\n"
         "2026-02-03 09:05:00 [config] timeutils.xml: a refused value\n"
         "2026-02-03 09:05:00 [line] port 1 (/dev/ttyS0): cannot be opened\n"},
        {"the journal",
         {.journal = true},
         "<6>[service] Alarm Acc \n"
         "<6>[report]  block no. 1\n"
         "<6>[report]  block no. 3   (2 like it)\n"
         "<6>[logger] clock of 0001KV0126 was 20 min 3 s fast; set\n"
         "<3>[report]  Mail to \"a@example.org\" not sent: refused\n"
         "<7>[line] => 1B 57\n"
         "<4>[config] timeutils.xml: a refused value\n"
         "<3>[line] port 1 (/dev/ttyS0): cannot be opened\n"},
        {"quiet on a terminal",
         {.quiet = true},
         "2026-02-03 09:05:00 [report]  Mail to \"a@example.org\" not sent: refused\n"
         "2026-02-03 09:05:00 [config] timeutils.xml: a refused value\n"
         "2026-02-03 09:05:00 [line] port 1 (/dev/ttyS0): cannot be opened\n"},
        {"quiet in the journal",
         {.journal = true, .quiet = true},
         "<3>[report]  Mail to \"a@example.org\" not sent: refused\n"
         "<4>[config] timeutils.xml: a refused value\n"
         "<3>[line] port 1 (/dev/ttyS0): cannot be opened\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(logged(c.style), c.expected);
    }
}

} // namespace
} // namespace vantrell
