#include "general/Clock.h"

#include <ctime>

namespace vantrell {

using namespace std::chrono;

local_seconds LocalDateTime::toLocalSeconds() const {
    const auto days = local_days{std::chrono::year{year} / std::chrono::month(unsigned(month)) /
                                 std::chrono::day(unsigned(day))};
    return days + hours{hour} + minutes{minute} + seconds{second};
}

LocalDateTime LocalDateTime::fromLocalSeconds(local_seconds t) {
    const auto days = floor<std::chrono::days>(t);
    const year_month_day ymd{days};
    const hh_mm_ss hms{t - days};
    return {int(ymd.year()),          int(unsigned(ymd.month())), int(unsigned(ymd.day())),
            int(hms.hours().count()), int(hms.minutes().count()), int(hms.seconds().count())};
}

LocalDateTime LocalDateTime::plusSeconds(long long s) const {
    return fromLocalSeconds(toLocalSeconds() + seconds{s});
}

double SystemClock::monotonicSeconds() const {
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool SystemClock::waitUntil(std::condition_variable &wake, std::unique_lock<std::mutex> &lock,
                            double until, const std::function<bool()> &done) const {
    const steady_clock::time_point end{
        duration_cast<steady_clock::duration>(duration<double>(until))};
    return wake.wait_until(lock, end, done);
}

const Clock &systemClock() {
    static const SystemClock clock;
    return clock;
}

LocalDateTime SystemClock::localNow() const {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

} // namespace vantrell
