// One of the test servers of tests/servers run as a child process: it binds a free port on
// 127.0.0.1 and prints it; the test waits (bounded) for that line and ends the server with
// the test. Deliveries are then compared with the files the server wrote.
#pragma once

#include "ChildProcess.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vantrell::testing {

class ServerProcess {
public:
    // `script` is a file of tests/servers; the interpreter is Debian's, which has the modules.
    ServerProcess(const std::string &script, const std::vector<std::string> &arguments)
        : server_(command(script, arguments)) {
        constexpr double startLimitSeconds = 20; // a cold interpreter on a busy machine
        const auto line = server_.readLine(startLimitSeconds);
        if (line && line->starts_with("PORT "))
            port_ = std::stoi(line->substr(5));
    }

    // 0 when the server did not come up.
    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    static std::vector<std::string> command(const std::string &script,
                                            const std::vector<std::string> &arguments) {
        std::vector<std::string> words{"/usr/bin/python3", std::string(VANTRELL_SOURCE_DIR) +
                                                               "/tests/servers/" + script};
        words.insert(words.end(), arguments.begin(), arguments.end());
        return words;
    }

    ChildProcess server_;
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
