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

void Forward::sendDataMail() {
    station_.progress().detail(sendingDataToMail);
    const DeviceRecord &device = station_.cycleRecord();
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
    mail->setMessageSubject(dataFromDevice + device.serialNumber(station_.session.loggerIndex));
    mail->setMessageText(dataFromDevice + std::to_string(station_.cycleDevice));
    mail->addAttachment(station_.data.dataFilePath);
    deliverMail(station_, *mail, outbox_, station_.cycleDevice);
}

void Forward::sendDataFtp(const std::string &localPath, const std::string &remote) {
    station_.progress().detail(sendingDataToFtp);
    const DeviceRecord &device = station_.cycleRecord();
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
    outbox_.uploadTried(upload, result, station_.cycleDevice);
}

} // namespace vantrell
