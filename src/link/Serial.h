// The byte-level primitives every protocol step is built from: send without waiting, wake the
// logger or the switch, the acknowledged command exchange, the two fixed requests (parameter
// block, clock), draining the input and the fixed pauses. Each primitive takes what it sends
// and returns what came back; it opens the port afresh, leaves it closed, and no wait is
// unbounded.
#pragma once

#include "config/SessionStatus.h"
#include "config/Tables.h"
#include "general/Clock.h"
#include "general/Line.h"
#include "general/SerialPort.h"

#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

namespace code {
constexpr char wakeLogger = char(0x8E);
constexpr char wakeSwitch = char(0x91);
constexpr char loggerAttention = char(0x80);
constexpr char switchAttention = char(0x82);
constexpr char parameterRequest = char(0x9F);
constexpr char clockRequest = char(0x9E);
constexpr char carriageReturn = '\r';
} // namespace code

// Per-character answer limit of the exchanges and fixed requests, measured from the last byte.
constexpr double answerLimit = 3.0;

// An answer up to its carriage return (without it); complete when that carriage return came.
struct Reply {
    std::string text;
    bool complete = false;
};

// What an acknowledged command exchange gives back. taken: the device answered an attention
// byte with "!" and the command went out in full (whatever it answered then).
struct Exchange {
    bool taken = false;
    Reply reply;
};

// Whether an exchange waits for the device's answer to the command; a command the device does
// not answer counts as answered in full once it is out.
enum class AnswerExpected { yes, no };

// Which line the logger is reached over: a modem call adds its own delay to every answer.
enum class LoggerLine { direct, modemCall };

// The logger clock as its answer to the clock request gives it.
struct LoggerClock {
    Reply reply;
    std::string date;      // DD-MM-YY
    std::string time;      // HH:MM:SS
    LocalDateTime askedAt; // the PC's local time when the request went out
};

class Serial {
public:
    explicit Serial(Line &line) : line_(line) {}

    void send(std::string_view bytes);
    // True when the device answered the wake-up.
    [[nodiscard]] bool wakeLogger(LoggerLine line);
    [[nodiscard]] bool wakeSwitch();
    [[nodiscard]] Exchange exchangeLogger(std::string_view command, AnswerExpected answer);
    [[nodiscard]] Exchange exchangeSwitch(std::string_view command, AnswerExpected answer);
    [[nodiscard]] Reply readParameterBlock();
    [[nodiscard]] LoggerClock readClock();
    void flushInput();

    void pause1s() { line_.wait(1.0); }
    void pause500ms() { line_.wait(0.5); }
    void pause300ms() { line_.wait(0.3); }
    void pause100ms() { line_.wait(0.1); }

    // Building blocks for the steps that drive the port themselves (memory transfer, modem).
    // Closes the port if open and opens the line's port; an error leaves it closed.
    [[nodiscard]] PortError reopen();
    void closePort();
    [[nodiscard]] bool write(std::string_view bytes);
    // Polling wait: true as soon as a byte is waiting, false after `limit` seconds without one.
    [[nodiscard]] bool waitForData(double limit);
    // One waiting byte, if any.
    std::optional<char> readChar();

private:
    bool wake(char wakeCode, double limit, std::string_view answers, bool crOnGiveUp);
    Exchange exchange(char attention, std::string_view command, AnswerExpected answer);
    Reply fixedRequest(char request, std::size_t minimumLength);
    bool opened() { return reopen() == PortError::none; }

    Line &line_;
};

} // namespace vantrell
