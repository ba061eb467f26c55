#include "link/SmsModem.h"

#include "general/Codepage.h"
#include "general/Progress.h"
#include "general/Text.h"

namespace vantrell {

namespace {
constexpr const char *noNumber = "no number";
constexpr const char *controlCharactersRemoved = ": control characters removed from the text";
constexpr const char *portTookNoBytes = "the modem port took no bytes";
} // namespace

std::optional<std::string> smsNumber(std::string_view text) {
    const std::string given = trim(text);
    std::string number;
    std::string_view digits = given;
    if (startsWith(digits, "+")) {
        number += '+';
        digits.remove_prefix(1);
    }
    for (const char c : digits) {
        if (c >= '0' && c <= '9')
            number += c;
        else if (c != ' ' && c != '.' && c != '-')
            return std::nullopt;
    }
    if (number.empty() || number == "+")
        return std::nullopt;
    return number;
}

// Control characters go before the code page does: the five bytes it leaves unassigned are
// control characters in UTF-8, and so cannot come out of it.
std::string smsLineText(std::string_view text) {
    return utf8ToWindows1252(withoutControlCharacters(text));
}

// No answer of the modem is read: the steps are paced by one-second pauses.
Delivery SmsModem::send(const std::string &number, const std::string &message) {
    if (trim(number).empty())
        return Delivery::failed(noNumber);
    const std::optional<std::string> lineNumber = smsNumber(number);
    if (!lineNumber)
        return Delivery::failed(notATelephoneNumber);
    const std::string lineMessage = smsLineText(message);
    if (hasControlCharacter(message))
        station_.progress().detail("SMS to \"" + number + "\"" + controlCharactersRemoved);
    if (port_.isOpen())
        port_.close();
    if (const PortError error = port_.open(station_.modemPortNumber); error != PortError::none)
        return Delivery::failed(describe(port_, station_.modemPortNumber, error));
    const bool written = write(sms::textMode) &&
                         write(std::string(sms::sendTo) + "\"" + *lineNumber + "\"\r") &&
                         write(lineMessage + sms::endOfMessage);
    if (port_.isOpen())
        port_.close();
    return written ? Delivery::done() : Delivery::failed(portTookNoBytes);
}

bool SmsModem::write(const std::string &bytes) {
    if (!port_.write(bytes))
        return false;
    station_.wait(1);
    return true;
}

} // namespace vantrell
