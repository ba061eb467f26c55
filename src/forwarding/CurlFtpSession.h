// The file-transfer component on libcurl's FTP: one log-in shared by the commands of a
// session, passive data connections, folders named from the log-in folder or, with a leading
// "/", from the server's root, and bounded connect and command times.
#pragma once

#include "forwarding/CurlTransfer.h"
#include "forwarding/FtpSession.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace vantrell {

struct FtpLimits {
    std::chrono::seconds connect{30};
    // One command, the upload included: a full logger memory is about 1 MB.
    std::chrono::seconds command{300};
};

class CurlFtpSession final : public FtpSession {
public:
    explicit CurlFtpSession(FtpLimits limits = {}) : limits_(limits) {}
    ~CurlFtpSession() override;

    Delivery execute(std::string_view command) override;
    bool stillExecuting() override;
    Delivery lastResult() const override { return last_; }
    void cancel() override;

private:
    Delivery start(const FtpCommand &command, const std::string &text);
    void prepare(const std::string &url);
    void listFolder();
    void changeFolder(const std::string &folder);
    Delivery upload(const std::string &local, const std::string &remote);
    void finished();
    void closeUpload();

    FtpLimits limits_;
    std::unique_ptr<CurlTransfer> transfer_;
    std::string serverUrl_;  // "ftp://host:port"
    std::string folderPath_; // the URL path of the current folder, without a trailing "/"
    std::string command_;    // the text of the command under way, for the reason of a failure
    std::FILE *upload_ = nullptr;
    Delivery last_ = Delivery::done();
};

// The URL path of `folder` ("/ForwardData", "sub/dir") seen from `current`; a leading "/"
// starts from the server's root.
std::string ftpFolderPath(const std::string &current, std::string_view folder);
// "./KV12_0905_030226.dat" in the folder `folderPath`, as a URL path.
std::string ftpFilePath(const std::string &folderPath, std::string_view remote);

} // namespace vantrell
