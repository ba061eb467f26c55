// The four schedule times as the operator sets them in the main window: in the table and in
// timeutils.xml together, or, when the file refuses a change, in neither.
#pragma once

#include "config/ConfigError.h"
#include "config/Tables.h"

#include <array>

namespace vantrell {

class Station;

// The hour of each schedule time, 0..23, or -1 when the time is not set.
using ScheduleHours = std::array<int, scheduleTimeCount>;
inline constexpr int hourNotSet = -1;

// Times are filled from the first on, without gaps, strictly ascending; times after the last
// one set may stay empty. Other times are refused with this text.
inline constexpr const char *timesOutOfOrderText =
    "Schedule times must be different and sequential...";
bool scheduleHoursInOrder(const ScheduleHours &hours);

class ScheduleTimeStore {
public:
    explicit ScheduleTimeStore(Station &station) : station_(station) {}

    // The stored times; a text that is not an hour counts as not set.
    ScheduleHours hours() const;
    // Time `index` (0..3) becomes `hour`.
    ConfigError store(int index, int hour);
    // Every time cleared.
    ConfigError clear();

private:
    template <typename Change, typename Save> ConfigError changeAndSave(Change change, Save save);

    Station &station_;
};

} // namespace vantrell
