#include "DeviceHealth.h"

#include "config/SessionStatus.h"

namespace vantrell {

DeviceHealth healthOf(const DeviceJournal &journal) {
    if (!journal.lastSession)
        return DeviceHealth::never;
    if (journal.missedTimes >= silentAfterMissed)
        return DeviceHealth::silent;
    const std::string &letter = journal.lastSession->letter;
    if (isDoneMark(letter))
        return DeviceHealth::good;
    return dataSaved(letter) ? DeviceHealth::undelivered : DeviceHealth::failed;
}

const char *nameOf(DeviceHealth health) {
    switch (health) {
    case DeviceHealth::good:
        return "good";
    case DeviceHealth::undelivered:
        return "undelivered";
    case DeviceHealth::failed:
        return "failed";
    case DeviceHealth::silent:
        return "silent";
    case DeviceHealth::never:
        break;
    }
    return "never";
}

std::string wordsOf(DeviceHealth health, const DeviceJournal &journal) {
    switch (health) {
    case DeviceHealth::good:
        return "good";
    case DeviceHealth::undelivered:
        return "read, not all delivered";
    case DeviceHealth::failed:
        return "failed this time";
    case DeviceHealth::silent:
        return "silent for " + std::to_string(journal.missedTimes) + " times";
    case DeviceHealth::never:
        break;
    }
    return "never read";
}

} // namespace vantrell
