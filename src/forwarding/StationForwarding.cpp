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

std::vector<Sent> StationForwarding::checkAbsoluteAlarms(const SessionRequest &request,
                                                         const ChannelSetup *setup,
                                                         const LoggerResult &logger) {
    station_.progress().detail(checkingAlarmAbsolute);
    if (setup == nullptr)
        return {};
    AlarmCheck check(*setup, logger.position, station_.progress());
    return alarm_.send(check.absoluteAlarms(logger.readings), request.device);
}

std::vector<Sent> StationForwarding::checkAccelerationAlarms(const SessionRequest &request,
                                                             const ChannelSetup *setup,
                                                             const LoggerResult &logger,
                                                             const std::vector<Reading> &history) {
    station_.progress().detail(checkingAlarmAcceleration);
    station_.wait(1);
    // A file this session did not write holds an earlier session's readings, or none at all.
    if (logger.saved != MemorySaved::inFile) {
        station_.progress().detail(accelerationNotChecked);
        return {};
    }
    if (setup == nullptr)
        return {};
    AlarmCheck check(*setup, logger.position, station_.progress());
    return alarm_.send(check.accelerationAlarms(history, int(history.size())), request.device);
}

std::vector<Sent> StationForwarding::sendLimitAlarm(const SessionRequest &request,
                                                    const LoggerResult &logger) {
    return alarm_.send(limitAlarm(request.record, logger.position), request.device);
}

// The file keeps its name in the FTP folder.
Sent StationForwarding::sendDataFtp(const SessionRequest &request, const LoggerResult &logger) {
    return forward_.sendDataFtp(request, logger.path,
                                "./" + std::filesystem::path(logger.path).filename().string());
}

MailSessionFactory curlMailSessions(std::function<void()> idle) {
    return [idle = std::move(idle)] { return std::make_unique<CurlMailSession>(idle); };
}

FtpSessionFactory curlFtpSessions() {
    return [] { return std::make_unique<CurlFtpSession>(); };
}

} // namespace vantrell
