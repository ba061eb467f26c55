#include "config/Tables.h"

#include "general/Text.h"

#include <algorithm>
#include <iterator>

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

namespace {
// A delete empties the connection and keeps the device type, the forwarding kind and the alarm
// settings: those alone make no device. Everything else a device is stored with does.
constexpr int deviceFlags[] = {field::active,
                               field::outsideLine,
                               field::outsideLineIndex,
                               field::scheduleSlot1,
                               field::scheduleSlot1 + 1,
                               field::scheduleSlot1 + 2,
                               field::scheduleSlot1 + 3,
                               field::savingMode,
                               field::forwardEnabled,
                               field::eraseMemory,
                               field::setClock,
                               field::useSwitch};
constexpr int deviceTexts[] = {field::description, field::dataDirectory,   field::forwardAddress,
                               field::forwardUser, field::forwardPassword, field::ftpRootDirectory,
                               field::smtpServer};
} // namespace

DeviceRecord DeviceRecord::cleared() const {
    DeviceRecord record = *this;
    record[field::connection].clear();
    for (int logger = 1; logger <= maxLoggers; ++logger)
        record.serialNumber(logger).clear();
    for (int f : deviceFlags)
        record[f] = "0";
    for (int f : deviceTexts)
        record[f].clear();
    return record;
}

std::vector<int> devicesDueAt(const DeviceTable &devices, int time) {
    std::vector<int> due;
    for (int d = 1; d <= maxDevices; ++d)
        if (devices[d].flag(field::active) && devices[d].scheduledAt(time))
            due.push_back(d);
    return due;
}

bool DeviceRecord::isFree() const {
    const std::string &c = connection();
    if (!c.empty() && c != localConnection)
        return false;
    for (int logger = 1; logger <= maxLoggers; ++logger)
        if (!trim(serialNumber(logger)).empty())
            return false;
    return std::all_of(std::begin(deviceFlags), std::end(deviceFlags),
                       [this](int f) { return valInt(fields[f]) == 0; }) &&
           std::all_of(std::begin(deviceTexts), std::end(deviceTexts),
                       [this](int f) { return trim(fields[f]).empty(); });
}

std::string scheduleTimeText(const ScheduleTimes &times, int time) {
    if (time < 1 || time > scheduleTimeCount || trim(times[time]).empty())
        return {};
    const long long hour = valInt(times[time]);
    return hour >= 0 && hour <= 23 ? zeroPad(hour, 2) + ":00" : std::string();
}

} // namespace vantrell
