// What the protocol steps on the serial line need of the station, and nothing more: the port and
// the number it is opened as, the clock, the pump that lets the world move on while they wait,
// the progress lines, and whether the program is ending.
#pragma once

namespace vantrell {

class Clock;
class EventPump;
class ProgressSink;
class SerialPort;

class Line {
public:
    Line(SerialPort &port, Clock &clock, EventPump &pump, ProgressSink &progress,
         const bool &stopRequested)
        : port_(port), clock_(clock), pump_(pump), progress_(progress),
          stopRequested_(stopRequested) {}
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    SerialPort &port() const { return port_; }
    Clock &clock() const { return clock_; }
    EventPump &pump() const { return pump_; }
    ProgressSink &progress() const { return progress_; }

    // The port the steps open: the one chosen for the session, or for a probe.
    int portNumber() const { return portNumber_; }
    void usePort(int portNumber) { portNumber_ = portNumber; }
    bool stopRequested() const { return stopRequested_; }

    // Lets the world move on for `seconds` (the pauses between protocol steps).
    void wait(double seconds) const;

private:
    SerialPort &port_;
    Clock &clock_;
    EventPump &pump_;
    ProgressSink &progress_;
    const bool &stopRequested_;
    int portNumber_ = 1;
};

} // namespace vantrell
