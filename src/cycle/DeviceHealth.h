// How a device stands at a glance, from the journal's memory of its sessions: the page colours its
// row by it and says it in words, the JSON names it, so both must read it the same way.
#pragma once

#include "journal/Journal.h"

#include <string>

namespace vantrell {

// The attribute and JSON values: "good", "undelivered", "failed", "silent", "never".
enum class DeviceHealth {
    good,        // the last session saved the data and delivered everything ("X")
    undelivered, // the data are saved, a data file or an alarm did not go out ("F", "A")
    failed,      // the last session failed; fewer than silentAfterMissed times missed
    silent,      // silentAfterMissed or more schedule times in a row without the data saved
    never,       // no session in the journal
};

// As the silence alarm counts by default: one missed time may be a busy line, two are a pattern.
inline constexpr int silentAfterMissed = 2;

DeviceHealth healthOf(const DeviceJournal &journal);
const char *nameOf(DeviceHealth health);
// "good", "failed this time", "silent for 3 times", "never read": the state without the colour.
std::string wordsOf(DeviceHealth health, const DeviceJournal &journal);

} // namespace vantrell
