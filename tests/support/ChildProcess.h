// A program of the project started by a test: its standard output (with its standard error when
// asked) is read line by line, and it is stopped (SIGTERM, then SIGKILL) when the test is done
// with it.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <grp.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace vantrell::testing {

// How a program is started besides its arguments.
struct Launch {
    bool withErrors = false;   // its standard error is read with its standard output
    std::optional<uid_t> user; // run as this user (the test must be root to ask)
};

class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> args, Launch launch = {}) {
        int out[2];
        if (pipe(out) != 0)
            return;
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (launch.user)
            pid_ = forkAs(*launch.user, argv, out, launch.withErrors);
        else
            pid_ = spawn(argv, out, launch.withErrors);
        close(out[1]);
        out_ = out[0];
    }
    ~ChildProcess() {
        stop();
        if (out_ >= 0)
            close(out_);
    }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The next line of output, or nothing when none came within `seconds` (or the output ended).
    std::optional<std::string> readLine(double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            if (const auto nl = buffer_.find('\n'); nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{out_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0)
                return std::nullopt;
            char chunk[4096];
            const ssize_t n = read(out_, chunk, sizeof chunk);
            if (n <= 0)
                return std::nullopt;
            buffer_.append(chunk, std::size_t(n));
        }
    }

    // The lines up to and with the first that holds `text` (all there were when none came within
    // `seconds` of the one before), each ended by a line break.
    std::string readUntil(std::string_view text, double seconds) {
        std::string lines;
        while (const auto line = readLine(seconds)) {
            lines += *line + "\n";
            if (line->find(text) != std::string::npos)
                break;
        }
        return lines;
    }

    // Waits for the program to end by itself; its exit code, or nothing after `seconds`.
    std::optional<int> wait(double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) {
                char chunk[4096];
                const ssize_t n = read(out_, chunk, sizeof chunk);
                if (n > 0)
                    buffer_.append(chunk, std::size_t(n));
            }
        }
        return std::nullopt;
    }

    // What the program printed and nobody has read yet.
    const std::string &unread() const { return buffer_; }

    void stop() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        if (!wait(5)) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

private:
    static pid_t spawn(std::vector<char *> &argv, const int out[2], bool withErrors) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (withErrors)
            posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    // posix_spawn cannot change the user; only async-signal-safe calls after the fork.
    static pid_t forkAs(uid_t user, std::vector<char *> &argv, const int out[2], bool withErrors) {
        const pid_t pid = fork();
        if (pid != 0)
            return pid;
        dup2(out[1], STDOUT_FILENO);
        if (withErrors)
            dup2(out[1], STDERR_FILENO);
        close(out[0]);
        if (setgroups(0, nullptr) == 0 && setgid(user) == 0 && setuid(user) == 0)
            execve(argv[0], argv.data(), environ);
        _exit(127);
    }

    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

} // namespace vantrell::testing
