// What every fuzz target needs besides its decoder: a way to carve typed values out of the raw
// input (so that one input drives a parameter set, record lengths and delays alike), and a check
// that stops the run loudly when a property that must always hold does not.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

namespace vantrell::fuzz {

// Stops the run with the broken property named (each names its own); libFuzzer and the replay
// driver both report an abort as a failing input.
inline void require(bool holds, std::string_view property) {
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %.*s\n", int(property.size()), property.data());
    std::abort();
}

// Reads the input front to back; once it runs out every value is zero or empty, so a target
// never needs to ask how much is left before taking what it needs.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t *data, std::size_t size)
        : bytes_(reinterpret_cast<const char *>(data), size) {}

    bool empty() const { return bytes_.empty(); }
    std::size_t remaining() const { return bytes_.size(); }

    unsigned char takeByte() {
        if (bytes_.empty())
            return 0;
        const auto b = static_cast<unsigned char>(bytes_.front());
        bytes_.remove_prefix(1);
        return b;
    }

    // A whole number in [low, high].
    int takeInt(int low, int high) {
        const unsigned span = unsigned(high - low) + 1u;
        unsigned raw = takeByte();
        if (span > 256u)
            raw = raw << 8 | takeByte();
        return low + int(raw % span);
    }

    bool takeBool() { return (takeByte() & 1) != 0; }

    // Any double, the awkward ones (infinities, NaN, denormals, huge) included.
    double takeDouble() {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = bits << 8 | takeByte();
        double value = 0.0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // Up to `count` bytes, fewer when the input ends first.
    std::string takeBytes(std::size_t count) {
        const std::size_t n = std::min(count, bytes_.size());
        std::string out(bytes_.substr(0, n));
        bytes_.remove_prefix(n);
        return out;
    }

    // A short text whose length the input chooses.
    std::string takeText(std::size_t maxLength) {
        return takeBytes(std::size_t(takeInt(0, int(std::min<std::size_t>(maxLength, 255)))));
    }

    std::string takeRest() { return takeBytes(bytes_.size()); }

private:
    std::string_view bytes_;
};

inline std::string_view asText(const std::uint8_t *data, std::size_t size) {
    return {reinterpret_cast<const char *>(data), size};
}

// One folder for the whole run, in memory where the machine has one, for targets whose inputs
// must be files on disk; `subfolder` is made inside it. Keep one in a function-local static.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::filesystem::path &subfolder = {}) {
        namespace fs = std::filesystem;
        const fs::path memory = "/dev/shm";
        std::error_code ec;
        const fs::path base =
            access(memory.c_str(), W_OK) == 0 ? memory : fs::temp_directory_path(ec);
        path_ = base / ("vantrell-fuzz-" + std::to_string(getpid()));
        fs::create_directories(path_ / subfolder);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;
    const std::filesystem::path &path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace vantrell::fuzz
