// The session steps with the logger and the line switch: connect and release the logger, wake
// the switch and read which modules it holds, select a logger, route a network and section,
// and the combined release at the end of a connection attempt. Each step shows what it does on
// the progress detail line and reports through stepFailed and the session status letter.
#pragma once

#include "config/Station.h"
#include "link/Modem.h"
#include "link/Serial.h"

#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// The steps Connect needs from the layers above it: reading the parameter block and setting the
// logger clock. The reading session wires them.
class LoggerSteps {
public:
    virtual ~LoggerSteps() = default;
    virtual void decodeParameters() = 0;
    virtual void setLoggerClock() = 0;
};

namespace text {
inline constexpr const char *korvaneConnecting = "Korvane Connecting...";
inline constexpr const char *korvaneConnected = "Korvane Connected";
inline constexpr const char *readingDateTime = "Korvane Connected...reading date/time";
inline constexpr const char *readingPrefix = "Korvane Connected...reading ";
inline constexpr const char *readingParameters = "Korvane Connected...reading parameters";
inline constexpr const char *readingParametersFailed =
    "Korvane Connected...reading parameters...failed";
inline constexpr const char *korvaneDisconnecting = "Korvane Disconnecting...";
inline constexpr const char *switchConnecting = "Switch Connecting...";
inline constexpr const char *switchGettingMnc = "Switch getting MNC...";
inline constexpr const char *switchConnected = "Switch Connected";
inline constexpr const char *switchDisconnecting = "Switch Disconnecting...";
inline constexpr const char *selectingKorvane = "Selecting Korvane no.";
inline constexpr const char *disablingModules = "Disabling all modules...";
inline constexpr const char *sendingNetwork = "Sending Network...";
inline constexpr const char *sendingSection = "Sending Section...";
} // namespace text

// The modules a switch's status answer reports present, one bit each (bit 0 module 1 ... bit 7
// module 8); nothing when the answer is too short to carry the two digits.
[[nodiscard]] std::optional<unsigned> decodeModuleDigits(std::string_view reply);

class Connect {
public:
    Connect(Station &station, LoggerSteps &steps)
        : station_(station), steps_(steps), serial_(station), modem_(station) {}

    void connectLogger();
    void disconnectLogger();
    void connectSwitch();
    void disconnectSwitch();
    void selectLogger();
    void selectNetworkSection();
    void disconnectAll();

    // Parts of connectLogger that a look at a logger without a configured device also needs.
    void sendLoggerPreamble();
    void readLoggerClock();

private:
    void send(const std::string &bytes);
    void show(const std::string &text);
    bool loggerClockIsOff() const;
    bool decodeModuleFlags();
    void giveUpLogger(double firstWait, double secondWait, SessionStatus status);

    Station &station_;
    LoggerSteps &steps_;
    Serial serial_;
    Modem modem_;
};

} // namespace vantrell
