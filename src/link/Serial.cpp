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

bool Serial::reopen() {
    SerialPort &port = station_.port();
    if (port.isOpen())
        port.close();
    link_.portError = port.open(link_.portNumber);
    return link_.portError == PortError::none;
}

void Serial::closePort() {
    if (station_.port().isOpen())
        station_.port().close();
}

bool Serial::write(std::string_view bytes) {
    return station_.port().write(bytes);
}

bool Serial::waitForData(double limit) {
    SerialPort &port = station_.port();
    const Deadline deadline(station_.clock(), limit);
    for (;;) {
        station_.pump().yield(&port, deadline.end());
        if (deadline.expired())
            return false;
        if (port.isOpen() && port.bytesWaiting() > 0)
            return true;
    }
}

std::optional<char> Serial::readChar() {
    const std::string one = station_.port().read(1);
    if (one.empty())
        return std::nullopt;
    return one.front();
}

void Serial::sendOnly() {
    if (reopen())
        (void)write(link_.command);
    closePort();
}

void Serial::wakeLogger() {
    wake(code::wakeLogger, link_.remoteLinkUp ? remoteLoggerWakeLimit : loggerWakeLimit, "?[]",
         true);
}

void Serial::wakeSwitch() {
    wake(code::wakeSwitch, switchWakeLimit, "@", false);
}

void Serial::wake(char wakeCode, double limit, std::string_view answers, bool crOnGiveUp) {
    for (int attempt = 1; attempt <= wakeAttempts; ++attempt) {
        link_.handshakeOk = 0;
        if (!reopen() || !write(std::string(1, wakeCode)) || !waitForData(limit))
            break;
        const auto answer = readChar();
        if (answer && answers.find(*answer) != std::string_view::npos) {
            link_.handshakeOk = 1;
            break;
        }
        if (attempt == wakeAttempts && crOnGiveUp)
            (void)write(std::string(1, code::carriageReturn));
    }
    closePort();
}

bool Serial::exchangeLogger() {
    return exchange(code::loggerAttention);
}
bool Serial::exchangeSwitch() {
    return exchange(code::switchAttention);
}

bool Serial::exchange(char attention) {
    bool taken = false;
    for (int attempt = 0; attempt < exchangeAttempts; ++attempt) {
        link_.reply.clear();
        link_.replyComplete = "0";
        if (!reopen())
            break;
        if (!write(std::string(1, attention)) || !waitForData(answerLimit) || readChar() != '!')
            continue;
        station_.port().discardInput();
        if (!write(link_.command + code::carriageReturn))
            continue;
        taken = true;
        if (link_.handshakeOk == 0) {
            link_.replyComplete = "1";
            break;
        }
        while (link_.reply.size() < maxAnswerLength && waitForData(answerLimit)) {
            const auto c = readChar();
            if (c == code::carriageReturn) {
                link_.replyComplete = "1";
                break;
            }
            if (c)
                link_.reply += *c;
        }
        if (link_.complete())
            break;
    }
    closePort();
    return taken;
}

void Serial::readParameterBlock() {
    fixedRequest(code::parameterRequest, parameterMinimum);
}

void Serial::readClock() {
    fixedRequest(code::clockRequest, clockMinimum);
    const std::string_view r = link_.reply;
    const auto at = [r](std::size_t offset) { return std::string(cut(r, Field{offset, 2})); };
    link_.loggerDate = at(6) + "-" + at(3) + "-" + at(0);
    link_.loggerTime = at(9) + ":" + at(12) + ":" + at(15);
}

// A carriage return before the minimum length is data: the parameter block carries binary
// bytes in its first positions.
void Serial::fixedRequest(char request, std::size_t minimumLength) {
    link_.command = std::string(1, request);
    link_.reply.clear();
    link_.replyComplete = "0";
    if (reopen() && write(link_.command)) {
        while (link_.reply.size() < maxAnswerLength && waitForData(answerLimit)) {
            const auto c = readChar();
            if (!c)
                continue;
            if (*c == code::carriageReturn && link_.reply.size() >= minimumLength) {
                link_.replyComplete = "1";
                break;
            }
            link_.reply += *c;
        }
    }
    closePort();
}

void Serial::flushInput() {
    SerialPort &port = station_.port();
    if (port.isOpen() || port.open(link_.portNumber) == PortError::none) {
        while (port.bytesWaiting() > 0)
            (void)port.read(0);
    }
    closePort();
}

} // namespace vantrell
