// The byte-level primitives every protocol step is built from: send without waiting, wake the
// logger or the switch, the acknowledged command exchange, the two fixed requests (parameter
// block, clock), draining the input and the fixed pauses. Results travel in the Station's
// LinkState; a failure shows only in its flags. Each primitive opens the port afresh and leaves
// it closed, and no wait is unbounded.
#pragma once

#include "config/Station.h"

#include <optional>
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

class Serial {
public:
    explicit Serial(Station &station) : station_(station), link_(station.link) {}

    void sendOnly();
    void wakeLogger();
    void wakeSwitch();
    // True when the device took the command: it answered an attention byte with "!" and the
    // command went out in full (whatever it answered then).
    bool exchangeLogger();
    bool exchangeSwitch();
    void readParameterBlock();
    void readClock();
    void flushInput();

    void pause1s() { station_.wait(1.0); }
    void pause500ms() { station_.wait(0.5); }
    void pause300ms() { station_.wait(0.3); }
    void pause100ms() { station_.wait(0.1); }

    // Building blocks for the steps that drive the port themselves (memory transfer, modem).
    // reopen: close if open, open `portNumber`; false (port left closed) when it cannot be opened.
    [[nodiscard]] bool reopen();
    void closePort();
    [[nodiscard]] bool write(std::string_view bytes);
    // Polling wait: true as soon as a byte is waiting, false after `limit` seconds without one.
    [[nodiscard]] bool waitForData(double limit);
    // One waiting byte, if any.
    std::optional<char> readChar();

private:
    void wake(char wakeCode, double limit, std::string_view answers, bool crOnGiveUp);
    bool exchange(char attention);
    void fixedRequest(char request, std::size_t minimumLength);

    Station &station_;
    LinkState &link_;
};

} // namespace vantrell
