#include "config/ScheduleTimeStore.h"

#include "config/ScheduleFiles.h"
#include "config/Station.h"
#include "general/Text.h"

#include <string>

namespace vantrell {

bool scheduleHoursInOrder(const ScheduleHours &hours) {
    for (std::size_t k = 0; k + 1 < hours.size(); ++k) {
        const int a = hours[k];
        const int b = hours[k + 1];
        if ((b != hourNotSet && a == hourNotSet) || (a != hourNotSet && b != hourNotSet && a >= b))
            return false;
    }
    return true;
}

ScheduleHours ScheduleTimeStore::hours() const {
    ScheduleHours hours{};
    for (int k = 0; k < scheduleTimeCount; ++k) {
        const bool set = !scheduleTimeText(station_.scheduleTimes, k + 1).empty();
        hours.at(k) = set ? int(valInt(station_.scheduleTimes.at(k + 1))) : hourNotSet;
    }
    return hours;
}

template <typename Change, typename Save>
ConfigError ScheduleTimeStore::changeAndSave(Change change, Save save) {
    const ScheduleTimes before = station_.scheduleTimes;
    change();
    ConfigError error = save(ScheduleTimesFile(station_));
    if (error) {
        station_.scheduleTimes = before;
        error.changeKept = false;
    }
    return error;
}

ConfigError ScheduleTimeStore::store(int index, int hour) {
    return changeAndSave([&] { station_.scheduleTimes.at(index + 1) = std::to_string(hour); },
                         [&](ScheduleTimesFile file) { return file.saveScheduleTime(index); });
}

ConfigError ScheduleTimeStore::clear() {
    return changeAndSave(
        [&] {
            for (int k = 1; k <= scheduleTimeCount; ++k)
                station_.scheduleTimes.at(k) = std::to_string(hourNotSet);
        },
        [](ScheduleTimesFile file) { return file.saveScheduleTimes(); });
}

} // namespace vantrell
