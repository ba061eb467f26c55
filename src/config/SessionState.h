// What a reading session keeps while it runs: its counters, where it is, and the modules the
// switch reported. The steps it calls take what they need as arguments.
#pragma once

#include <array>
#include <string>

namespace vantrell {

struct SessionState {
    bool sessionRunning = false;
    bool communicating = false;
    int loggerIndex = 1; // 1..8
    // The switch modules present, one bit each: bit 0 module 1 ... bit 7 module 8.
    unsigned presentModules = 0;
    bool modulePresent(int module) const { return (presentModules >> (module - 1)) & 1u; }
    std::string dialNumber;     // the connection text of the device being read
    int connectionAttempt = 0;  // 1..3 within one session
    int switchAttempt = 0;      // passes through the switch stage, over all attempts
    bool stopRequested = false; // the program is ending: abandon the session safely
    int dailyMarkIndex = 1;     // 1, 3, 5, 7: the done mark is at this position + 1
};

} // namespace vantrell
