// A folder of its own for each test, removed afterwards, and whole-file reads and writes.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace vantrell::testing {

struct TestFolder {
    TestFolder() {
        std::random_device random;
        path = std::filesystem::temp_directory_path() /
               ("vantrell-forwarding-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path);
    }
    ~TestFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TestFolder(const TestFolder &) = delete;
    TestFolder &operator=(const TestFolder &) = delete;

    std::filesystem::path path;
};

inline std::string contents(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write(const std::filesystem::path &file, const std::string &bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

} // namespace vantrell::testing
