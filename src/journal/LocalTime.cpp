#include "journal/LocalTime.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace vantrell {

namespace {

using namespace std::chrono;

// A day either side reaches past any one transition of the zone.
constexpr UtcSeconds transitionReach = 86400;

int offsetAt(UtcSeconds utc) {
    const std::time_t t = static_cast<std::time_t>(utc);
    std::tm tm{};
    localtime_r(&t, &tm);
    return static_cast<int>(tm.tm_gmtoff);
}

// The local time read as if it were UTC: the offset is what separates the two.
UtcSeconds wallSeconds(const LocalDateTime &local) {
    return local.toLocalSeconds().time_since_epoch().count();
}

bool validDate(int year, int month, int day) {
    return year_month_day{std::chrono::year{year}, std::chrono::month(unsigned(month)),
                          std::chrono::day(unsigned(day))}
        .ok();
}

bool validTime(int hour, int minute, int second) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
}

// Reads `width` digits at `at`, moving it on.
std::optional<int> digits(std::string_view text, std::size_t &at, std::size_t width) {
    if (at + width > text.size())
        return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    at += width;
    return value;
}

bool literal(std::string_view text, std::size_t &at, char c) {
    if (at >= text.size() || text[at] != c)
        return false;
    ++at;
    return true;
}

std::string format(const LocalDateTime &t) {
    std::array<char, 32> out{};
    std::snprintf(out.data(), out.size(), "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return out.data();
}

LocalDateTime fromWallSeconds(UtcSeconds wall) {
    return LocalDateTime::fromLocalSeconds(local_seconds{seconds{wall}});
}

} // namespace

ReadingTime toUtc(const LocalDateTime &local, std::optional<UtcSeconds> previous) {
    const UtcSeconds wall = wallSeconds(local);
    const int before = offsetAt(wall - transitionReach);
    const int after = offsetAt(wall + transitionReach);
    std::optional<UtcSeconds> earlier, later;
    for (const int offset : {before, after}) {
        const UtcSeconds candidate = wall - offset;
        if (offsetAt(candidate) != offset)
            continue;
        if (!earlier || candidate < *earlier)
            earlier = candidate;
        if (!later || candidate > *later)
            later = candidate;
    }
    if (!earlier)
        return {wall - before, before, true};
    UtcSeconds utc = *earlier;
    if (*later != *earlier && previous && *earlier <= *previous)
        utc = *later;
    return {utc, static_cast<int>(wall - utc), false};
}

LocalDateTime toLocal(UtcSeconds utc, int *offsetSeconds) {
    const int offset = offsetAt(utc);
    if (offsetSeconds != nullptr)
        *offsetSeconds = offset;
    return fromWallSeconds(utc + offset);
}

std::optional<LocalDateTime> recordTime(std::string_view date, std::string_view time) {
    std::size_t d = 0, t = 0;
    const auto day = digits(date, d, 2);
    const bool dash1 = literal(date, d, '-');
    const auto month = digits(date, d, 2);
    const bool dash2 = literal(date, d, '-');
    const auto year = digits(date, d, 2);
    const auto hour = digits(time, t, 2);
    const bool colon1 = literal(time, t, ':');
    const auto minute = digits(time, t, 2);
    const bool colon2 = literal(time, t, ':');
    const auto second = digits(time, t, 2);
    if (!day || !month || !year || !hour || !minute || !second || !dash1 || !dash2 || !colon1 ||
        !colon2 || d != date.size() || t != time.size())
        return std::nullopt;
    const LocalDateTime local{2000 + *year, *month, *day, *hour, *minute, *second};
    if (!validDate(local.year, local.month, local.day) ||
        !validTime(local.hour, local.minute, local.second))
        return std::nullopt;
    return local;
}

std::string isoUtc(UtcSeconds utc) {
    return format(fromWallSeconds(utc)) + "Z";
}

std::string isoLocal(UtcSeconds utc, int offsetSeconds) {
    const int minutes = (offsetSeconds < 0 ? -offsetSeconds : offsetSeconds) / 60;
    std::array<char, 16> zone{};
    std::snprintf(zone.data(), zone.size(), "%c%02d:%02d", offsetSeconds < 0 ? '-' : '+',
                  minutes / 60, minutes % 60);
    return format(fromWallSeconds(utc + offsetSeconds)) + zone.data();
}

std::optional<UtcSeconds> parseIso(std::string_view text) {
    std::size_t at = 0;
    LocalDateTime local;
    const auto year = digits(text, at, 4);
    const bool dash1 = literal(text, at, '-');
    const auto month = digits(text, at, 2);
    const bool dash2 = literal(text, at, '-');
    const auto day = digits(text, at, 2);
    if (!year || !dash1 || !month || !dash2 || !day || !validDate(*year, *month, *day))
        return std::nullopt;
    local.year = *year;
    local.month = *month;
    local.day = *day;
    if (literal(text, at, 'T')) {
        const auto hour = digits(text, at, 2);
        const bool colon = literal(text, at, ':');
        const auto minute = digits(text, at, 2);
        if (!hour || !colon || !minute)
            return std::nullopt;
        std::optional<int> second = 0;
        if (literal(text, at, ':'))
            second = digits(text, at, 2);
        if (!second || !validTime(*hour, *minute, *second))
            return std::nullopt;
        local.hour = *hour;
        local.minute = *minute;
        local.second = *second;
    }
    if (at == text.size())
        return toUtc(local).utc;
    if (literal(text, at, 'Z'))
        return at == text.size() ? std::optional(wallSeconds(local)) : std::nullopt;
    const char sign = at < text.size() ? text[at++] : '\0';
    const auto hours = digits(text, at, 2);
    const bool colon = literal(text, at, ':');
    const auto minutes = digits(text, at, 2);
    if ((sign != '+' && sign != '-') || !hours || !colon || !minutes || at != text.size() ||
        *hours > 23 || *minutes > 59)
        return std::nullopt;
    const int offset = (*hours * 60 + *minutes) * 60;
    return wallSeconds(local) - (sign == '-' ? -offset : offset);
}

} // namespace vantrell
