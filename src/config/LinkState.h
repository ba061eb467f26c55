// What the serial primitives share with the steps built on them: the command to send, the
// answer and its flags, and the logger clock as last read.
#pragma once

#include "general/SerialPort.h"

#include <string>

namespace vantrell {

struct LinkState {
    int portNumber = 1;
    std::string command;
    int handshakeOk = 0; // 1 when the last wake-up was answered
    std::string reply;   // the last answer, without its carriage return
    std::string replyComplete = "0";
    bool remoteLinkUp = false;             // a modem connection to a remote station is up
    std::string loggerDate;                // DD-MM-YY
    std::string loggerTime;                // HH:MM:SS
    PortError portError = PortError::none; // why the port last failed to open

    bool complete() const { return replyComplete == "1"; }
};

} // namespace vantrell
