#include "link/LoggingSerialPort.h"

#include "general/Text.h"

namespace vantrell {

PortError LoggingSerialPort::open(int portNumber) {
    const PortError error = inner_.open(portNumber);
    if (error != PortError::none && !failing_)
        log_(describe(inner_, portNumber, error));
    else if (error == PortError::none && failing_)
        log_(portName(inner_, portNumber) + ": open again");
    failing_ = error != PortError::none;
    return error;
}

namespace {
constexpr std::size_t bytesPerLine = 32;
}

void LoggingSerialPort::close() {
    flushReceived();
    inner_.close();
}

void LoggingSerialPort::discardInput() {
    flushReceived();
    if (showBytes_ && inner_.bytesWaiting() > 0)
        log_("<= discarded " + std::to_string(inner_.bytesWaiting()) + " bytes");
    inner_.discardInput();
}

bool LoggingSerialPort::write(std::string_view bytes) {
    flushReceived();
    dump("=>", bytes);
    const bool ok = inner_.write(bytes);
    if (!ok)
        log_("write failed");
    return ok;
}

std::string LoggingSerialPort::read(std::size_t maxBytes) {
    std::string bytes = inner_.read(maxBytes);
    if (showBytes_) {
        received_ += bytes;
        if (received_.size() >= bytesPerLine)
            flushReceived();
    }
    return bytes;
}

void LoggingSerialPort::flushReceived() {
    dump("<=", received_);
    received_.clear();
}

void LoggingSerialPort::dump(const char *direction, std::string_view bytes) {
    if (!showBytes_ || bytes.empty())
        return;
    std::string line = direction;
    for (unsigned char b : bytes)
        line += " " + hex2(b);
    log_(line);
}

} // namespace vantrell
