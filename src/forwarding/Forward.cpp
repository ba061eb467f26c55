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
    mail->setMessageSubject(dataFromDevice +
                            device.serialNumber(station_.session.loggerIndex));
    mail->setMessageText(dataFromDevice + std::to_string(station_.cycleDevice));
    mail->addAttachment(station_.data.dataFilePath);
    deliverMail(station_, *mail);
}

// Each command waits for the one before it to end (within a bound) instead of failing because
// it is still running, so a slow server delays the upload rather than losing it.
void Forward::sendDataFtp(const std::string &localPath, const std::string &remote) {
    station_.progress().detail(sendingDataToFtp);
    const DeviceRecord &device = station_.cycleRecord();
    const std::unique_ptr<FtpSession> ftp = ftp_();
    ftp->setRemoteHost(device[field::forwardAddress]);
    ftp->setRemotePort(ftpPort);
    ftp->setUserName(device[field::forwardUser]);
    ftp->setPassword(device[field::forwardPassword]);
    runCommands(*ftp, {{ftpCommand::dir, 2},
                       {ftpCommand::cd + device[field::ftpRootDirectory], 1},
                       {ftpCommand::put + ftpArgument(localPath) + " " + ftpArgument(remote), 1}});
    static_cast<void>(ftp->execute(ftpCommand::close));
    ftp->cancel();
}

// The commands in order, each followed by its pauses; the first that fails ends the upload.
void Forward::runCommands(FtpSession &ftp,
                          std::initializer_list<std::pair<std::string, int>> commands) {
    for (const auto &[command, pauses] : commands)
        if (!runCommand(ftp, command, pauses))
            return;
}

bool Forward::runCommand(FtpSession &ftp, const std::string &command, int pauses) {
    if (const Delivery started = ftp.execute(command); !started.delivered()) {
        uploadFailed(started.reason());
        return false;
    }
    for (int i = 0; i < pauses; ++i)
        station_.wait(1);
    return finishCommand(ftp);
}

bool Forward::finishCommand(FtpSession &ftp) {
    const Deadline limit(station_.clock(), ftpCommandWaitLimit);
    while (ftp.stillExecuting()) {
        if (limit.expired()) {
            uploadFailed("no end of the command within " +
                         std::to_string(int(ftpCommandWaitLimit)) + " s");
            return false;
        }
        station_.wait(ftpPollInterval);
    }
    if (const Delivery ended = ftp.lastResult(); !ended.delivered()) {
        uploadFailed(ended.reason());
        return false;
    }
    return true;
}

void Forward::uploadFailed(const std::string &reason) {
    reportNotSent(station_.progress(), "Data file",
                  "FTP host \"" + station_.cycleRecord()[field::forwardAddress] + "\"", reason);
}

} // namespace vantrell
