// The flags of the reading session that the link steps set and the session tests.
#pragma once

#include <array>
#include <string>

namespace vantrell {

struct SessionState {
    bool stepFailed = false;
    bool sessionRunning = false;
    bool communicating = false;
    int loggerIndex = 1;           // 1..8
    std::array<int, 9> mncFlags{}; // present switch modules, 1..8
    int networkNumber = 0;
    int sectionNumber = 0;
    std::string dialNumber;     // the connection text of the device being read
    int connectionAttempt = 0;  // 1..3 within one session
    int switchAttempt = 0;      // passes through the switch stage, over all attempts
    bool stopRequested = false; // the program is ending: abandon the session safely
    int dailyMarkIndex = 1;     // 1, 3, 5, 7: the done mark is at this position + 1
};

} // namespace vantrell
