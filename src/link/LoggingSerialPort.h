// Wraps the station's port to say what happens on the line: a port that cannot be opened is
// logged once, and once more when it opens again; with the I/O level on, every byte sent and
// received is logged in hex.
#pragma once

#include "general/SerialPort.h"

#include <functional>
#include <string>

namespace vantrell {

class LoggingSerialPort final : public SerialPort {
public:
    using Log = std::function<void(const std::string &)>;

    LoggingSerialPort(SerialPort &inner, Log log, bool showBytes)
        : inner_(inner), log_(std::move(log)), showBytes_(showBytes) {}

    PortError open(int portNumber) override;
    void close() override;
    bool isOpen() const override { return inner_.isOpen(); }
    PortError hold(int portNumber) override { return inner_.hold(portNumber); }
    void release() override { inner_.release(); }
    std::string deviceName(int portNumber) const override { return inner_.deviceName(portNumber); }
    std::size_t bytesWaiting() override { return inner_.bytesWaiting(); }
    void discardInput() override;
    bool write(std::string_view bytes) override;
    std::string read(std::size_t maxBytes) override;
    void waitReadable(double maxSeconds) override { inner_.waitReadable(maxSeconds); }

private:
    void dump(const char *direction, std::string_view bytes);
    // Answers arrive a byte at a time; they are logged a line at a time.
    void flushReceived();

    SerialPort &inner_;
    Log log_;
    bool showBytes_;
    bool failing_ = false;
    std::string received_;
};

} // namespace vantrell
