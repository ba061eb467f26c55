#include "ControlSocket.h"

#include <nlohmann/json.hpp>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <streambuf>

namespace vantrell {

namespace fs = std::filesystem;

namespace {

// A request is a command line: far less than this. More is no request of ours.
constexpr std::size_t requestLimit = 64 * 1024;
// A client has this long to send its request, and to take each line of the answer: one that
// stops reading cannot hold the station's loop.
constexpr int requestSeconds = 2;
constexpr int answerSeconds = 5;
constexpr int backlog = 8;

std::optional<sockaddr_un> addressOf(const fs::path &path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path)
        return std::nullopt;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return address;
}

void setTimeout(int fd, int option, int seconds) {
    const timeval limit{seconds, 0};
    ::setsockopt(fd, SOL_SOCKET, option, &limit, sizeof limit);
}

std::string errorText(const fs::path &path, const char *what) {
    return std::string("the control socket ") + path.string() + ": " + what + ": " +
           std::strerror(errno);
}

// One end of a request's connection: whole JSON lines out; after a failed write (the client
// went away) nothing more is tried.
class Connection {
public:
    explicit Connection(int fd) : fd_(fd) {}
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection() { ::close(fd_); }

    void send(const nlohmann::json &message) {
        const std::string line =
            message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
        for (std::size_t sent = 0; !broken_ && sent < line.size();) {
            const ssize_t n = ::send(fd_, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
            if (n > 0)
                sent += std::size_t(n);
            else if (errno != EINTR)
                broken_ = true;
        }
    }

    // The first line, up to the limit; nothing when none came in time.
    std::optional<std::string> receiveLine() {
        std::string text;
        char buffer[4096];
        while (text.size() < requestLimit) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return std::nullopt;
            text.append(buffer, std::size_t(n));
            if (const std::size_t end = text.find('\n'); end != std::string::npos)
                return text.substr(0, end);
        }
        return std::nullopt;
    }

private:
    int fd_;
    bool broken_ = false;
};

// What a command writes to one of its streams, sent on as it comes, a line at a time.
class ReplyBuffer final : public std::streambuf {
public:
    ReplyBuffer(Connection &connection, const char *stream)
        : connection_(connection), stream_(stream) {}
    void finish() {
        if (!line_.empty())
            sendLine();
    }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        if (traits_type::to_char_type(c) == '\n')
            sendLine();
        else
            line_ += traits_type::to_char_type(c);
        return c;
    }

private:
    void sendLine() {
        connection_.send({{stream_, line_}});
        line_.clear();
    }

    Connection &connection_;
    const char *stream_;
    std::string line_;
};

bool isSocketOrLink(const fs::path &path) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    return !ec && (fs::is_symlink(status) || fs::is_socket(status));
}

} // namespace

fs::path runFolder(const fs::path &configDir) {
    const char *runtime = std::getenv("RUNTIME_DIRECTORY");
    if (runtime == nullptr || *runtime == '\0')
        return configDir;
    const std::string folders = runtime;
    return folders.substr(0, folders.find(':'));
}

ControlServer::~ControlServer() {
    close();
}

std::string ControlServer::open(const fs::path &folder, const fs::path &configDir) {
    socket_ = folder / controlSocketName;
    const std::optional<sockaddr_un> address = addressOf(socket_);
    if (!address)
        return "the control socket " + socket_.string() + ": the path is too long";
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0)
        return errorText(socket_, "cannot be made");
    // Only one station holds the folder, so a socket left there is one a station that ended
    // without cleaning up left behind.
    if (isSocketOrLink(socket_))
        ::unlink(socket_.c_str());
    if (::bind(fd_, reinterpret_cast<const sockaddr *>(&*address), sizeof *address) != 0) {
        const std::string problem = errorText(socket_, "cannot be bound");
        close();
        return problem;
    }
    // Whoever may read the configuration folder (its group) may ask the station.
    struct stat folderStatus {};
    if (::chmod(socket_.c_str(), 0660) != 0 || ::stat(configDir.c_str(), &folderStatus) != 0 ||
        (::chown(socket_.c_str(), uid_t(-1), folderStatus.st_gid) != 0 && errno != EPERM) ||
        ::listen(fd_, backlog) != 0) {
        const std::string problem = errorText(socket_, "cannot be opened to the folder's group");
        close();
        return problem;
    }
    std::error_code ec;
    if (fs::weakly_canonical(folder, ec) != fs::weakly_canonical(configDir, ec)) {
        link_ = configDir / controlSocketName;
        if (isSocketOrLink(link_))
            ::unlink(link_.c_str());
        if (::symlink(socket_.c_str(), link_.c_str()) != 0) {
            const std::string problem = errorText(link_, "cannot be linked to the socket");
            close();
            return problem;
        }
    }
    return {};
}

void ControlServer::close() {
    if (fd_ < 0)
        return;
    ::close(fd_);
    fd_ = -1;
    ::unlink(socket_.c_str());
    if (!link_.empty())
        ::unlink(link_.c_str());
}

void ControlServer::serveWaiting(const ControlHandler &handle) {
    while (fd_ >= 0) {
        const int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            return;
        setTimeout(connection, SO_RCVTIMEO, requestSeconds);
        setTimeout(connection, SO_SNDTIMEO, answerSeconds);
        serve(connection, handle);
    }
}

void ControlServer::serve(int fd, const ControlHandler &handle) {
    Connection connection(fd);
    std::vector<std::string> arguments;
    const std::optional<std::string> request = connection.receiveLine();
    const nlohmann::json parsed =
        request ? nlohmann::json::parse(*request, nullptr, false) : nlohmann::json();
    if (!parsed.is_object() || !parsed.contains("arguments") || !parsed["arguments"].is_array()) {
        connection.send({{"err", "vantrelld: not a request of vantrelld"}});
        connection.send({{"exit", 2}});
        return;
    }
    for (const nlohmann::json &argument : parsed["arguments"])
        arguments.push_back(argument.is_string() ? argument.get<std::string>() : "");
    ReplyBuffer outBuffer(connection, "out");
    ReplyBuffer errBuffer(connection, "err");
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    const int exit = handle(arguments, out, err);
    outBuffer.finish();
    errBuffer.finish();
    connection.send({{"exit", exit}});
}

std::optional<int> askRunningStation(const fs::path &configDir,
                                     const std::vector<std::string> &arguments, std::ostream &out,
                                     std::ostream &err) {
    const fs::path path = configDir / controlSocketName;
    const std::optional<sockaddr_un> address = addressOf(path);
    if (!address || !isSocketOrLink(path))
        return std::nullopt;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    Connection connection(fd);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&*address), sizeof *address) != 0) {
        if (errno == ENOENT || errno == ECONNREFUSED)
            return std::nullopt; // a station that ended without cleaning up
        err << errorText(path, "cannot reach the running station") << "\n";
        return 2;
    }
    connection.send({{"arguments", arguments}});
    std::string pending;
    char buffer[4096];
    for (;;) {
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const nlohmann::json message =
                nlohmann::json::parse(pending.substr(0, end), nullptr, false);
            pending.erase(0, end + 1);
            if (message.contains("exit") && message["exit"].is_number_integer())
                return message["exit"].get<int>();
            if (message.contains("out") && message["out"].is_string())
                out << message["out"].get<std::string>() << std::endl;
            if (message.contains("err") && message["err"].is_string())
                err << message["err"].get<std::string>() << std::endl;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(buffer, std::size_t(n));
    }
    err << "vantrelld: the running station ended without an answer\n";
    return 1;
}

} // namespace vantrell
