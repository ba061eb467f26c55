// Sending an SMS through the GSM modem on the modem port, in text mode. Each step is followed by
// a one-second pause, and the modem's answer is read within it: the message counts as sent only
// when the modem confirms it ("+CMGS: n", "OK"). Numbers and messages come from the
// configuration, so they go on the line only as text: nothing in a configured number or message
// can reach the modem as a command.
#pragma once

#include "general/Delivery.h"
#include "general/Line.h"
#include "general/SerialPort.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

namespace sms {
inline constexpr const char *textMode = "AT+CMGF=1\r";
inline constexpr const char *sendTo = "AT+CMGS=";
inline constexpr char endOfMessage = 26;
} // namespace sms

// Why a number that smsNumber() refuses is not sent to.
inline constexpr const char *notATelephoneNumber =
    "not a telephone number (digits with an optional leading \"+\")";

// A telephone number as it goes between the quotes of "AT+CMGS=": digits, optionally after a
// "+"; blanks, dots and dashes among them are dropped. Anything else (a quote, a semicolon, a
// letter) could close the number and append a command, and is refused with nullopt.
std::optional<std::string> smsNumber(std::string_view text);

// What the modem answered to the three steps of a message, in order: text mode, opening the
// message, the text with character 26. Each is all that came within the pause after the step.
// Delivered when the last answer confirms the message; otherwise the reason names the first
// step whose answer was wrong.
Delivery judgeSmsAnswers(const std::vector<std::string> &answers);

// A message as it goes on the modem line: 8-bit, without a single control character, so that
// nothing in it can end (26), abandon (27) or break it, or reach the modem as a command.
std::string smsLineText(std::string_view text);

class SmsModem {
public:
    // `port` is the SMS modem's own port, opened as `portNumber` (the station's modem port, which
    // the operator may change) for each message and closed after it.
    SmsModem(Line &line, SerialPort &port, const int &portNumber)
        : line_(line), port_(port), portNumber_(portNumber) {}

    // One message to one number. Control characters removed from the message are a progress
    // line; a number refused, a port that does not open or takes no bytes, a modem that answers
    // ERROR or nothing, the result.
    Delivery send(const std::string &number, const std::string &message);

private:
    // Writes one step and listens through the pause after it; nothing when the port refused.
    std::optional<std::string> step(const std::string &bytes);

    Line &line_;
    SerialPort &port_;
    const int &portNumber_;
};

} // namespace vantrell
