// An upload as a row of FTP commands (the listing, which proves the log-in; the folder; the
// file), each given when the one before it has ended, with the pauses the station has always
// made after each. The first try runs them on the station's loop; a retry runs them on the
// outbox thread.
#pragma once

#include "forwarding/FtpSession.h"
#include "general/Clock.h"
#include "general/Delivery.h"

#include <functional>
#include <string>
#include <vector>

namespace vantrell {

namespace ftpCommand {
inline constexpr const char *dir = "DIR";
inline constexpr const char *cd = "CD ";
inline constexpr const char *put = "PUT ";
inline constexpr const char *close = "CLOSE";
} // namespace ftpCommand

// The longest the upload waits for one command to end: the FTP session's own command limit
// with a margin, so that the session's time-out, which says why, normally comes first.
inline constexpr double ftpCommandWaitLimit = 330.0;
// How often a running command is looked at.
inline constexpr double ftpPollInterval = 0.1;

struct FtpStep {
    std::string command;
    int pauses = 0; // one-second pauses after it is given
};

// `remote` is the name the file gets in `folder` ("./" and the data file's name).
std::vector<FtpStep> uploadSteps(const std::string &folder, const std::string &local,
                                 const std::string &remote);

// Runs the steps in order; the first that fails ends them, and says why. `wait` lets the world
// move on for the seconds given and returns false when the caller is to give up at once.
Delivery runFtpSteps(FtpSession &ftp, const std::vector<FtpStep> &steps, const Clock &clock,
                     const std::function<bool(double)> &wait);

} // namespace vantrell
