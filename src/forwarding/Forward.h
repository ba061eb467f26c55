// Passing a logger's data file on after it has been written and read back: as the attachment of
// a mail to the device's forwarding address, or as an upload into the device's FTP folder.
// Neither tells the session how it went; a failure is a progress line and the session goes on.
#pragma once

#include "config/Station.h"
#include "forwarding/FtpSession.h"
#include "forwarding/MailSession.h"

#include <initializer_list>
#include <string>
#include <utility>

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

class Forward {
public:
    Forward(Station &station, MailSessionFactory mail, FtpSessionFactory ftp)
        : station_(station), mail_(std::move(mail)), ftp_(std::move(ftp)) {}

    void sendDataMail();
    // `remote` is the name the file gets in the FTP folder ("./" and the data file's name).
    void sendDataFtp(const std::string &localPath, const std::string &remote);

private:
    void runCommands(FtpSession &ftp, std::initializer_list<std::pair<std::string, int>> commands);
    bool runCommand(FtpSession &ftp, const std::string &command, int pauses);
    bool finishCommand(FtpSession &ftp);
    void uploadFailed(const std::string &reason);

    Station &station_;
    MailSessionFactory mail_;
    FtpSessionFactory ftp_;
};

} // namespace vantrell
