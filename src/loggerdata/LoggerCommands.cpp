// Erase and clock commands.
#include "loggerdata/LoggerCommands.h"

#include "general/Clock.h"
#include "general/Progress.h"
#include "general/Text.h"

#include <utility>

namespace vantrell {

namespace {
constexpr const char *erasingMemory = "Erasing memory...";
constexpr const char *eraseSkipped = "Erasing memory...skipped, the data are not saved";
constexpr const char *eraseNotDone =
    "Erasing memory...not done, the logger did not take the command";
constexpr const char *eraseCommand = "e0001";
constexpr const char *clockCommandLead = "h";

std::string twoDigits(int value) {
    return zeroPad(value, 2);
}
} // namespace

std::string clockCommand(const LocalDateTime &now) {
    std::string command = clockCommandLead;
    for (const auto &[separator, value] : {std::pair{"", now.year % 100},
                                           {"-", now.month},
                                           {"-", now.day},
                                           {" ", now.hour},
                                           {":", now.minute},
                                           {":", now.second}}) {
        command += separator;
        command += twoDigits(value);
    }
    return command;
}

// The logger's answer to the command itself is not examined: that it answered the attention
// byte and received the whole command is all the line tells.
bool LoggerCommands::eraseLoggerMemory(bool dataSaved, AnswerExpected answer) {
    if (!dataSaved) {
        line_.progress().detail(eraseSkipped);
        return false;
    }
    line_.progress().detail(erasingMemory);
    serial_.pause1s();
    const bool taken = serial_.exchangeLogger(eraseCommand, answer).taken;
    if (!taken)
        line_.progress().detail(eraseNotDone);
    serial_.pause100ms();
    return taken;
}

LoggerClock LoggerCommands::setLoggerClock() {
    const LocalDateTime now = line_.clock().localNow();
    LoggerClock set;
    set.date = twoDigits(now.day) + "-" + twoDigits(now.month) + "-" + twoDigits(now.year % 100);
    set.time = twoDigits(now.hour) + ":" + twoDigits(now.minute) + ":" + twoDigits(now.second);
    // The logger does not answer a clock command.
    (void)serial_.exchangeLogger(clockCommand(now), AnswerExpected::no);
    return set;
}

} // namespace vantrell
