// The dial-up modem in front of a remote station: check that it answers, prepare it, dial the
// station's number, decide from the modem's answer whether the call is up, and hang up. The
// port stays open from the check to the end of the dial-up; check and dial return how they
// ended, with the letters "M" (the modem) and "C" (the call).
#pragma once

#include "config/SessionStatus.h"
#include "config/Tables.h"
#include "general/Line.h"
#include "link/Serial.h"

#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

namespace modemCommand {
inline constexpr std::string_view attention = "AT\r";
inline constexpr std::string_view factorySettings = "AT&F\r";
inline constexpr std::string_view echoOff = "ATE0\r";
inline constexpr std::string_view initStrings[] = {"AT&DO&K0", "ATX1", "AT&R1"};
inline constexpr std::string_view dialPrefix = "atdt";
inline constexpr char escapeCharacter = '+';
inline constexpr std::string_view hangUpAcknowledged = "ATH0\r\n";
inline constexpr std::string_view hangUp = "ATH0\r";
} // namespace modemCommand

// What the modem's answer to the dial says so far.
enum class DialVerdict {
    waiting,      // too short to judge, and no result code has ended yet
    connected,    // "CONNECT" where the modem puts its result code
    notConnected, // anything else that is long enough, or a result code that ended
};
[[nodiscard]] DialVerdict judgeDialAnswer(std::string_view answer);

// What the dial shows while it waits: the number, the schedule time ("08:00") and the attempt.
struct DialRequest {
    std::string number;
    std::string scheduledTime;
    int attempt = 0;
};

class Modem {
public:
    explicit Modem(Line &line) : line_(line), serial_(line) {}

    // The modem answers "AT" (a factory reset between the two tries); the port stays open for
    // the dial. Fails with "M".
    StepOutcome check();
    // Prepares the modem and dials; succeeds when the call is up. A refused initialisation
    // string leaves "M" even when the call is made.
    StepOutcome dial(const DialRequest &request);
    void hangUp();

private:
    enum class Attention { answered, silent, portFailed };

    Attention tryAttention();
    StepOutcome failCheck(PortError error);
    std::optional<StepOutcome> prepareModem(bool &initRefused);
    bool sendInitString(std::string_view text);
    std::optional<StepOutcome> dialNumber(const DialRequest &request);
    DialVerdict awaitDialAnswer(const DialRequest &request, std::string &answer);
    void showDialProgress(const DialRequest &request, std::string &shown);
    void callConnected(const std::string &answer);
    StepOutcome callFailed();
    StepOutcome failDial(PortError error);
    StepOutcome endDial(SessionStatus status);
    void escapeToCommandMode();

    void show(const std::string &text);
    bool send(std::string_view bytes);
    std::string takeWaiting();
    // Collects what the modem sends until `count` bytes have come or `limit` seconds have
    // passed, then the rest of the answer that is still arriving.
    std::string collect(std::size_t count, double limit);
    void resetSecondsCounter();
    int secondsCounter() const;
    double secondsToNextCount() const;
    void waitUntilCounterAbove(int seconds);

    Line &line_;
    Serial serial_;
    std::string modemAnswer_;
    double counterStart_ = 0.0;
};

} // namespace vantrell
