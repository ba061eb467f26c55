// What a reading session and the scheduled cycle hand on to the outside world: the channel and
// logger alarms, the data file by mail or FTP, and the report of a finished schedule time.
// Deliveries never change a device's status letter and never stop the cycle: a failure is a
// log line, not a result.
#pragma once

namespace vantrell {

class Forwarding {
public:
    virtual ~Forwarding() = default;

    // On the readings this transfer decoded, before the logger is released.
    virtual void checkAbsoluteAlarms() = 0;
    // On the data file this session wrote, after the read-back; without one there is no history
    // of this logger to look at.
    virtual void checkAccelerationAlarms(bool dataFileWritten) = 0;
    // The logger reported a reading beyond its own limits.
    virtual void sendLimitAlarm() = 0;
    // The data file of the logger just read, to the device's forwarding address.
    virtual void sendDataMail() = 0;
    // The same by FTP; returns when the upload has ended, one way or the other.
    virtual void sendDataFtp() = 0;
    // One line per device due at the schedule time that has just been completed.
    virtual void sendRunReport() = 0;
};

} // namespace vantrell
