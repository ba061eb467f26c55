// A folder of its own for each test, removed afterwards. It lives in memory where the machine
// offers a memory file system: the station syncs every configuration save to disk, which the
// tests have no need to wait for.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

namespace vantrell::testing {

class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        path_ = base() / ("vantrell-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::filesystem::path operator/(const std::string &name) const { return path_ / name; }

private:
    static std::filesystem::path base() {
        std::error_code ec;
        const std::filesystem::path memory = "/dev/shm";
        return access(memory.c_str(), W_OK) == 0 ? memory
                                                   : std::filesystem::temp_directory_path(ec);
    }

    std::filesystem::path path_;
};

} // namespace vantrell::testing
