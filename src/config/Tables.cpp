#include "config/Tables.h"

#include "general/Text.h"

namespace vantrell {

namespace {
// "netwNNSS": the network and section digits of a network connection text.
constexpr Field networkDigits{4, 2};
constexpr Field sectionDigits{6, 2};
} // namespace

bool DeviceRecord::flag(int f) const {
    return valInt(fields.at(f)) == 1;
}

ConnectionKind DeviceRecord::connectionKind() const {
    if (startsWith(connection(), localPrefix))
        return ConnectionKind::local;
    if (startsWith(connection(), networkPrefix))
        return ConnectionKind::network;
    return ConnectionKind::modem;
}

int DeviceRecord::networkNumber() const {
    return int(valInt(cut(connection(), networkDigits)));
}
int DeviceRecord::sectionNumber() const {
    return int(valInt(cut(connection(), sectionDigits)));
}

bool DeviceRecord::isFree() const {
    const std::string &c = connection();
    return c.empty() || (c == localConnection && valInt(fields[field::active]) == 0);
}

std::string scheduleTimeText(const ScheduleTimes &times, int time) {
    if (time < 1 || time > scheduleTimeCount || trim(times[time]).empty())
        return {};
    const long long hour = valInt(times[time]);
    return hour >= 0 && hour <= 23 ? zeroPad(hour, 2) + ":00" : std::string();
}

} // namespace vantrell
