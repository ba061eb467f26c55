// What the station knows of the reading session under way, for the cycle and the windows: whether
// one runs, the device it reads, and the schedule time the cycle is at. The session's own
// counters and everything it reads and produces are the session's.
#pragma once

namespace vantrell {

struct SessionState {
    bool sessionRunning = false;
    bool communicating = false;
    int device = 0;             // the device a running session reads; 0 between sessions
    bool stopRequested = false; // the program is ending: abandon the session safely
    int dailyMarkIndex = 1;     // 1, 3, 5, 7: the schedule time the cycle is at
};

} // namespace vantrell
