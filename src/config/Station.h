// The one object that holds the whole station: its configuration tables, the day's marks, the
// session flags and the services through which it meets time, the line and the operator. Programs
// own one; tests build as many as they like.
#pragma once

#include "config/SessionState.h"
#include "config/SessionStatus.h"
#include "config/Tables.h"
#include "general/Line.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace vantrell {

class Clock;
class EventPump;
class SerialPort;
class ProgressSink;
class Dialogs;

struct StationServices {
    Clock &clock;
    EventPump &pump;
    SerialPort &port;
    ProgressSink &progress;
    Dialogs &dialogs;
};

class Station {
public:
    Station(StationServices services, std::filesystem::path configDir);
    Station(const Station &) = delete;
    Station &operator=(const Station &) = delete;

    Clock &clock() const { return services_.clock; }
    EventPump &pump() const { return services_.pump; }
    SerialPort &port() const { return services_.port; }
    ProgressSink &progress() const { return services_.progress; }
    Dialogs &dialogs() const { return services_.dialogs; }
    const std::filesystem::path &configDir() const { return configDir_; }

    // What the protocol steps see of the station.
    Line &line() { return line_; }
    // Lets the world move on for `seconds` (the pauses between protocol steps).
    void wait(double seconds) { line_.wait(seconds); }

    // The device a session is reading now; nothing between sessions. The windows hold back
    // what would change that device's record or marks until its session has ended.
    std::optional<int> deviceInSession() const;

    DeviceTable devices{};
    ScheduleTimes scheduleTimes{};
    DailyMarks dailyMarks{};
    ReportSentMarks reportSentMarks{};
    ChannelSetup channelSetup{};
    SmsPhonebook phonebook{};
    int linePortNumber = 1;  // the serial line's port, as chosen in the port list
    int modemPortNumber = 1; // the SMS modem's port
    int selectedDevice = 1;
    // The setup file chosen last, relative to the configuration folder ("/DeviceSetup/...").
    std::string setupFileName;
    Settings settings{};

    SessionState session{};
    // The (schedule time, device) pairs whose failed delivery the outbox retries, for the report
    // of the time; a new day starts without any.
    std::set<std::pair<int, int>> retriedFromOutbox;
    // The sessions of each (schedule time, device) pair while [retry] reads devices again, for
    // the report of the time; empty without it, and a new day starts without any.
    std::map<std::pair<int, int>, int> sessionsInTime;

private:
    StationServices services_;
    std::filesystem::path configDir_;
    Line line_;
};

} // namespace vantrell
