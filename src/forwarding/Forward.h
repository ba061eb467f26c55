// Passing a logger's data file on after it has been written and read back: as the attachment of
// a mail to the device's forwarding address, or as an upload into the device's FTP folder.
// A failure is a progress line, the outbox keeps it for a retry, and the session learns what
// became of it.
#pragma once

#include "config/SessionRequest.h"
#include "config/Station.h"
#include "forwarding/FtpSession.h"
#include "forwarding/FtpSteps.h"
#include "forwarding/MailSession.h"
#include "forwarding/Outbox.h"
#include "loggerdata/LoggerResult.h"

#include <string>
#include <utility>

namespace vantrell {

class Forward {
public:
    Forward(Station &station, MailSessionFactory mail, FtpSessionFactory ftp, Outbox &outbox)
        : station_(station), mail_(std::move(mail)), ftp_(std::move(ftp)), outbox_(outbox) {}

    Sent sendDataMail(const SessionRequest &request, const LoggerResult &logger);
    // `remote` is the name the file gets in the FTP folder ("./" and the data file's name).
    Sent sendDataFtp(const SessionRequest &request, const std::string &localPath,
                     const std::string &remote);

private:
    Station &station_;
    MailSessionFactory mail_;
    FtpSessionFactory ftp_;
    Outbox &outbox_;
};

} // namespace vantrell
