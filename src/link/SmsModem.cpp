#include "link/SmsModem.h"

#include "general/Clock.h"
#include "general/Codepage.h"
#include "general/EventPump.h"
#include "general/Progress.h"
#include "general/Text.h"

#include <algorithm>
#include <array>

namespace vantrell {

namespace {
constexpr const char *noNumber = "no number";
constexpr const char *controlCharactersRemoved = ": control characters removed from the text";
constexpr const char *portTookNoBytes = "the modem port took no bytes";
constexpr const char *answeredPrefix = "the modem answered ";
constexpr const char *noAnswerPrefix = "no answer from the modem to ";
// What the steps are called in a reason, in the order they are sent.
constexpr std::array<const char *, 3> stepNames = {"AT+CMGF=1", "AT+CMGS", "the message"};

// Each step is followed by this pause, in which its answer must come.
constexpr double stepPause = 1.0;
// An answer is a few result lines and the echo of a 160-character text; a line that keeps
// talking is not a modem answering, and only its end is kept.
constexpr std::size_t maxAnswer = 1024;

std::vector<std::string_view> answerLines(std::string_view answer) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start <= answer.size();) {
        const std::size_t end = std::min(answer.find_first_of("\r\n", start), answer.size());
        if (end > start)
            lines.push_back(answer.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// "ERROR", or the numbered errors of the GSM standards ("+CMS ERROR: 500").
std::optional<std::string_view> errorLine(std::string_view answer) {
    for (const std::string_view line : answerLines(answer))
        if (line == "ERROR" || line.starts_with("+CMS ERROR") || line.starts_with("+CME ERROR"))
            return line;
    return std::nullopt;
}

bool confirmsMessage(std::string_view answer) {
    bool reference = false;
    for (const std::string_view line : answerLines(answer)) {
        reference = reference || line.starts_with("+CMGS:");
        if (reference && line == "OK")
            return true;
    }
    return false;
}

bool answeredAsDue(std::size_t step, std::string_view answer) {
    switch (step) {
    case 0: {
        const std::vector<std::string_view> lines = answerLines(answer);
        return std::find(lines.begin(), lines.end(), "OK") != lines.end();
    }
    case 1:
        return answer.find('>') != std::string_view::npos;
    default:
        return confirmsMessage(answer);
    }
}
} // namespace

// A modem that confirms the message has sent it, whatever it said before: reporting such a
// message as failed would only have it sent twice.
Delivery judgeSmsAnswers(const std::vector<std::string> &answers) {
    if (answers.size() == stepNames.size() && confirmsMessage(answers.back()))
        return Delivery::done();
    for (std::size_t step = 0; step < stepNames.size(); ++step) {
        const std::string_view answer =
            step < answers.size() ? std::string_view(answers[step]) : std::string_view();
        if (const std::optional<std::string_view> error = errorLine(answer))
            return Delivery::failed(answeredPrefix + std::string(*error) + " to " +
                                    stepNames[step]);
        if (!answeredAsDue(step, answer))
            return Delivery::failed(noAnswerPrefix + std::string(stepNames[step]));
    }
    return Delivery::done();
}

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

// The three steps always go out in full, as they always have: a modem that missed one step may
// still send the message, and only its confirmation tells.
Delivery SmsModem::send(const std::string &number, const std::string &message) {
    if (trim(number).empty())
        return Delivery::failed(noNumber);
    const std::optional<std::string> lineNumber = smsNumber(number);
    if (!lineNumber)
        return Delivery::failed(notATelephoneNumber);
    const std::string lineMessage = smsLineText(message);
    if (hasControlCharacter(message))
        line_.progress().detail("SMS to \"" + number + "\"" + controlCharactersRemoved);
    if (port_.isOpen())
        port_.close();
    if (const PortError error = port_.open(portNumber_); error != PortError::none)
        return Delivery::failed(describe(port_, portNumber_, error));
    std::vector<std::string> answers;
    for (const std::string &bytes :
         {std::string(sms::textMode), std::string(sms::sendTo) + "\"" + *lineNumber + "\"\r",
          lineMessage + sms::endOfMessage}) {
        std::optional<std::string> answer = step(bytes);
        if (!answer)
            break;
        answers.push_back(std::move(*answer));
    }
    if (port_.isOpen())
        port_.close();
    return answers.size() < stepNames.size() ? Delivery::failed(portTookNoBytes)
                                             : judgeSmsAnswers(answers);
}

std::optional<std::string> SmsModem::step(const std::string &bytes) {
    if (!port_.write(bytes))
        return std::nullopt;
    const Deadline pause(line_.clock(), stepPause);
    std::string answer;
    while (!pause.expired()) {
        line_.pump().yield(&port_, pause.end());
        if (port_.isOpen())
            answer += port_.read(0);
        if (answer.size() > maxAnswer)
            answer.erase(0, answer.size() - maxAnswer);
    }
    return answer;
}

} // namespace vantrell
