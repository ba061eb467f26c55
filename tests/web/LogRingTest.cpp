#include "RecordingProgress.h"
#include "cycle/StationSnapshot.h"

#include <gtest/gtest.h>

namespace vantrell::testing {
namespace {

// The page shows what the log got, the newest lines within the ring's bound, and nothing is kept
// back from the log itself.
TEST(LogRing, KeepsTheNewestLinesAndPassesEveryTextOn) {
    struct Case {
        const char *legend;
        std::size_t lines;
    };
    const Case cases[] = {{"a short session", 3},
                          {"exactly full", LogRing::capacity},
                          {"a long transfer", 3 * LogRing::capacity + 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.legend);
        RecordingProgress log;
        LogRing ring(log);
        for (std::size_t k = 0; k < c.lines; ++k) {
            if (k % 3 == 0)
                ring.service("line " + std::to_string(k));
            else if (k % 3 == 1)
                ring.failure("line " + std::to_string(k));
            else
                ring.note("line " + std::to_string(k));
        }
        const std::vector<std::string> kept = ring.lines();
        ASSERT_EQ(kept.size(), std::min(c.lines, LogRing::capacity));
        EXPECT_EQ(kept.back(), "line " + std::to_string(c.lines - 1));
        EXPECT_EQ(kept.front(), "line " + std::to_string(c.lines - kept.size()));
        EXPECT_EQ(ring.generation(), c.lines);
        EXPECT_EQ(log.entries().size() + log.notes().size(), c.lines);
    }
}

} // namespace
} // namespace vantrell::testing
