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
    noSuchPort, // the number maps to no device, or the device does not exist
    portBusy,   // the device exists but is in use
    ioError,    // anything else the platform reports
};

[[nodiscard]] std::string describe(PortError error);

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens port `portNumber` (1, 2, ...) at 9600 baud, 8N1, every byte passing unchanged.
    [[nodiscard]] virtual PortError open(int portNumber) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

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

} // namespace vantrell
