#include "forwarding/StationForwarding.h"

#include "forwarding/CurlFtpSession.h"
#include "forwarding/CurlMailSession.h"

#include <filesystem>

namespace vantrell {

StationForwarding::StationForwarding(Station &station, ForwardingServices services)
    : station_(station), forward_(station, services.mail, std::move(services.ftp)),
      alarm_(station, services.smsPort, services.mail), report_(station, std::move(services.mail)) {
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
