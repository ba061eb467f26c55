#include "link/Serial.h"

#include "general/Clock.h"
#include "general/EventPump.h"
#include "general/SerialPort.h"
#include "general/Text.h"

namespace vantrell {

namespace {
constexpr int wakeAttempts = 4;
constexpr int exchangeAttempts = 2;
constexpr double loggerWakeLimit = 3.0;
// A modem link adds its own delay to every answer.
constexpr double remoteLoggerWakeLimit = 5.0;
constexpr double switchWakeLimit = 3.0;
constexpr std::size_t parameterMinimum = 33;
constexpr std::size_t clockMinimum = 17;
// No answer of the loggers or the switch comes near this; a line that keeps sending without a
// carriage return is noise, and collecting it must end.
constexpr std::size_t maxAnswerLength = 1024;
} // namespace

PortError Serial::reopen() {
    SerialPort &port = line_.port();
    if (port.isOpen())
        port.close();
    return port.open(line_.portNumber());
}

void Serial::closePort() {
    if (line_.port().isOpen())
        line_.port().close();
}

bool Serial::write(std::string_view bytes) {
    return line_.port().write(bytes);
}

bool Serial::waitForData(double limit) {
    SerialPort &port = line_.port();
    const Deadline deadline(line_.clock(), limit);
    for (;;) {
        line_.pump().yield(&port, deadline.end());
        if (deadline.expired())
            return false;
        if (port.isOpen() && port.bytesWaiting() > 0)
            return true;
    }
}

std::optional<char> Serial::readChar() {
    const std::string one = line_.port().read(1);
    if (one.empty())
        return std::nullopt;
    return one.front();
}

void Serial::send(std::string_view bytes) {
    if (opened())
        (void)write(bytes);
    closePort();
}

bool Serial::wakeLogger(LoggerLine line) {
    return wake(code::wakeLogger,
                line == LoggerLine::modemCall ? remoteLoggerWakeLimit : loggerWakeLimit, "?[]",
                true);
}

bool Serial::wakeSwitch() {
    return wake(code::wakeSwitch, switchWakeLimit, "@", false);
}

bool Serial::wake(char wakeCode, double limit, std::string_view answers, bool crOnGiveUp) {
    bool answered = false;
    for (int attempt = 1; attempt <= wakeAttempts; ++attempt) {
        if (!opened() || !write(std::string(1, wakeCode)) || !waitForData(limit))
            break;
        const auto answer = readChar();
        if (answer && answers.find(*answer) != std::string_view::npos) {
            answered = true;
            break;
        }
        if (attempt == wakeAttempts && crOnGiveUp)
            (void)write(std::string(1, code::carriageReturn));
    }
    closePort();
    return answered;
}

Exchange Serial::exchangeLogger(std::string_view command, AnswerExpected answer) {
    return exchange(code::loggerAttention, command, answer);
}
Exchange Serial::exchangeSwitch(std::string_view command, AnswerExpected answer) {
    return exchange(code::switchAttention, command, answer);
}

Exchange Serial::exchange(char attention, std::string_view command, AnswerExpected answer) {
    Exchange result;
    for (int attempt = 0; attempt < exchangeAttempts; ++attempt) {
        Reply &reply = result.reply;
        reply = {};
        if (!opened())
            break;
        if (!write(std::string(1, attention)) || !waitForData(answerLimit) || readChar() != '!')
            continue;
        line_.port().discardInput();
        if (!write(std::string(command) + code::carriageReturn))
            continue;
        result.taken = true;
        if (answer == AnswerExpected::no) {
            reply.complete = true;
            break;
        }
        while (reply.text.size() < maxAnswerLength && waitForData(answerLimit)) {
            const auto c = readChar();
            if (c == code::carriageReturn) {
                reply.complete = true;
                break;
            }
            if (c)
                reply.text += *c;
        }
        if (reply.complete)
            break;
    }
    closePort();
    return result;
}

Reply Serial::readParameterBlock() {
    return fixedRequest(code::parameterRequest, parameterMinimum);
}

// The answer is "YY/MM/DD HH:MM:SS"; the clock is kept day first.
LoggerClock Serial::readClock() {
    const LocalDateTime askedAt = line_.clock().localNow();
    LoggerClock clock{fixedRequest(code::clockRequest, clockMinimum), {}, {}, askedAt};
    const std::string_view r = clock.reply.text;
    const auto at = [r](std::size_t offset) { return std::string(cut(r, Field{offset, 2})); };
    clock.date = at(6) + "-" + at(3) + "-" + at(0);
    clock.time = at(9) + ":" + at(12) + ":" + at(15);
    return clock;
}

// A carriage return before the minimum length is data: the parameter block carries binary
// bytes in its first positions.
Reply Serial::fixedRequest(char request, std::size_t minimumLength) {
    Reply reply;
    if (opened() && write(std::string(1, request))) {
        while (reply.text.size() < maxAnswerLength && waitForData(answerLimit)) {
            const auto c = readChar();
            if (!c)
                continue;
            if (*c == code::carriageReturn && reply.text.size() >= minimumLength) {
                reply.complete = true;
                break;
            }
            reply.text += *c;
        }
    }
    closePort();
    return reply;
}

void Serial::flushInput() {
    SerialPort &port = line_.port();
    if (port.isOpen() || port.open(line_.portNumber()) == PortError::none) {
        while (port.bytesWaiting() > 0)
            (void)port.read(0);
    }
    closePort();
}

} // namespace vantrell
