// A program of the project started by a test: its standard output is read line by line, and it
// is stopped (SIGTERM, then SIGKILL) when the test is done with it.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace vantrell::testing {

class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
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
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

} // namespace vantrell::testing
