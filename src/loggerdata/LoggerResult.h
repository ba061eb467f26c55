// What became of one logger position in one connection attempt: the parameter set it gave, what
// its memory held, where that went, and what became of the logger's erase, alarms and data
// forwarding. The session decides its letter from these, and forwarding and the journal take
// them as they are; nothing of a logger is left behind in the Station for a later step.
#pragma once

#include "config/LoggerParameters.h"
#include "general/Delivery.h"

#include <optional>
#include <string>
#include <vector>

namespace vantrell {

// Where a logger's memory ended up. A refused file name runs no transfer and counts as not
// written, as does a write that fails.
enum class MemorySaved { inFile, notWritten, transferIncomplete };

enum class EraseOutcome {
    notAsked, // the device does not erase
    erased,
    skipped, // the data are not safe on disk
    refused, // the logger did not take the command
};

// An alarm or a data file that was handed to the outside world.
struct Sent {
    Delivery delivery = Delivery::done();
    bool retried = false; // the outbox keeps it and tries again
};

struct LoggerResult {
    int position = 1; // 1..8
    LoggerParameters parameters{};
    std::optional<std::string> rainFactor;
    std::vector<std::string> records; // as received
    std::vector<Reading> readings;    // decoded from the records
    bool limitCrossed = false;        // a reading beyond the logger's own limits
    std::string path;                 // the data file written in full; empty when none was
    MemorySaved saved = MemorySaved::notWritten;
    EraseOutcome erase = EraseOutcome::notAsked;
    std::vector<Sent> alarms;
    std::optional<Sent> forwarded;

    bool alarmFailed() const {
        for (const Sent &alarm : alarms)
            if (!alarm.delivery.delivered())
                return true;
        return false;
    }
    bool forwardFailed() const { return forwarded && !forwarded->delivery.delivered(); }
};

} // namespace vantrell
