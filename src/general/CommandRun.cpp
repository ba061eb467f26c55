#include "general/CommandRun.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace vantrell {

namespace {

constexpr const char *nothingToRead = "/dev/null";
// How often the time limit is looked at while the program says nothing.
constexpr int quietPollMs = 20;
// How long a program has to end after SIGTERM before SIGKILL.
constexpr double killGraceSeconds = 5;
constexpr std::size_t maxLineBytes = 4096;
// Once the program has ended, what its pipe still holds is read (a pipe holds 64 KiB); a child
// it left behind writing on is not waited for.
constexpr int readsAfterEnd = 16;
// Signals the station handles or ignores, which the program starts with as the system sets them.
constexpr std::array defaultSignals{SIGTERM, SIGINT, SIGHUP, SIGPIPE};

std::string nameOf(const std::string &variable) {
    return variable.substr(0, variable.find('='));
}

std::vector<std::string> environmentWith(const std::vector<std::string> &added) {
    std::vector<std::string> all;
    for (char **v = environ; *v != nullptr; ++v) {
        const std::string variable = *v;
        bool replaced = false;
        for (const std::string &a : added)
            replaced = replaced || nameOf(a) == nameOf(variable);
        if (!replaced)
            all.push_back(variable);
    }
    all.insert(all.end(), added.begin(), added.end());
    return all;
}

std::vector<char *> pointersTo(std::vector<std::string> &texts) {
    std::vector<char *> pointers;
    for (std::string &text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The pid, or the error number posix_spawn gave.
struct Started {
    pid_t pid = -1;
    int error = 0;
};

Started spawn(const Command &command, int output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, nothingToRead, O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (const int signal : defaultSignals)
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
    std::string program = command.program.string();
    std::vector<std::string> arguments{program};
    std::vector<std::string> environment = environmentWith(command.environment);
    Started started;
    started.error = posix_spawn(&started.pid, program.c_str(), &actions, &attributes,
                                pointersTo(arguments).data(), pointersTo(environment).data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (started.error != 0)
        started.pid = -1;
    return started;
}

// Cuts what comes through the pipe into lines.
class LineSplitter {
public:
    explicit LineSplitter(const OutputLine &line) : line_(line) {}
    void take(std::string_view bytes) {
        pending_.append(bytes);
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = pending_.find('\n', start);
            if (end == std::string::npos && pending_.size() - start < maxLineBytes)
                break;
            const std::size_t length = end == std::string::npos ? maxLineBytes : end - start;
            line_(std::string_view(pending_).substr(start, length));
            start += length + (end == std::string::npos ? 0 : 1);
        }
        pending_.erase(0, start);
    }
    void finish() {
        if (!pending_.empty())
            line_(pending_);
        pending_.clear();
    }

private:
    const OutputLine &line_;
    std::string pending_;
};

enum class Read { data, quiet, closed };

Read readSome(int pipe, LineSplitter &lines, int waitMs) {
    pollfd ready{pipe, POLLIN, 0};
    if (::poll(&ready, 1, waitMs) <= 0)
        return Read::quiet;
    std::array<char, 16384> chunk;
    const ssize_t n = ::read(pipe, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR)
        return Read::quiet;
    if (n <= 0)
        return Read::closed;
    lines.take(std::string_view(chunk.data(), std::size_t(n)));
    return Read::data;
}

// SIGTERM at the time limit, SIGKILL after the grace; the time SIGTERM went, once it has.
void enforceLimit(pid_t group, const Deadline &limit, const Clock &clock,
                  std::optional<double> &terminatedAt) {
    if (!limit.expired())
        return;
    const double now = clock.monotonicSeconds();
    if (!terminatedAt) {
        terminatedAt = now;
        ::kill(-group, SIGTERM);
    } else if (now >= *terminatedAt + killGraceSeconds) {
        ::kill(-group, SIGKILL);
    }
}

// A child the system could not report on (SIGCHLD ignored reaps it at once) counts as ended.
bool ended(pid_t pid, int &status) {
    const pid_t reaped = ::waitpid(pid, &status, WNOHANG);
    return reaped == pid || (reaped < 0 && errno != EINTR);
}

CommandEnd endOf(int status, bool timedOut) {
    if (timedOut)
        return {CommandEnd::How::timedOut, 0, {}};
    if (WIFEXITED(status))
        return {CommandEnd::How::exited, WEXITSTATUS(status), {}};
    return {CommandEnd::How::signalled, WTERMSIG(status), {}};
}

} // namespace

CommandEnd runCommand(const Command &command, const Clock &clock, const OutputLine &line) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return {CommandEnd::How::notStarted, 0, std::strerror(errno)};
    const Started started = spawn(command, pipe[1]);
    ::close(pipe[1]);
    if (started.pid < 0) {
        ::close(pipe[0]);
        return {CommandEnd::How::notStarted, 0, std::strerror(started.error)};
    }
    LineSplitter lines(line);
    const Deadline limit(clock, command.timeoutSeconds);
    std::optional<double> terminatedAt;
    bool open = true;
    int status = 0;
    while (!ended(started.pid, status)) {
        if (open)
            open = readSome(pipe[0], lines, quietPollMs) != Read::closed;
        else
            ::poll(nullptr, 0, quietPollMs);
        enforceLimit(started.pid, limit, clock, terminatedAt);
    }
    for (int reads = 0; open && reads < readsAfterEnd; ++reads)
        open = readSome(pipe[0], lines, 0) == Read::data;
    ::close(pipe[0]);
    lines.finish();
    return endOf(status, terminatedAt.has_value());
}

} // namespace vantrell
