// How the other vantrelld commands reach a running `run`: a Unix socket in its run folder
// ($RUNTIME_DIRECTORY under systemd, else the configuration folder), with a link named like it
// in the configuration folder, which is where a command looks. A request is the command line as
// one JSON line; the answer is the command's output as it comes, line by line, then its exit
// code. The station serves requests on its loop between sessions, one at a time, so that a
// request never meets a session half done.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vantrell {

inline constexpr const char *controlSocketName = "vantrelld.sock";

// Runs one request's command line, writing what it says to `out` and `err`; its exit code.
using ControlHandler = std::function<int(const std::vector<std::string> &arguments,
                                         std::ostream &out, std::ostream &err)>;

class ControlServer {
public:
    ControlServer() = default;
    ControlServer(const ControlServer &) = delete;
    ControlServer &operator=(const ControlServer &) = delete;
    ~ControlServer();

    // Listens in `runFolder`, mode 0660 with the configuration folder's group, and links the
    // socket from `configDir`; the problem when it cannot, the station then goes on without it.
    std::string open(const std::filesystem::path &runFolder,
                     const std::filesystem::path &configDir);
    // The requests waiting now, each run through `handle`; returns at once when there are none.
    void serveWaiting(const ControlHandler &handle);
    const std::filesystem::path &path() const { return socket_; }

private:
    void serve(int connection, const ControlHandler &handle);
    void close();

    int fd_ = -1;
    std::filesystem::path socket_;
    std::filesystem::path link_;
};

// The run folder of this process: $RUNTIME_DIRECTORY's first folder, else `configDir`.
std::filesystem::path runFolder(const std::filesystem::path &configDir);

// Sends `arguments` to the station running on `configDir` and relays its answer to `out` and
// `err`; its exit code, or nothing when no station listens there.
std::optional<int> askRunningStation(const std::filesystem::path &configDir,
                                     const std::vector<std::string> &arguments, std::ostream &out,
                                     std::ostream &err);

} // namespace vantrell
