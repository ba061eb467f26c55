#include "forwarding/StationForwarding.h"

#include "forwarding/CurlFtpSession.h"
#include "forwarding/CurlMailSession.h"
#include "general/Progress.h"

#include <filesystem>

namespace vantrell {

namespace {
constexpr const char *checkingAlarmAbsolute = "checking Alarm Absolute...";
constexpr const char *checkingAlarmAcceleration = "Checking Alarm Acceleration...";
constexpr const char *accelerationNotChecked =
    "Acceleration alarms not checked: no data file was written";
} // namespace

StationForwarding::StationForwarding(Station &station, ForwardingServices services)
    : station_(station), forward_(station, services.mail, std::move(services.ftp), services.outbox),
      alarm_(station, services.smsPort, services.mail, services.outbox),
      report_(station, std::move(services.mail), services.outbox) {}

void StationForwarding::checkAbsoluteAlarms() {
    station_.progress().detail(checkingAlarmAbsolute);
    AlarmCheck check(station_.channelSetup, station_.session.loggerIndex, station_.progress());
    alarm_.send(check.absoluteAlarms(station_.data.readingTable));
}

void StationForwarding::checkAccelerationAlarms(bool dataFileWritten) {
    station_.progress().detail(checkingAlarmAcceleration);
    station_.wait(1);
    const LoggerData &data = station_.data;
    // A file this session did not write holds an earlier session's readings, or none at all.
    if (!dataFileWritten) {
        station_.progress().detail(accelerationNotChecked);
        return;
    }
    AlarmCheck check(station_.channelSetup, station_.session.loggerIndex, station_.progress());
    alarm_.send(check.accelerationAlarms(data.readingTable, data.readBackCount));
}

void StationForwarding::sendLimitAlarm() {
    alarm_.send(limitAlarm(station_.cycleRecord(), station_.session.loggerIndex));
}

// The file keeps its name in the FTP folder.
void StationForwarding::sendDataFtp() {
    const std::string &local = station_.data.dataFilePath;
    forward_.sendDataFtp(local, "./" + std::filesystem::path(local).filename().string());
}

MailSessionFactory curlMailSessions(std::function<void()> idle) {
    return [idle = std::move(idle)] { return std::make_unique<CurlMailSession>(idle); };
}

FtpSessionFactory curlFtpSessions() {
    return [] { return std::make_unique<CurlFtpSession>(); };
}

} // namespace vantrell
