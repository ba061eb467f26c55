// Passing a logger's data file on after it has been written and read back: as the attachment of
// a mail to the device's forwarding address, or as an upload into the device's FTP folder.
// Neither tells the session how it went; a failure is a progress line and the session goes on,
// and the outbox keeps it for a retry.
#pragma once

#include "config/Station.h"
#include "forwarding/FtpSession.h"
#include "forwarding/FtpSteps.h"
#include "forwarding/MailSession.h"
#include "forwarding/Outbox.h"

#include <string>
#include <utility>

namespace vantrell {

class Forward {
public:
    Forward(Station &station, MailSessionFactory mail, FtpSessionFactory ftp, Outbox &outbox)
        : station_(station), mail_(std::move(mail)), ftp_(std::move(ftp)), outbox_(outbox) {}

    void sendDataMail();
    // `remote` is the name the file gets in the FTP folder ("./" and the data file's name).
    void sendDataFtp(const std::string &localPath, const std::string &remote);

private:
    Station &station_;
    MailSessionFactory mail_;
    FtpSessionFactory ftp_;
    Outbox &outbox_;
};

} // namespace vantrell
