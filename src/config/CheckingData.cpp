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
constexpr const char *noScheduleText = "Select at least one scheduled time";
constexpr const char *ftpMissingText = "FTP address or root missing";
constexpr const char *rootIncorrectText = "Root directory address incorrect";
constexpr const char *mailIncorrectText = "Mail address incorrect";
constexpr const char *ftpHostPrefix = "ftp.";
constexpr const char *invalidAddressText = "Invalid e-mail address inserted";

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

namespace {

std::optional<FieldProblem> phoneProblem(std::string_view phone) {
    if (!isNumeric(phone))
        return FieldProblem{badPhoneText, field::connection};
    return std::nullopt;
}

std::optional<FieldProblem> serialProblem(const std::array<std::string, maxLoggers> &serials) {
    const auto filled = [](const std::string &serial) { return !trim(serial).empty(); };
    if (std::none_of(serials.begin(), serials.end(), filled))
        return FieldProblem{noSerialText, field::serialNumber1};
    for (int k = 1; k <= maxLoggers; ++k) {
        const std::string &serial = serials[std::size_t(k - 1)];
        if (filled(serial) && !serialLayoutOk(serial))
            return FieldProblem{badSerialText, field::serialNumber1 + k - 1};
    }
    return std::nullopt;
}

} // namespace

std::optional<FieldProblem> scheduleProblem(const DeviceRecord &record) {
    bool anyTime = false;
    for (int time = 1; time <= scheduleTimeCount; ++time)
        anyTime = anyTime || record.scheduledAt(time);
    if (record.flag(field::active) && !anyTime)
        return FieldProblem{noScheduleText, field::scheduleSlot1};
    return std::nullopt;
}

std::optional<FieldProblem> forwardProblem(const DeviceRecord &record) {
    if (!record.flag(field::forwardEnabled))
        return std::nullopt;
    const std::string &address = record[field::forwardAddress];
    if (record.flag(field::forwardKind)) {
        const std::string &root = record[field::ftpRootDirectory];
        if (trim(address).empty() || !address.starts_with(ftpHostPrefix))
            return FieldProblem{ftpMissingText, field::forwardAddress};
        if (trim(root).empty())
            return FieldProblem{ftpMissingText, field::ftpRootDirectory};
        if (!root.starts_with('/'))
            return FieldProblem{rootIncorrectText, field::ftpRootDirectory};
    } else if (address.find('@') == std::string::npos || address.find('.') == std::string::npos) {
        return FieldProblem{mailIncorrectText, field::forwardAddress};
    }
    return std::nullopt;
}

std::optional<FieldProblem> recordProblem(const DeviceRecord &record) {
    std::array<std::string, maxLoggers> serials;
    for (int k = 1; k <= maxLoggers; ++k)
        serials[std::size_t(k - 1)] = record.serialNumber(k);
    if (record.connectionKind() == ConnectionKind::modem)
        if (auto problem = phoneProblem(record.connection()))
            return problem;
    if (auto problem = serialProblem(serials))
        return problem;
    if (auto problem = scheduleProblem(record))
        return problem;
    return forwardProblem(record);
}

std::optional<std::string> reportProblem(bool enabled, const std::string &address) {
    if (enabled && (address.empty() || address.find('.') == std::string::npos ||
                    address.find('@') == std::string::npos))
        return invalidAddressText;
    return std::nullopt;
}

std::optional<std::string> CheckingData::refuse(const FieldProblem &problem) {
    station_.dialogs().message(dataErrorTitle, problem.text, DialogButtons::ok,
                               DialogIcon::exclamation);
    return problem.text;
}

std::optional<std::string> CheckingData::checkPhoneNumber(std::string_view phone) {
    if (auto problem = phoneProblem(phone))
        return refuse(*problem);
    return std::nullopt;
}

std::optional<std::string>
CheckingData::checkSerialNumbers(const std::array<std::string, maxLoggers> &serials) {
    if (auto problem = serialProblem(serials))
        return refuse(*problem);
    return std::nullopt;
}

} // namespace vantrell
