// What a reading session and the scheduled cycle hand on to the outside world: the channel and
// logger alarms, the data file by mail or FTP, and the report of a finished schedule time. Each
// works on the logger it is given and says what became of every message, so that the session
// can tell a delivery that failed; none stops the cycle.
#pragma once

#include "config/SessionRequest.h"
#include "config/Tables.h"
#include "loggerdata/LoggerResult.h"

#include <vector>

namespace vantrell {

class Forwarding {
public:
    virtual ~Forwarding() = default;

    // On the readings this transfer decoded, before the logger is released. `setup`: the
    // station's channel alarm limits, none when its setup file could not be loaded.
    virtual std::vector<Sent> checkAbsoluteAlarms(const SessionRequest &request,
                                                  const ChannelSetup *setup,
                                                  const LoggerResult &logger) = 0;
    // On `history`, the data file this logger's save wrote, read back; without one there is no
    // history of this logger to look at.
    virtual std::vector<Sent> checkAccelerationAlarms(const SessionRequest &request,
                                                      const ChannelSetup *setup,
                                                      const LoggerResult &logger,
                                                      const std::vector<Reading> &history) = 0;
    // The logger reported a reading beyond its own limits.
    virtual std::vector<Sent> sendLimitAlarm(const SessionRequest &request,
                                             const LoggerResult &logger) = 0;
    // The data file of the logger, to the device's forwarding address.
    virtual Sent sendDataMail(const SessionRequest &request, const LoggerResult &logger) = 0;
    // The same by FTP; returns when the upload has ended, one way or the other.
    virtual Sent sendDataFtp(const SessionRequest &request, const LoggerResult &logger) = 0;
    // One line per device due at the schedule time that has just been completed.
    virtual void sendRunReport() = 0;
};

} // namespace vantrell
