// A program the station runs beside its work: started without a shell, as the station's own
// user, with nothing to read, in the station's environment with some names added. Its standard
// output and error share one pipe that is read as it fills, so that a talkative program never
// stalls on it. At its time limit its process group is sent SIGTERM, and SIGKILL when it has
// not ended a few seconds later: a hook's own children go with it.
#pragma once

#include "general/Clock.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

struct Command {
    std::filesystem::path program;
    // "NAME=value", each replacing a variable of the same name the station has.
    std::vector<std::string> environment;
    double timeoutSeconds = 60;
};

struct CommandEnd {
    enum class How { exited, signalled, timedOut, notStarted };
    How how = How::notStarted;
    int code = 0;       // the exit code, or the signal that ended it
    std::string reason; // why it could not start
};

// Each line of output as it comes, without its line break; a line of more than 4 KiB comes in
// pieces.
using OutputLine = std::function<void(std::string_view)>;

// Runs `command` to its end, its time limit kept on `clock`.
CommandEnd runCommand(const Command &command, const Clock &clock, const OutputLine &line);

} // namespace vantrell
