#include "general/SerialPort.h"

namespace vantrell {

namespace {
std::string reason(PortError error) {
    switch (error) {
    case PortError::none:
        return "no error";
    case PortError::noSuchPort:
        return "no such device";
    case PortError::portBusy:
        return "in use by another program";
    case PortError::notSerial:
        return "not a serial device";
    case PortError::accessDenied:
        return "permission denied";
    case PortError::ioError:
        break;
    }
    return "the port failed";
}
} // namespace

std::string portName(const SerialPort &port, int portNumber) {
    return "port " + std::to_string(portNumber) + " (" + port.deviceName(portNumber) + ")";
}

std::string describe(const SerialPort &port, int portNumber, PortError error) {
    return portName(port, portNumber) + ": " + reason(error);
}

} // namespace vantrell
