#include "cycle/SessionResult.h"

#include "general/Text.h"

namespace vantrell {

namespace {

std::string letter(SessionStatus status) {
    return std::string(letterOf(status));
}

SessionStatus deliveryStatus(const SessionResult &result) {
    bool forwardFailed = false;
    for (const LoggerResult *logger : result.savedLoggers()) {
        if (logger->alarmFailed())
            return SessionStatus::alarmNotSent;
        forwardFailed = forwardFailed || logger->forwardFailed();
    }
    // An alarm check also runs on what a transfer cut short received.
    for (const AttemptResult &attempt : result.attempts)
        for (const LoggerResult &logger : attempt.loggers)
            if (logger.alarmFailed())
                return SessionStatus::alarmNotSent;
    return forwardFailed ? SessionStatus::notForwarded : SessionStatus::done;
}

} // namespace

std::vector<const LoggerResult *> SessionResult::savedLoggers() const {
    std::vector<const LoggerResult *> saved;
    for (const AttemptResult &attempt : attempts)
        for (const LoggerResult &logger : attempt.loggers)
            if (logger.saved == MemorySaved::inFile)
                saved.push_back(&logger);
    return saved;
}

bool SessionResult::retriedFromOutbox() const {
    for (const AttemptResult &attempt : attempts)
        for (const LoggerResult &logger : attempt.loggers) {
            for (const Sent &alarm : logger.alarms)
                if (alarm.retried)
                    return true;
            if (logger.forwarded && logger.forwarded->retried)
                return true;
        }
    return false;
}

// Records read but not saved, or not read in full, say so whatever a step wrote on the way (a
// switchless station's probe of a switch leaves "S"). A logger that never answered gets a
// letter only where no step left one; an attempt whose modem step failed keeps that letter.
std::string sessionMark(const SessionResult &result) {
    const std::string left = result.stepLetter ? letter(*result.stepLetter) : result.markBefore;
    switch (result.end) {
    case SessionEnd::abandoned:
        return result.markBefore;
    case SessionEnd::allRead:
        return letter(deliveryStatus(result));
    case SessionEnd::switchGivenUp:
    case SessionEnd::loggerGivenUp:
        return left;
    case SessionEnd::attemptsUsedUp:
        break;
    }
    switch (result.attempts.empty() ? AttemptEnd::notConnected : result.attempts.back().end) {
    case AttemptEnd::dataNotSaved:
        return letter(SessionStatus::dataNotSaved);
    case AttemptEnd::transferIncomplete:
        return letter(SessionStatus::transferIncomplete);
    case AttemptEnd::loggerSilent:
        return trim(left).empty() ? letter(SessionStatus::loggerSilent) : left;
    default:
        return left;
    }
}

} // namespace vantrell
