// The station without a screen, wired to the real world: the system clock, a blocking event
// pump that notices a stop request, the termios ports (numbers mapped through comports.xml),
// real mail and FTP, progress and messages as log lines on standard output.
#pragma once

#include "config/Station.h"
#include "cycle/Schedule.h"
#include "cycle/Session.h"
#include "forwarding/StationForwarding.h"
#include "general/Clock.h"
#include "general/Dialogs.h"
#include "general/EventPump.h"
#include "general/Progress.h"
#include "link/LoggingSerialPort.h"
#include "link/PosixSerialPort.h"

#include <filesystem>
#include <iostream>

namespace vantrell {

class HeadlessStation {
public:
    HeadlessStation(const std::filesystem::path &configDir, bool logIo);

    Station &station() { return station_; }
    LoggingProgress &log() { return progress_; }

    // Loads the configuration for reading loggers; false (after logging why) when the station
    // cannot work with it: no usable device table, or a folder it may not write in. Nothing is
    // written before the device table is known to be good.
    bool loadConfiguration();
    // Loads it for a look only: false without a usable device table; nothing is written.
    bool readConfiguration();
    // The scheduled cycle until a stop is requested.
    void runCycle();
    // One reading session of `slot` as for schedule time `time`; returns the letter left.
    std::string readDevice(int slot, int time);
    // Texts from the files are shown only where printable: a terminal takes control
    // characters as commands.
    void printStatus(std::ostream &out);

private:
    bool deviceTableUsable();
    void logProblems(const std::vector<ConfigError> &problems);

    // Passes the stop signal on to the running session.
    class StoppablePump final : public EventPump {
    public:
        StoppablePump(const Clock &clock, Station *&station) : inner_(clock), station_(station) {}
        void yield(SerialPort *port, double until) override;

    private:
        BlockingEventPump inner_;
        Station *&station_;
    };

    Station *self_ = nullptr;
    SystemClock clock_;
    StoppablePump pump_{clock_, self_};
    LoggingProgress progress_{std::cout, clock_};
    PosixSerialPort linePort_;
    PosixSerialPort smsPort_;
    LoggingSerialPort loggedLine_;
    LoggingSerialPort loggedSms_;
    LoggingDialogs dialogs_{std::cout};
    Station station_;
    StationForwarding forwarding_;
    Session session_{station_, forwarding_};
    Schedule schedule_{station_, session_, forwarding_};
};

} // namespace vantrell
