#include "forwarding/AlarmCheck.h"

#include "general/Text.h"
#include "loggerdata/Conversions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vantrell {

namespace {

constexpr const char *checkingAlarmChannel = "Checking Alarm CH";
constexpr const char *channelEllipsis = "...";
constexpr const char *absoluteBlock = "block";
constexpr const char *accelerationActive = "...Active";
constexpr const char *accelerationBlock = "...Block";
constexpr const char *alarmChannel = "; Channel ";
constexpr const char *alarmInDevice = "An alarm was triggered in the device ";
constexpr const char *alarmInNetwork = "An alarm was triggered in Network ";
constexpr const char *alarmInSection = " in Section ";
constexpr const char *alarmInTheDevice = " in the device ";
constexpr const char *alarmByTel = "An alarm was triggered by tel. ";
constexpr const char *alarmFromDevice = " from device ";

// A data file's third record is never written: read back, it shows as zero bytes in place of
// a reading. It is not a reading and must not count as 0 against the real ones.
bool neverWritten(const std::string &value) {
    return value.find('\0') != std::string::npos;
}

std::string withBlank(long long number) {
    std::string text(1, ' ');
    text += std::to_string(number);
    return text;
}

AlarmMessage channelAlarm(const std::string &message, int channel) {
    return {AlarmRoute::phoneBook,
            {},
            message + alarmChannel + std::to_string(channel),
            AlarmKind::channel,
            channel};
}

} // namespace

const char *nameOf(AlarmKind kind) {
    switch (kind) {
    case AlarmKind::channel:
        return "channel alarm";
    case AlarmKind::silentStation:
        return "silent station";
    case AlarmKind::answeringAgain:
        return "answering again";
    case AlarmKind::limit:
        break;
    }
    return "limit alarm";
}

EntryRange accelerationWindow(int historyLength, double windowEntries) {
    const int last = historyLength - 1;
    if (!(windowEntries > 0))
        return {historyLength, last};
    const int first = windowEntries > historyLength
                          ? 1
                          : historyLength - static_cast<int>(std::llround(windowEntries));
    return {std::max(first, 1), last};
}

int widestAccelerationWindow(const ChannelSetup &setup, int loggerIndex) {
    const int firstChannel = 4 * loggerIndex - 3;
    const double perDay = val(setup.at(firstChannel, setup::readingsPerDay));
    double widest = 0;
    for (int c = firstChannel; c < firstChannel + 4; ++c)
        if (valInt(setup.at(c, setup::accelAlarmOn)) == 1)
            widest = std::max(widest, perDay * val(setup.at(c, setup::accelDays)));
    return int(std::llround(std::min(widest, double(std::numeric_limits<int>::max()))));
}

std::string limitAlarmText(const DeviceRecord &device, const std::string &serial) {
    switch (device.connectionKind()) {
    case ConnectionKind::local:
        return alarmInDevice + serial;
    case ConnectionKind::network:
        return alarmInNetwork + std::to_string(device.networkNumber()) + alarmInSection +
               std::to_string(device.sectionNumber()) + alarmInTheDevice + serial;
    case ConnectionKind::modem:
        break;
    }
    return alarmByTel + device.connection() + alarmFromDevice + serial;
}

AlarmMessage limitAlarm(const DeviceRecord &device, int loggerIndex) {
    const AlarmRoute route =
        valInt(device[field::alarmNotifyKind]) == 0 ? AlarmRoute::mail : AlarmRoute::sms;
    return {route, device[field::alarmAddress],
            limitAlarmText(device, device.serialNumber(loggerIndex)), AlarmKind::limit};
}

int AlarmCheck::setupChannel(int channel) const {
    return 4 * loggerIndex_ - 4 + channel;
}

std::string AlarmCheck::channelText(int channel) const {
    return checkingAlarmChannel + withBlank(channel) + channelEllipsis;
}

// A limit counts by its numeric value, 0 when it has none; one that is not a plain number is
// still used that way, but the operator is told.
double AlarmCheck::limit(int channel, int field, const char *name) {
    const std::string &value = setup_.at(channel, field);
    const double number = val(value);
    if (!isNumericText(value)) {
        char shown[32];
        std::snprintf(shown, sizeof shown, "%g", number);
        progress_.detail("Alarm setup of channel " + std::to_string(channel) + ": " + name + " \"" +
                         value + "\" is not a number; taken as " + shown);
    }
    return number;
}

std::vector<AlarmMessage> AlarmCheck::absoluteAlarms(const std::vector<Reading> &readings) {
    std::vector<AlarmMessage> alarms;
    for (int ch = 1; ch <= 4; ++ch) {
        const int c = setupChannel(ch);
        const std::string chText = channelText(ch);
        progress_.detail(chText);
        if (valInt(setup_.at(c, setup::absAlarmOn)) != 1)
            continue;
        const double minimum = limit(c, setup::absMinimum, "minimum");
        const double maximum = limit(c, setup::absMaximum, "maximum");
        bool raised = false;
        for (std::size_t k = 1; k <= readings.size(); ++k) {
            progress_.detail(chText + absoluteBlock + withBlank(static_cast<long long>(k)));
            if (raised)
                continue;
            const double v = comparedValue(readings[k - 1], ch);
            if (v < minimum || v > maximum) {
                alarms.push_back(channelAlarm(setup_.at(c, setup::absMessage), ch));
                raised = true;
            }
        }
    }
    return alarms;
}

// Two readings in the window differ by more than the delta exactly when the highest and the
// lowest do, so one pass over the window decides what comparing every pair would.
std::vector<AlarmMessage> AlarmCheck::accelerationAlarms(const std::vector<Reading> &readings,
                                                         int history) {
    std::vector<AlarmMessage> alarms;
    history = std::min(history, static_cast<int>(readings.size()));
    const int firstChannel = setupChannel(1);
    for (int ch = 1; ch <= 4; ++ch) {
        const int c = setupChannel(ch);
        const std::string chText = channelText(ch);
        progress_.detail(chText);
        if (valInt(setup_.at(c, setup::accelAlarmOn)) != 1)
            continue;
        progress_.detail(chText + accelerationActive);
        const double entries = limit(firstChannel, setup::readingsPerDay, "readings per day") *
                               limit(c, setup::accelDays, "days");
        const double delta = limit(c, setup::accelDelta, "delta");
        if (windowExceeds(readings, ch, accelerationWindow(history, entries), delta))
            alarms.push_back(channelAlarm(setup_.at(c, setup::accelMessage), ch));
    }
    return alarms;
}

// Newest entry first, as far back as the window reaches, stopping at the first entry that
// widens the spread beyond the delta.
bool AlarmCheck::windowExceeds(const std::vector<Reading> &readings, int channel, EntryRange window,
                               double delta) {
    std::string blockText = channelText(channel) + accelerationBlock + " ";
    const std::size_t numberAt = blockText.size();
    bool any = false;
    double lowest = 0.0;
    double highest = 0.0;
    for (int j = window.last; j >= window.first; --j) {
        // One text rewritten in place: a long history must not cost an allocation per entry.
        blockText.resize(numberAt);
        blockText += std::to_string(j);
        progress_.detail(blockText);
        const Reading &reading = readings[static_cast<std::size_t>(j - 1)];
        if (neverWritten(reading.values[channel]))
            continue;
        const double v = comparedValue(reading, channel);
        lowest = any ? std::min(lowest, v) : v;
        highest = any ? std::max(highest, v) : v;
        any = true;
        if (std::fabs(highest - lowest) > delta)
            return true;
    }
    return false;
}

} // namespace vantrell
