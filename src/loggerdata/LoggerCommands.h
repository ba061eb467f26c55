// The two commands that change the logger itself: erasing its memory once the data are safe on
// disk, and setting its clock to the PC's when the two disagree. Both go through the
// acknowledged command exchange.
#pragma once

#include "config/SessionStatus.h"
#include "config/Tables.h"
#include "general/Line.h"
#include "link/Serial.h"

#include <string>

namespace vantrell {

struct LocalDateTime;

// "hYY-MM-DD HH:MM:SS" for the moment `now`.
std::string clockCommand(const LocalDateTime &now);

class LoggerCommands {
public:
    explicit LoggerCommands(Line &line) : line_(line), serial_(line) {}

    // Erases the logger memory, but only when `dataSaved` (the transfer was complete and its data
    // file written in full); otherwise the records would be lost. True when the logger took the
    // command; anything else is said as not done. `answer`: whether the logger's answer is
    // awaited, as the connection left it.
    bool eraseLoggerMemory(bool dataSaved, AnswerExpected answer);
    // Sets the logger clock to the PC's; gives the time set, as the logger's clock now reads.
    LoggerClock setLoggerClock();

private:
    Line &line_;
    Serial serial_;
};

} // namespace vantrell
