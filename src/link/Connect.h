// The session steps with the logger and the line switch: connect and release the logger, wake
// the switch and read which modules it holds, select a logger, route a network and section.
// Each step shows what it does on the progress detail line and returns how it ended; the session
// decides what follows.
#pragma once

#include "config/Station.h"
#include "link/Serial.h"

#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// The steps Connect needs from the layers above it: reading the parameter block (true when it
// was decoded) and setting the logger clock. The reading session wires them.
class LoggerSteps {
public:
    virtual ~LoggerSteps() = default;
    [[nodiscard]] virtual bool readParameters() = 0;
    virtual void setLoggerClock() = 0;
};

// What the switch's status answer says: the modules present, one bit each (bit 0 module 1 ...
// bit 7 module 8), when the step succeeded.
struct SwitchConnection {
    StepOutcome outcome;
    unsigned modules = 0;
};

// A logger connection, and whether the logger's answers to later commands are awaited: not
// once its clock was set after the wake-up, as it does not answer the clock command.
struct LoggerConnection {
    StepOutcome outcome;
    AnswerExpected commandAnswers = AnswerExpected::yes;
};

// The modules a switch's status answer reports present, one bit each (bit 0 module 1 ... bit 7
// module 8); nothing when the answer is too short to carry the two digits.
[[nodiscard]] std::optional<unsigned> decodeModuleDigits(std::string_view reply);

class Connect {
public:
    Connect(Station &station, LoggerSteps &steps)
        : station_(station), steps_(steps), serial_(station) {}

    // Wakes the logger, reads (and where the device asks for it, sets) its clock, reads its
    // parameter block and checks its serial number against logger `loggerIndex` of the device.
    // A silent logger fails without a letter; "L" (parameters unreadable twice) and "P" (another
    // serial number) leave the logger to be released by the caller.
    LoggerConnection connectLogger(int loggerIndex, LoggerLine line);
    void disconnectLogger();
    // Wakes the switch and reads which modules it holds: "S" when it is silent, "T" when its
    // status answer carries no module digits.
    SwitchConnection connectSwitch();
    void disconnectSwitch();
    void selectLogger(int loggerIndex);
    void selectNetworkSection(int network, int section);

    // Parts of connectLogger that a look at a logger without a configured device also needs.
    void sendLoggerPreamble();
    LoggerClock readLoggerClock();

private:
    void send(const std::string &bytes);
    void show(const std::string &text);
    bool loggerClockIsOff(const LoggerClock &clock) const;
    void noteClockCorrection(const LoggerClock &clock, int loggerIndex);

    Station &station_;
    LoggerSteps &steps_;
    Serial serial_;
};

} // namespace vantrell
