// The one transport under every protocol step: the real serial port, the simulator's in-process
// port and any fault-injecting port implement it, so protocol code never touches the platform.
// It lives at the bottom layer so that the simulator can implement it without knowing the link.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrell {

enum class PortError {
    none,
    noSuchPort,   // the number maps to no device, or the device does not exist
    portBusy,     // the device exists but another program holds it
    notSerial,    // the device is there but is no terminal (a file, /dev/null)
    accessDenied, // the program may not open the device
    ioError,      // anything else the platform reports
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens port `portNumber` (1, 2, ...) at 9600 baud, 8N1, every byte passing unchanged.
    [[nodiscard]] virtual PortError open(int portNumber) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Keeps the device of port `portNumber` to this program from now until release(), across
    // every close and open in between: a reading session opens the port for each step, and no
    // other program's bytes may come between two of them. Holding again moves the hold.
    [[nodiscard]] virtual PortError hold(int portNumber) = 0;
    virtual void release() = 0;

    // The device port `portNumber` stands for, as the operator configured it.
    virtual std::string deviceName(int portNumber) const = 0;

    virtual std::size_t bytesWaiting() = 0;
    virtual void discardInput() = 0;
    // Bytes are 8-bit: one char, one byte on the line.
    [[nodiscard]] virtual bool write(std::string_view bytes) = 0;
    // Returns at most `maxBytes` of the waiting bytes (0: all of them); never blocks.
    virtual std::string read(std::size_t maxBytes) = 0;

    // Blocks until a byte is waiting or `maxSeconds` have passed; ports that live in virtual
    // time return at once and let the event pump move the clock.
    virtual void waitReadable(double maxSeconds) = 0;
};

// How every message names a port: "port 1 (/dev/ttyS0)".
[[nodiscard]] std::string portName(const SerialPort &port, int portNumber);
// The one form of every port error, wherever it is shown: "port 1 (/dev/null): not a serial
// device".
[[nodiscard]] std::string describe(const SerialPort &port, int portNumber, PortError error);

} // namespace vantrell
