#include "general/Progress.h"
#include "sim/virtualtime/VirtualClock.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vantrell {
namespace {

// On a terminal every line carries its time; the journal stamps the time itself and reads the
// priority from a "<n>" prefix; --quiet keeps only what an operator must act on. Counted texts
// are logged as one run.
TEST(LoggingProgress, EveryStyleLogsItsLines) {
    const struct {
        const char *priority, *text;
        bool urgent; // kept by --quiet
    } lines[] = {
        {"<6>", "[service] Alarm Acc ", false},
        {"<6>", "[report]  block no. 1", false},
        {"<6>", "[report]  block no. 300   (299 like it)", false},
        {"<6>", "[report]  Korvane Disconnecting...", false},
        {"<6>", "[report]  Korvane Disconnecting...", false},
        {"<6>", "[report]  unit <B0>C", false},
        {"<6>", "[logger] clock of 0001KV0126 was 20 min 3 s fast; set", false},
        {"<3>", "[report]  Mail to \"a@example.org\" not sent: refused", true},
        {"<7>", "[line] => 1B 57", false},
        {"<4>", "[config] timeutils.xml: a refused value", true},
        {"<3>", "[line] port 1 (/dev/ttyS0): cannot be opened", true},
        {"<3>", "[journal] journal j.db: database is locked", true},
    };
    for (const LogStyle style : {LogStyle{}, LogStyle{.journal = true}, LogStyle{.quiet = true},
                                 LogStyle{.journal = true, .quiet = true}}) {
        VirtualClock clock({2026, 2, 3, 9, 5, 0});
        std::ostringstream out;
        std::ostringstream copy;
        {
            LoggingProgress log(out, clock, style);
            log.copyTo(&copy);
            log.service("Alarm Acc ");
            for (int k = 1; k <= 300; ++k)
                log.detail("block no. " + std::to_string(k));
            log.detail("Korvane Disconnecting...");
            log.detail("Korvane Disconnecting...");
            log.detail("unit \260C");
            log.note("clock of 0001KV0126 was 20 min 3 s fast; set");
            log.failure("Mail to \"a@example.org\" not sent: refused");
            log.log("line", "=> 1B 57", LogPriority::io);
            log.log("config", "timeutils.xml: a refused value", LogPriority::warning);
            log.log("line", "port 1 (/dev/ttyS0): cannot be opened", LogPriority::error);
            log.problem("journal", "journal j.db: database is locked");
        }
        std::string expected;
        std::string copied; // for a client of the running station: with the time, always
        for (const auto &line : lines)
            if (line.urgent || !style.quiet) {
                expected += (style.journal ? line.priority : "2026-02-03 09:05:00 ") +
                            std::string(line.text) + "\n";
                copied += "2026-02-03 09:05:00 " + std::string(line.text) + "\n";
            }
        EXPECT_EQ(out.str(), expected) << "journal " << style.journal << ", quiet " << style.quiet;
        EXPECT_EQ(copy.str(), copied) << "journal " << style.journal << ", quiet " << style.quiet;
    }
}

} // namespace
} // namespace vantrell
