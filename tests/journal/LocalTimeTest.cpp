// Local times of the loggers against UTC in a zone with summer time: the hour repeated in autumn,
// the hour missing in spring, and the ISO texts of export and status.
#include "JournalFixture.h"

#include <chrono>

namespace vantrell::testing {
namespace {

// A moment of 2026, in UTC and on the station's clock.
UtcSeconds utc(int month, int day, int hour, int minute, int second = 0) {
    const std::chrono::sys_days date = std::chrono::year{2026} / month / day;
    return date.time_since_epoch() / std::chrono::seconds(1) + hour * 3600 + minute * 60 + second;
}
LocalDateTime local(int month, int day, int hour, int minute) {
    return {2026, month, day, hour, minute, 0};
}
constexpr std::optional<UtcSeconds> none;

class LocalTimeTest : public ::testing::Test {
    StationZone berlin{"Europe/Berlin"};
};

TEST_F(LocalTimeTest, ResolvesTheRepeatedHourByOrderAndFlagsTheGap) {
    struct Case {
        const char *legend;
        LocalDateTime local;
        std::optional<UtcSeconds> previous;
        UtcSeconds utc;
        int offset;
        bool inGap;
        bool zoneOffset = true; // the zone's own offset at that moment
    };
    const Case cases[] = {
        {"winter", local(1, 15, 12, 0), none, utc(1, 15, 11, 0), 3600, false},
        {"summer", local(7, 15, 12, 0), none, utc(7, 15, 10, 0), 7200, false},
        {"spring gap: kept at the offset before it", local(3, 29, 2, 30), none, utc(3, 29, 1, 30),
         3600, true},
        {"first minute after the gap", local(3, 29, 3, 0), none, utc(3, 29, 1, 0), 7200, false},
        {"after the gap, following a reading in it: the logger kept the old offset",
         local(3, 29, 3, 30), utc(3, 29, 1, 50), utc(3, 29, 2, 30), 3600, false, false},
        {"after the gap, following a reading before it", local(3, 29, 3, 30), utc(3, 29, 0, 50),
         utc(3, 29, 1, 30), 7200, false},
        {"repeated hour, nothing before: the first pass", local(10, 25, 2, 30), none,
         utc(10, 25, 0, 30), 7200, false},
        {"repeated hour after a reading of the first pass", local(10, 25, 2, 30),
         utc(10, 25, 0, 30), utc(10, 25, 1, 30), 3600, false},
        {"repeated hour after a reading before it", local(10, 25, 2, 30), utc(10, 25, 0, 10),
         utc(10, 25, 0, 30), 7200, false},
        {"after the repeated hour", local(10, 25, 3, 0), none, utc(10, 25, 2, 0), 3600, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        const ReadingTime t = toUtc(c.local, c.previous);
        EXPECT_EQ(t.utc, c.utc);
        EXPECT_EQ(t.offsetSeconds, c.offset);
        EXPECT_EQ(t.inGap, c.inGap);
        if (!c.inGap && c.zoneOffset) {
            int offset = 0;
            EXPECT_EQ(toLocal(t.utc, &offset), c.local);
            EXPECT_EQ(offset, c.offset);
        }
    }
}

TEST_F(LocalTimeTest, ReadsRecordTimes) {
    struct Case {
        const char *date;
        const char *time;
        std::optional<LocalDateTime> local;
    };
    const Case cases[] = {
        {"29-03-26", "02:30:15", LocalDateTime{2026, 3, 29, 2, 30, 15}},
        {"31-12-99", "23:59:59", LocalDateTime{2099, 12, 31, 23, 59, 59}},
        {"29-02-26", "00:00:00", std::nullopt}, // not a leap year
        {"01-13-26", "00:00:00", std::nullopt},
        {"01-03-26", "24:00:00", std::nullopt},
        {"1-03-26", "00:00:00", std::nullopt},
        {"01-03-26", "00:00:00 ", std::nullopt},
        {"--------", "--:--:--", std::nullopt},
        {"", "", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.date) + " " + c.time);
        EXPECT_EQ(recordTime(c.date, c.time), c.local);
    }
}

TEST_F(LocalTimeTest, ParsesAndWritesIsoTimes) {
    struct Case {
        const char *text;
        std::optional<UtcSeconds> utc;
    };
    const Case cases[] = {
        {"2026-03-29", utc(3, 28, 23, 0)}, // local midnight
        {"2026-03-29T01:30Z", utc(3, 29, 1, 30)},
        {"2026-03-29T03:30:00+02:00", utc(3, 29, 1, 30)},
        {"2026-07-01T12:00-05:30", utc(7, 1, 17, 30)},
        {"2026-10-25T02:30", utc(10, 25, 0, 30)}, // the first pass
        {"2026-02-30", std::nullopt},
        {"2026-3-29", std::nullopt},
        {"2026-03-29T25:00", std::nullopt},
        {"2026-03-29T01:30:60", std::nullopt},
        {"2026-03-29 01:30", std::nullopt},
        {"2026-03-29T01:30Zx", std::nullopt},
        {"2026-03-29T01:30+2:00", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseIso(c.text), c.utc);
    }
    const UtcSeconds t = utc(3, 29, 1, 30, 5);
    EXPECT_EQ(isoUtc(t), "2026-03-29T01:30:05Z");
    EXPECT_EQ(isoLocal(t, 7200), "2026-03-29T03:30:05+02:00");
    EXPECT_EQ(isoLocal(t, -19800), "2026-03-28T20:00:05-05:30");
    EXPECT_EQ(parseIso(isoLocal(t, -19800)), t);
}

} // namespace
} // namespace vantrell::testing
