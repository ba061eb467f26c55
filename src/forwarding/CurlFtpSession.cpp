#include "forwarding/CurlFtpSession.h"

#include "forwarding/ServerText.h"

#include <cctype>

namespace vantrell {

namespace {

// How long one poll of a running command may block before the caller's wait goes on.
constexpr std::chrono::milliseconds stepSlice{20};

// URL paths name the log-in folder's children; "%2F" as the first segment is the server's root.
constexpr const char *rootSegment = "/%2F";

std::string escapeSegment(std::string_view segment) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : segment) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        }
    }
    return out;
}

// Each non-empty segment of `path`, escaped, behind a "/"; "." segments are dropped.
std::string escapedSegments(std::string_view path) {
    std::string out;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view segment = path.substr(0, slash);
        if (!segment.empty() && segment != ".") {
            out += '/';
            out += escapeSegment(segment);
        }
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return out;
}

std::size_t discard(char *, std::size_t size, std::size_t count, void *) {
    return size * count;
}

} // namespace

std::string ftpFolderPath(const std::string &current, std::string_view folder) {
    if (!folder.empty() && folder.front() == '/') {
        const std::string below = escapedSegments(folder);
        return below.empty() ? std::string(rootSegment) : rootSegment + below.substr(1);
    }
    return current + escapedSegments(folder);
}

std::string ftpFilePath(const std::string &folderPath, std::string_view remote) {
    return folderPath + escapedSegments(remote);
}

CurlFtpSession::~CurlFtpSession() {
    cancel();
}

Delivery CurlFtpSession::execute(std::string_view command) {
    const std::string text(command);
    if (transfer_ && transfer_->running())
        return Delivery::failed(text + ": the previous command is still running");
    const std::optional<FtpCommand> parsed = parseFtpCommand(text);
    if (!parsed)
        return Delivery::failed("\"" + text + "\" is not a command of this session");
    if (parsed->kind == FtpCommand::Kind::close) {
        cancel();
        last_ = Delivery::done();
        return Delivery::done();
    }
    const std::optional<ServerAddress> server =
        parseServerText(login().remoteHost, login().remotePort);
    if (!server)
        return Delivery::failed("host \"" + login().remoteHost +
                                "\" is not a host name with an optional :port");
    serverUrl_ = "ftp://" + server->urlAuthority();
    if (!transfer_)
        transfer_ = std::make_unique<CurlTransfer>();
    return start(*parsed, text);
}

Delivery CurlFtpSession::start(const FtpCommand &command, const std::string &text) {
    command_ = text;
    switch (command.kind) {
    case FtpCommand::Kind::dir:
        listFolder();
        break;
    case FtpCommand::Kind::cd:
        changeFolder(command.first);
        break;
    case FtpCommand::Kind::put:
        if (Delivery opened = upload(command.first, command.second); !opened.delivered())
            return opened;
        break;
    case FtpCommand::Kind::close:
        break;
    }
    transfer_->start();
    if (!transfer_->running()) {
        finished();
        return last_;
    }
    return Delivery::done();
}

void CurlFtpSession::prepare(const std::string &url) {
    transfer_->resetOptions();
    CURL *curl = transfer_->handle();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    // Without a user name libcurl logs in as "anonymous".
    if (!login().userName.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, login().userName.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, login().password.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_FTPPORT, nullptr); // passive
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits_.connect.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(limits_.command.count()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
}

// Lists the current folder; nothing reads the list, but it proves the log-in and the data
// connection before anything is sent.
void CurlFtpSession::listFolder() {
    prepare(serverUrl_ + folderPath_ + "/");
    curl_easy_setopt(transfer_->handle(), CURLOPT_DIRLISTONLY, 1L);
}

// Without a body to fetch, a folder URL makes libcurl change into the folder and stop, so a
// folder that does not exist fails here, before the upload.
void CurlFtpSession::changeFolder(const std::string &folder) {
    folderPath_ = ftpFolderPath(folderPath_, folder);
    prepare(serverUrl_ + folderPath_ + "/");
    curl_easy_setopt(transfer_->handle(), CURLOPT_NOBODY, 1L);
}

Delivery CurlFtpSession::upload(const std::string &local, const std::string &remote) {
    closeUpload();
    upload_ = std::fopen(local.c_str(), "rb");
    if (upload_ == nullptr)
        return Delivery::failed(command_ + ": the local file cannot be read");
    std::fseek(upload_, 0, SEEK_END);
    const long size = std::ftell(upload_);
    std::rewind(upload_);
    prepare(serverUrl_ + ftpFilePath(folderPath_, remote));
    CURL *curl = transfer_->handle();
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READDATA, upload_);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
    return Delivery::done();
}

bool CurlFtpSession::stillExecuting() {
    if (!transfer_ || !transfer_->running())
        return false;
    if (transfer_->advance(stepSlice))
        return true;
    finished();
    return false;
}

void CurlFtpSession::finished() {
    closeUpload();
    last_ = transfer_->failure().empty() ? Delivery::done()
                                         : Delivery::failed(command_ + ": " + transfer_->failure());
}

// The transfer goes first: it may still hold the file being uploaded.
void CurlFtpSession::cancel() {
    transfer_.reset();
    closeUpload();
}

void CurlFtpSession::closeUpload() {
    if (upload_ != nullptr)
        std::fclose(upload_);
    upload_ = nullptr;
}

} // namespace vantrell
