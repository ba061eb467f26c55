#include "forwarding/FtpSteps.h"

namespace vantrell {

namespace {
constexpr const char *stopped = "stopped";

// Each command waits for the one before it to end (within a bound) instead of failing because
// it is still running, so a slow server delays the upload rather than losing it.
Delivery finishCommand(FtpSession &ftp, const Clock &clock,
                       const std::function<bool(double)> &wait) {
    const Deadline limit(clock, ftpCommandWaitLimit);
    while (ftp.stillExecuting()) {
        if (limit.expired())
            return Delivery::failed("no end of the command within " +
                                    std::to_string(int(ftpCommandWaitLimit)) + " s");
        if (!wait(ftpPollInterval))
            return Delivery::failed(stopped);
    }
    return ftp.lastResult();
}

} // namespace

std::vector<FtpStep> uploadSteps(const std::string &folder, const std::string &local,
                                 const std::string &remote) {
    return {{ftpCommand::dir, 2},
            {ftpCommand::cd + folder, 1},
            {ftpCommand::put + ftpArgument(local) + " " + ftpArgument(remote), 1}};
}

Delivery runFtpSteps(FtpSession &ftp, const std::vector<FtpStep> &steps, const Clock &clock,
                     const std::function<bool(double)> &wait) {
    for (const FtpStep &step : steps) {
        if (Delivery started = ftp.execute(step.command); !started.delivered())
            return started;
        for (int i = 0; i < step.pauses; ++i)
            if (!wait(1))
                return Delivery::failed(stopped);
        if (Delivery ended = finishCommand(ftp, clock, wait); !ended.delivered())
            return ended;
    }
    return Delivery::done();
}

} // namespace vantrell
