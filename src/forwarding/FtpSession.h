// The file-transfer component the data upload goes through: the remote host, port and log-in
// are set, then commands are given as text ("DIR", "CD <folder>", "PUT <local> <remote>",
// "CLOSE"). A command runs in the background; the caller polls whether it still runs, yielding
// between polls, and can cancel whatever is under way.
#pragma once

#include "general/Delivery.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

inline constexpr int ftpPort = 21;

struct FtpLogin {
    std::string remoteHost; // "host" or "host:port"; a port in the text wins over remotePort
    int remotePort = ftpPort;
    std::string userName; // empty: anonymous
    std::string password;
};

// A command as text, taken apart.
struct FtpCommand {
    enum class Kind { dir, cd, put, close };
    Kind kind;
    std::string first;  // CD: the folder; PUT: the local file
    std::string second; // PUT: the remote name
};
// "DIR", "CD /ForwardData", "PUT /data/KV12.dat ./KV12.dat", "CLOSE" (any case); nullopt for
// anything else. CD takes the rest of the text as its folder; PUT takes exactly two names, each
// written as ftpArgument writes it.
std::optional<FtpCommand> parseFtpCommand(std::string_view text);

// A file name as a PUT argument: as it is, unless it is empty or holds a blank or a double
// quote; then in double quotes, with a backslash before each double quote and backslash in it.
// So both names of a PUT are found again whatever they hold, and ordinary names read as before.
std::string ftpArgument(std::string_view name);

class FtpSession {
public:
    virtual ~FtpSession() = default;

    void setRemoteHost(std::string host) { login_.remoteHost = std::move(host); }
    void setRemotePort(int port) { login_.remotePort = port; }
    void setUserName(std::string name) { login_.userName = std::move(name); }
    void setPassword(std::string password) { login_.password = std::move(password); }

    // Starts a command. A command the session cannot start (unknown, bad argument, the previous
    // one still running, a host that is not one) is refused at once.
    virtual Delivery execute(std::string_view command) = 0;
    // Whether the last command is still running; moves it on a short step when it is.
    virtual bool stillExecuting() = 0;
    // How the last finished command ended.
    virtual Delivery lastResult() const = 0;
    // Abandons whatever is under way and lets go of the connection.
    virtual void cancel() = 0;

protected:
    const FtpLogin &login() const { return login_; }

private:
    FtpLogin login_;
};

using FtpSessionFactory = std::function<std::unique_ptr<FtpSession>()>;

} // namespace vantrell
