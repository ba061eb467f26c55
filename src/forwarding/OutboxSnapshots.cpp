#include "forwarding/OutboxSnapshots.h"

#include <chrono>
#include <system_error>

namespace vantrell {

namespace fs = std::filesystem;

fs::path takeSnapshot(const fs::path &folder, const fs::path &original, std::string &problem) {
    std::error_code error;
    fs::create_directories(folder, error);
    // Creating a folder either takes its name or finds it taken: a name is never shared.
    const auto stamp = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    fs::path own;
    for (int n = 1; own.empty(); ++n) {
        const fs::path candidate = folder / (std::to_string(stamp) + "-" + std::to_string(n));
        if (fs::create_directory(candidate, error))
            own = candidate;
        else if (error) {
            problem =
                "cannot make a snapshot folder in " + folder.string() + ": " + error.message();
            return {};
        }
    }
    const fs::path copy = own / original.filename();
    if (!fs::copy_file(original, copy, error)) {
        problem = "cannot copy " + original.string() + ": " + error.message();
        fs::remove_all(own, error);
        return {};
    }
    return copy;
}

std::uint64_t snapshotSize(const fs::path &snapshot) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(snapshot, error);
    return error ? 0 : size;
}

void removeSnapshot(const fs::path &snapshot) {
    if (snapshot.empty())
        return;
    std::error_code error;
    fs::remove(snapshot, error);
    fs::remove(snapshot.parent_path(), error);
}

} // namespace vantrell
