#include "config/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrell {
namespace fs = std::filesystem;

namespace {

constexpr auto newFileMode =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;

ConfigError writeFailure(const fs::path &file, int errorNumber) {
    return fileError(FileProblem::cannotWrite, file,
                     std::string("could not be saved (") + std::strerror(errorNumber) + ")");
}

// A link is followed so that the file it points to is replaced, not the link.
fs::path resolvedTarget(const fs::path &file) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(file, ec))) {
        const fs::path target = fs::canonical(file, ec);
        if (!ec)
            return target;
    }
    return file;
}

fs::perms targetMode(const fs::path &file, std::optional<fs::perms> mode) {
    if (mode)
        return *mode;
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (!ec && fs::exists(status))
        return status.permissions() & fs::perms::mask;
    return newFileMode;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The rename itself must survive a power cut too.
void syncFolder(const fs::path &folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

ConfigError replaceFile(const fs::path &file, std::string_view bytes,
                        std::optional<fs::perms> mode) {
    const fs::path target = resolvedTarget(file);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();

    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return writeFailure(file, errno);

    const auto bits = static_cast<mode_t>(targetMode(target, mode));
    bool ok = writeAll(fd, bytes) && ::fchmod(fd, bits) == 0 && ::fsync(fd) == 0;
    int errorNumber = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        errorNumber = errno;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        errorNumber = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return writeFailure(file, errorNumber);
    }
    syncFolder(folder);
    return {};
}

} // namespace vantrell
