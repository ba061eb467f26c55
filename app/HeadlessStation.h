// The station without a screen, wired to the real world: the system clock, a blocking event
// pump, the termios port (numbers mapped through comports.xml), progress and messages as log
// lines on standard output.
#pragma once

#include "config/Station.h"
#include "general/Clock.h"
#include "general/Dialogs.h"
#include "general/EventPump.h"
#include "general/Progress.h"
#include "link/LoggingSerialPort.h"
#include "link/PosixSerialPort.h"

#include <filesystem>
#include <iostream>

namespace vantrell {

// The folder of the running program: where the configuration lives unless told otherwise.
std::filesystem::path programFolder();

class HeadlessStation {
public:
    HeadlessStation(const std::filesystem::path &configDir, bool logIo);

    Station &station() { return station_; }
    LoggingProgress &log() { return progress_; }

private:
    SystemClock clock_;
    BlockingEventPump pump_{clock_};
    PosixSerialPort realPort_;
    LoggingProgress progress_{std::cout, clock_};
    LoggingSerialPort port_;
    LoggingDialogs dialogs_{std::cout};
    Station station_;
};

} // namespace vantrell
