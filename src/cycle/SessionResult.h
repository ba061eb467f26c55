// The account of one reading session: what each connection attempt did with each logger
// position, the letter the connection steps left on the way, and how the session ended. The
// done mark is decided once from it, by sessionMark.
#pragma once

#include "config/SessionStatus.h"
#include "loggerdata/LoggerResult.h"

#include <optional>
#include <string>
#include <vector>

namespace vantrell {

// How a connection attempt ended. The three failures of a present logger lead to the next
// attempt; notConnected is an attempt whose modem or switch step failed (and left its letter).
enum class AttemptEnd {
    allRead,
    notConnected,
    loggerSilent,
    transferIncomplete,
    dataNotSaved,
    loggerGivenUp, // "P" or "L": the session ends there
    stopped,       // the program is ending
};

struct AttemptResult {
    std::vector<LoggerResult> loggers; // the positions read in this attempt, in order
    AttemptEnd end = AttemptEnd::notConnected;
};

enum class SessionEnd {
    allRead,        // every present position saved
    attemptsUsedUp, // the last connection attempt failed
    switchGivenUp,  // the switch stage failed its last pass
    loggerGivenUp,  // a logger answered but is another one, or cannot be read
    abandoned,      // the program is ending: the session leaves no verdict
};

struct SessionResult {
    std::string markBefore;                  // the done mark as the session found it
    std::optional<SessionStatus> stepLetter; // the last letter a connection step left
    std::vector<AttemptResult> attempts;
    std::vector<std::string> lineProblems; // port errors the operator must mend
    SessionEnd end = SessionEnd::abandoned;
    std::string mark; // the done mark it left, once it has ended
    // From the line taken to its release, on the station's monotonic clock; none when the
    // session never took it.
    std::optional<double> lineSeconds;

    // Every logger saved in full over all attempts, each once.
    std::vector<const LoggerResult *> savedLoggers() const;
    // A failed delivery of this session is kept by the outbox for a retry.
    bool retriedFromOutbox() const;
};

// The done mark the session leaves. Every present logger saved gives "X", unless an alarm ("A")
// or a data file ("F") did not go out; a session that ends otherwise keeps the letter of what
// failed last, and one that never got a letter keeps the mark it found.
std::string sessionMark(const SessionResult &result);

} // namespace vantrell
