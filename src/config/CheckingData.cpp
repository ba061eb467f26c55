#include "config/CheckingData.h"

#include "config/Station.h"
#include "general/Dialogs.h"
#include "general/Text.h"

#include <algorithm>
#include <cctype>

namespace vantrell {

namespace {

constexpr const char *badPhoneText = "The phone number inserted is not correct";
constexpr const char *noSerialText = "No serial number is inserted";
constexpr const char *badSerialText = "The serial number inserted is not correct";

constexpr std::array<std::string_view, 4> modelCodes = {"KV", "GQ", "HZ", "YR"};

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Digits from `at`; returns how many.
std::size_t skipDigits(std::string_view text, std::size_t &at) {
    const std::size_t start = at;
    while (at < text.size() && isDigit(text[at]))
        ++at;
    return at - start;
}

} // namespace

// "XXXX", "DE", "MMYY": a number, one of the model codes, a number. The parts are cut from the
// text as typed, so a leading blank shifts the model code out of place. What follows the tenth
// character is not examined, except that no control character may be anywhere: the serial
// becomes part of data-file names and mail subjects, where a line break would split them.
bool serialLayoutOk(std::string_view serial) {
    const std::string_view modelCode = cut(serial, {4, 2});
    return !hasControlCharacter(serial) && isNumeric(cut(serial, {0, 4})) &&
           std::find(modelCodes.begin(), modelCodes.end(), modelCode) != modelCodes.end() &&
           isNumeric(cut(serial, {6, 4}));
}

bool isNumeric(std::string_view text) {
    const std::string number = trim(text);
    std::size_t at = 0;
    if (at < number.size() && (number[at] == '+' || number[at] == '-'))
        ++at;
    std::size_t digits = skipDigits(number, at);
    if (at < number.size() && number[at] == '.') {
        ++at;
        digits += skipDigits(number, at);
    }
    if (digits == 0)
        return false;
    if (at < number.size() && (number[at] == 'e' || number[at] == 'E')) {
        ++at;
        if (at < number.size() && (number[at] == '+' || number[at] == '-'))
            ++at;
        if (skipDigits(number, at) == 0)
            return false;
    }
    return at == number.size();
}

std::optional<std::string> CheckingData::refuse(const char *text) {
    station_.dialogs().message(dataErrorTitle, text, DialogButtons::ok, DialogIcon::exclamation);
    return text;
}

std::optional<std::string> CheckingData::checkPhoneNumber(std::string_view phone) {
    if (!isNumeric(phone))
        return refuse(badPhoneText);
    return std::nullopt;
}

std::optional<std::string>
CheckingData::checkSerialNumbers(const std::array<std::string, maxLoggers> &serials) {
    const auto filled = [](const std::string &serial) { return !trim(serial).empty(); };
    if (std::none_of(serials.begin(), serials.end(), filled))
        return refuse(noSerialText);
    for (const std::string &serial : serials)
        if (filled(serial) && !serialLayoutOk(serial))
            return refuse(badSerialText);
    return std::nullopt;
}

} // namespace vantrell
