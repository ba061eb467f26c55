// One of the test servers of tests/servers run as a child process: it binds a free port on
// 127.0.0.1 and prints it; the test waits (bounded) for that line and ends the server with
// the test. Deliveries are then compared with the files the server wrote.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace vantrell::testing {

class ServerProcess {
public:
    // `script` is a file of tests/servers; the interpreter is Debian's, which has the modules.
    ServerProcess(const std::string &script, const std::vector<std::string> &arguments) {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            return;
        const std::string interpreter = "/usr/bin/python3";
        const std::string path = std::string(VANTRELL_SOURCE_DIR) + "/tests/servers/" + script;
        std::vector<std::string> words{interpreter, path};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char *> argv;
        for (std::string &w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        if (posix_spawn(&pid_, interpreter.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        output_ = pipeEnds[0];
        if (pid_ > 0)
            readPort();
    }

    ~ServerProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (waitpid(pid_, nullptr, WNOHANG) == 0) {
                if (std::chrono::steady_clock::now() > limit) {
                    kill(pid_, SIGKILL);
                    waitpid(pid_, nullptr, 0);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        if (output_ >= 0)
            close(output_);
    }
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    // 0 when the server did not come up.
    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    void readPort() {
        constexpr int startLimitMs = 20000; // a cold interpreter on a busy machine
        std::string line;
        const auto limit =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(startLimitMs);
        while (line.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                limit - std::chrono::steady_clock::now());
            pollfd p{output_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0)
                return;
            char buffer[64];
            const ssize_t n = read(output_, buffer, sizeof buffer);
            if (n <= 0)
                return;
            line.append(buffer, std::size_t(n));
        }
        if (line.starts_with("PORT "))
            port_ = std::stoi(line.substr(5));
    }

    pid_t pid_ = -1;
    int output_ = -1;
    int port_ = 0;
};

// What a server left in its folder, or what it is to be given, byte for byte.
inline std::string contents(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write(const std::filesystem::path &file, const std::string &bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

} // namespace vantrell::testing
