#include "general/SerialPort.h"

namespace vantrell {

std::string describe(PortError error) {
    switch (error) {
    case PortError::none:
        return "no error";
    case PortError::noSuchPort:
        return "the port does not exist";
    case PortError::portBusy:
        return "the port is in use";
    case PortError::ioError:
        break;
    }
    return "the port failed";
}

} // namespace vantrell
