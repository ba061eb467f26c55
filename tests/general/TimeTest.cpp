#include "general/Clock.h"
#include "sim/World.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrell {
namespace {

TEST(Time, CalendarArithmeticCrossesMonthsYearsAndLeapDays) {
    const struct {
        const char *legend;
        LocalDateTime from;
        long long seconds;
        LocalDateTime expected;
    } cases[] = {
        {"midnight", {2026, 2, 3, 23, 59, 59}, 1, {2026, 2, 4, 0, 0, 0}},
        {"year end", {2026, 12, 31, 23, 59, 59}, 1, {2027, 1, 1, 0, 0, 0}},
        {"leap day", {2028, 2, 28, 12, 0, 0}, 86400, {2028, 2, 29, 12, 0, 0}},
        {"no leap day", {2026, 2, 28, 12, 0, 0}, 86400, {2026, 3, 1, 12, 0, 0}},
        {"backwards", {2026, 3, 1, 0, 0, 0}, -1, {2026, 2, 28, 23, 59, 59}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.from.plusSeconds(c.seconds), c.expected) << c.legend;
}

TEST(Time, DeadlineMeasuresElapsedTimeAcrossMidnight) {
    VirtualClock clock({2026, 2, 3, 23, 59, 58});
    const Deadline deadline(clock, 3.0);
    clock.advanceBy(2.5);
    EXPECT_EQ(clock.localNow(), (LocalDateTime{2026, 2, 4, 0, 0, 0}));
    EXPECT_FALSE(deadline.expired());
    EXPECT_DOUBLE_EQ(deadline.remaining(), 0.5);
    clock.advanceBy(0.5);
    EXPECT_TRUE(deadline.expired());
}

TEST(Time, WorldRunsEventsInTimeOrderAndFirstScheduledFirst) {
    sim::World world;
    std::string order;
    world.at(2.0, [&] { order += "c"; });
    world.at(1.0, [&] { order += "a"; });
    world.at(1.0, [&] { order += "b"; });
    world.at(1.0, [&] { world.after(0.5, [&] { order += "d"; }); });
    world.runUntil(1.9);
    EXPECT_EQ(order, "abd");
    EXPECT_DOUBLE_EQ(world.now(), 1.9);
    world.runUntil(5.0);
    EXPECT_EQ(order, "abdc");
}

} // namespace
} // namespace vantrell
