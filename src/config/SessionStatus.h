// How a reading session ended for its device, as the letter its done mark keeps and the text
// the run report gives it after "Device no.N". The schedule, the session, the report and the
// programs all read and write marks through this one table.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vantrell {

enum class SessionStatus {
    done,
    modem,
    connection,
    serialMismatch,
    switchSilent,
    switchStatusEmpty,
    parametersUnreadable,
    // Left only by a session that used up its connection attempts, after the last one failed.
    dataNotSaved,
    transferIncomplete,
    loggerSilent,
    // Every logger was read and saved, but a data file did not reach its forwarding address.
    notForwarded,
    // Every logger was read and saved, but an alarm did not go out; it outweighs notForwarded.
    alarmNotSent,
};

// The report mail's text of each letter is the station's own, misspellings included: operators'
// mail filters match it. The surfaces that came later (status, the status page, JSON, MQTT) say
// the same in words spelled right.
struct SessionStatusText {
    SessionStatus status;
    std::string_view letter;
    std::string_view reportText;
    std::string_view words;
};

inline constexpr std::array<SessionStatusText, 12> sessionStatusTexts{{
    {SessionStatus::done, "X", " done succesfully", "done successfully"},
    {SessionStatus::modem, "M", " modem not ready or line in use",
     "modem not ready or line in use"},
    {SessionStatus::connection, "C", " remote modem not ready", "remote modem not ready"},
    {SessionStatus::serialMismatch, "P", " serial number incorrect", "serial number incorrect"},
    {SessionStatus::switchSilent, "S", " switch not ready", "switch not ready"},
    {SessionStatus::switchStatusEmpty, "T", " switch not set", "switch not set"},
    {SessionStatus::parametersUnreadable, "L", " not comunicating", "not communicating"},
    {SessionStatus::dataNotSaved, "W", " data not saved", "data not saved"},
    {SessionStatus::transferIncomplete, "I", " transfer incomplete", "transfer incomplete"},
    {SessionStatus::loggerSilent, "N", " logger not answering", "logger not answering"},
    {SessionStatus::notForwarded, "F", " data read, not forwarded", "data read, not forwarded"},
    {SessionStatus::alarmNotSent, "A", " data read, alarm not sent", "data read, alarm not sent"},
}};

constexpr std::string_view letterOf(SessionStatus status) {
    for (const SessionStatusText &entry : sessionStatusTexts)
        if (entry.status == status)
            return entry.letter;
    return {};
}

constexpr std::string_view reportTextOf(SessionStatus status) {
    for (const SessionStatusText &entry : sessionStatusTexts)
        if (entry.status == status)
            return entry.reportText;
    return {};
}

constexpr std::string_view wordsOf(SessionStatus status) {
    for (const SessionStatusText &entry : sessionStatusTexts)
        if (entry.status == status)
            return entry.words;
    return {};
}

// The status a mark holds; nothing for an empty mark or any text that is no status letter.
constexpr std::optional<SessionStatus> statusOfMark(std::string_view mark) {
    for (const SessionStatusText &entry : sessionStatusTexts)
        if (entry.letter == mark)
            return entry.status;
    return std::nullopt;
}

constexpr bool isDoneMark(std::string_view mark) {
    return mark == letterOf(SessionStatus::done);
}

// Every logger of the station was read and saved, whatever became of the deliveries after: the
// station answered, and its readings are safe on disk.
constexpr bool dataSaved(std::string_view mark) {
    return isDoneMark(mark) || mark == letterOf(SessionStatus::notForwarded) ||
           mark == letterOf(SessionStatus::alarmNotSent);
}

// Whether another session may bring what this one did not: "P" is a logger that is another one,
// and "X", "F" and "A" have their data saved (the outbox retries a failed delivery).
constexpr bool retryMayMend(std::string_view mark) {
    const std::optional<SessionStatus> status = statusOfMark(mark);
    return status && !dataSaved(mark) && *status != SessionStatus::serialMismatch;
}

// How a protocol step ended, and the letter it leaves in the done mark: a failure mostly has
// one, a silent logger none, and a call made after a refused initialisation string succeeds
// but still leaves "M". `problem`: a fault of the station's own that the operator must mend (a
// port that does not exist), said in the session's account instead of a box that waits for a
// click.
struct [[nodiscard]] StepOutcome {
    bool succeeded = true;
    std::optional<SessionStatus> status;
    std::string problem;

    static StepOutcome success() { return {}; }
    static StepOutcome failure(std::optional<SessionStatus> status = std::nullopt,
                               std::string problem = {}) {
        return {false, status, std::move(problem)};
    }
};

} // namespace vantrell
