#include "forwarding/Forward.h"

#include "forwarding/MailDelivery.h"
#include "general/Progress.h"
#include "general/Text.h"

namespace vantrell {

namespace {
constexpr const char *sendingDataToMail = "sending data to Mail address...";
constexpr const char *sendingDataToFtp = "sending data to FTP address...";
constexpr const char *dataFromDevice = "Data from device ";
} // namespace

Sent Forward::sendDataMail(const SessionRequest &request, const LoggerResult &logger) {
    station_.progress().detail(sendingDataToMail);
    const DeviceRecord &device = request.record;
    const std::unique_ptr<MailSession> mail = mail_();
    // A device without an SMTP server of its own sends through the station's.
    const std::string &server = device[field::smtpServer];
    mail->setServer(trim(server).empty() ? station_.settings.smtpHost : server);
    mail->setAuthenticationType(0);
    mail->setUsername("");
    mail->setPassword("");
    mail->setPopServer("");
    mail->setMailFrom(station_.settings.dataMailFrom);
    mail->setSendTo(device[field::forwardAddress]);
    mail->setMessageSubject(dataFromDevice + device.serialNumber(logger.position));
    mail->setMessageText(dataFromDevice + std::to_string(request.device));
    mail->addAttachment(logger.path);
    return deliverMail(station_, *mail, outbox_, request.device);
}

Sent Forward::sendDataFtp(const SessionRequest &request, const std::string &localPath,
                          const std::string &remote) {
    station_.progress().detail(sendingDataToFtp);
    const DeviceRecord &device = request.record;
    FtpUpload upload;
    upload.login.remoteHost = device[field::forwardAddress];
    upload.login.userName = device[field::forwardUser];
    upload.login.password = device[field::forwardPassword];
    upload.folder = device[field::ftpRootDirectory];
    upload.localPath = localPath;
    upload.remoteName = remote;
    const std::unique_ptr<FtpSession> ftp = ftp_();
    ftp->setRemoteHost(upload.login.remoteHost);
    ftp->setRemotePort(upload.login.remotePort);
    ftp->setUserName(upload.login.userName);
    ftp->setPassword(upload.login.password);
    const Delivery result = runFtpSteps(*ftp, uploadSteps(upload.folder, localPath, remote),
                                        station_.clock(), [this](double seconds) {
                                            station_.wait(seconds);
                                            return true;
                                        });
    if (!result.delivered())
        reportNotSent(station_.progress(), "Data file",
                      "FTP host \"" + upload.login.remoteHost + "\"", result.reason());
    static_cast<void>(ftp->execute(ftpCommand::close));
    ftp->cancel();
    const bool retried = outbox_.uploadTried(upload, result, request.device);
    return {result, retried};
}

} // namespace vantrell
