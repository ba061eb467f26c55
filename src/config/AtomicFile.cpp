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

fs::perms existingMode(const fs::path &file) {
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

// The new name must survive a power cut too.
void syncFolder(const fs::path &folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

fs::path folderOf(const fs::path &file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// A temporary file beside `target` holding `bytes`, on the disk; its errno when that failed.
int writeTemporary(const fs::path &target, std::string_view bytes, fs::perms mode,
                   std::string &temporary) {
    temporary = (folderOf(target) / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return errno;
    int errorNumber = 0;
    if (!writeAll(fd, bytes) || ::fchmod(fd, static_cast<mode_t>(mode)) != 0 || ::fsync(fd) != 0)
        errorNumber = errno;
    if (::close(fd) != 0 && errorNumber == 0)
        errorNumber = errno;
    if (errorNumber != 0)
        ::unlink(temporary.c_str());
    return errorNumber;
}

} // namespace

ConfigError replaceFile(const fs::path &file, std::string_view bytes,
                        std::optional<fs::perms> mode) {
    const fs::path target = resolvedTarget(file);
    std::string temporary;
    if (const int errorNumber =
            writeTemporary(target, bytes, mode ? *mode : existingMode(target), temporary))
        return writeFailure(file, errorNumber);
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int errorNumber = errno;
        ::unlink(temporary.c_str());
        return writeFailure(file, errorNumber);
    }
    syncFolder(folderOf(target));
    return {};
}

ConfigError createFile(const fs::path &file, std::string_view bytes, fs::perms mode,
                       bool &created) {
    created = false;
    std::string temporary;
    if (const int errorNumber = writeTemporary(file, bytes, mode, temporary))
        return writeFailure(file, errorNumber);
    // A hard link takes the name only if nobody has it, without a window in between.
    const int linked = ::link(temporary.c_str(), file.c_str());
    const int errorNumber = errno;
    ::unlink(temporary.c_str());
    if (linked != 0 && errorNumber != EEXIST)
        return writeFailure(file, errorNumber);
    created = linked == 0;
    if (created)
        syncFolder(folderOf(file));
    return {};
}

} // namespace vantrell
