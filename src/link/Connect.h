// The session steps with the logger and the line switch: connect and release the logger, wake
// the switch and read which modules it holds, select a logger, route a network and section.
// Each step shows what it does on the progress detail line and returns how it ended; the session
// decides what follows.
#pragma once

#include "config/SessionStatus.h"
#include "config/Tables.h"
#include "general/Line.h"
#include "link/Serial.h"
#include "loggerdata/Conversions.h"

#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// The steps Connect needs from the layers above it: reading the parameter block (nothing when
// it could not be decoded) and setting the logger clock. The reading session wires them.
class LoggerSteps {
public:
    virtual ~LoggerSteps() = default;
    [[nodiscard]] virtual std::optional<DecodedParameters> readParameters() = 0;
    virtual void setLoggerClock() = 0;
};

// What the switch's status answer says: the modules present, one bit each (bit 0 module 1 ...
// bit 7 module 8), when the step succeeded.
struct SwitchConnection {
    StepOutcome outcome;
    unsigned modules = 0;
};

// A logger connection: the parameter set the logger gave (also when it is another logger), and
// whether its answers to later commands are awaited: not once its clock was set after the
// wake-up, as it does not answer the clock command.
struct LoggerConnection {
    StepOutcome outcome;
    AnswerExpected commandAnswers = AnswerExpected::yes;
    std::optional<DecodedParameters> parameters;
};

// The modules a switch's status answer reports present, one bit each (bit 0 module 1 ... bit 7
// module 8); nothing when the answer is too short to carry the two digits.
[[nodiscard]] std::optional<unsigned> decodeModuleDigits(std::string_view reply);

class Connect {
public:
    Connect(Line &line, LoggerSteps &steps) : line_(line), steps_(steps), serial_(line) {}

    // Wakes the logger, reads (and where `device` asks for it, sets) its clock, reads its
    // parameter block and checks its serial number against logger `loggerIndex` of `device`.
    // A silent logger fails without a letter; "L" (parameters unreadable twice) and "P" (another
    // serial number) leave the logger to be released by the caller. A logger whose block could
    // not be read is released with the sampling code of the last logger that gave one.
    LoggerConnection connectLogger(const DeviceRecord &device, int loggerIndex, LoggerLine line,
                                   int samplingCode);
    // The release byte depends on how often the logger samples (its sampling code).
    void disconnectLogger(int samplingCode);
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
    void noteClockCorrection(const LoggerClock &clock, const DeviceRecord &device, int loggerIndex);

    Line &line_;
    LoggerSteps &steps_;
    Serial serial_;
};

} // namespace vantrell
