// Loggers keep the local time of the station; the journal keeps UTC beside it. The conversion
// uses the station's time zone (the process's TZ, through the C library's zoneinfo). Two local
// times need a rule: one inside the autumn hour that is repeated, and one inside the spring hour
// that never happened.
#pragma once

#include "general/Clock.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

using UtcSeconds = std::int64_t; // seconds since 1970-01-01 00:00 UTC

struct ReadingTime {
    UtcSeconds utc = 0;
    int offsetSeconds = 0; // local = utc + offset
    // The local time does not exist (the spring gap): kept at the offset before the gap.
    bool inGap = false;
};

// The UTC moment of a local time. In the repeated hour the earlier moment is taken, unless it
// is not after `previous` (the reading before it in memory order): then the later one is. On the
// day of the spring change, a time that would not come after `previous` at the new offset, but
// does at the old one, keeps the old one: its logger has not moved its clock on yet (its times
// in the gap are kept at the old offset too), and its readings must not fall on those before.
ReadingTime toUtc(const LocalDateTime &local, std::optional<UtcSeconds> previous = {});
// The local time of a UTC moment and its offset.
LocalDateTime toLocal(UtcSeconds utc, int *offsetSeconds = nullptr);

// "dd-mm-yy" and "hh:mm:ss" as the logger's records carry them (years 2000..2099); nullopt for
// text that is no date or time.
std::optional<LocalDateTime> recordTime(std::string_view date, std::string_view time);

// ISO 8601: "2026-03-29T01:30:00Z" and "2026-03-29T03:30:00+02:00".
std::string isoUtc(UtcSeconds utc);
std::string isoLocal(UtcSeconds utc, int offsetSeconds);
// Takes "2026-03-29", "2026-03-29T01:30", "...:00", with "Z" or "+hh:mm" (UTC when it has an
// offset, the station's local time when it has none); nullopt for anything else.
std::optional<UtcSeconds> parseIso(std::string_view text);

} // namespace vantrell
