// Data files through file descriptors: the folder is opened once and every name is looked up in
// it, so the file written and the folder synced are the same ones.
#include "loggerdata/DataFileIo.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrell {

namespace {

constexpr const char *folderMissing = "the data folder does not exist";
constexpr const char *folderUnusable = "the data folder cannot be opened: ";
constexpr const char *symbolicLink =
    "a symbolic link has that name, and data files are never written through links";
constexpr const char *notRegular = "something that is not a regular file has that name";
constexpr const char *readLink =
    "it is a symbolic link, and data files are never read through links";
constexpr const char *readNotRegular = "it is not a regular file";
constexpr const char *namesTaken = "that name and its numbered names up to _";

// Opening a name with O_NOFOLLOW fails with ELOOP exactly when the name is a link.
constexpr int newFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
// A FIFO or a device under the name must not block the open: it is refused after a look at it.
constexpr int existingFileFlags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
constexpr int readFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
constexpr mode_t newFileMode = 0666; // less the umask, as any file the user makes
// A create that finds the name taken just after the open found it missing: someone else is
// making it; one more look is enough to tell what it is.
constexpr int appendOpenTries = 2;

std::string errorText(int errorNumber) {
    return std::strerror(errorNumber);
}

bool writeAllAt(int fd, std::string_view bytes, std::uint64_t offset) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

// Some file systems keep no folder record of their own to sync; the file itself is synced.
bool folderSynced(int folderFd) {
    return ::fsync(folderFd) == 0 || errno == EINVAL || errno == ENOTSUP;
}

} // namespace

std::string numberedName(std::string_view name, int number) {
    if (number <= 1)
        return std::string(name);
    const std::size_t dot = name.rfind('.');
    const std::size_t stemEnd = dot == std::string_view::npos ? name.size() : dot;
    std::string numbered(name.substr(0, stemEnd));
    numbered += '_';
    numbered += std::to_string(number);
    numbered += name.substr(stemEnd);
    return numbered;
}

DataFileWriter::~DataFileWriter() {
    if (created_ && !written_ && folderFd_ >= 0)
        ::unlinkat(folderFd_, name_.c_str(), 0);
    close();
}

// Once synced, the data are on the disk: closing has nothing left to report.
void DataFileWriter::close() {
    if (fd_ >= 0)
        ::close(fd_);
    if (folderFd_ >= 0)
        ::close(folderFd_);
    fd_ = -1;
    folderFd_ = -1;
}

std::string DataFileWriter::openFolder(const std::filesystem::path &folder) {
    folder_ = folder;
    folderFd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd_ >= 0)
        return {};
    return errno == ENOENT ? folderMissing : folderUnusable + errorText(errno);
}

std::string DataFileWriter::createNew(std::string_view name) {
    for (int number = 1; number <= maxNameNumber; ++number) {
        name_ = numberedName(name, number);
        fd_ = ::openat(folderFd_, name_.c_str(), newFileFlags, newFileMode);
        if (fd_ >= 0) {
            created_ = true;
            length_ = 0;
            return {};
        }
        // A link, a folder, anyone's file: a name that is taken is left to its owner.
        if (errno != EEXIST)
            return errorText(errno);
    }
    name_ = std::string(name);
    return namesTaken + std::to_string(maxNameNumber) + " are all taken";
}

std::string DataFileWriter::openForAppend(std::string_view name) {
    name_ = std::string(name);
    for (int attempt = 0; attempt < appendOpenTries; ++attempt) {
        fd_ = ::openat(folderFd_, name_.c_str(), existingFileFlags);
        if (fd_ < 0 && errno == ENOENT) {
            fd_ = ::openat(folderFd_, name_.c_str(), newFileFlags, newFileMode);
            if (fd_ < 0 && errno == EEXIST)
                continue;
            created_ = fd_ >= 0;
        }
        if (fd_ < 0)
            return errno == ELOOP ? symbolicLink : errorText(errno);
        struct stat status {};
        if (::fstat(fd_, &status) != 0)
            return errorText(errno);
        if (!S_ISREG(status.st_mode))
            return notRegular;
        length_ = static_cast<std::uint64_t>(status.st_size);
        return {};
    }
    return errorText(EEXIST);
}

std::string DataFileWriter::write(std::uint64_t offset, std::string_view bytes) {
    errno = 0;
    if (!writeAllAt(fd_, bytes, offset) || ::fsync(fd_) != 0 || !folderSynced(folderFd_))
        return undo(errno);
    written_ = true;
    return {};
}

// Returns the reason of the failure that made the undo necessary.
std::string DataFileWriter::undo(int errorNumber) {
    const std::string reason = errorNumber != 0 ? errorText(errorNumber) : "write failed";
    if (created_) {
        ::unlinkat(folderFd_, name_.c_str(), 0);
        static_cast<void>(folderSynced(folderFd_));
        created_ = false;
    } else if (fd_ >= 0 && ::ftruncate(fd_, static_cast<off_t>(length_)) == 0) {
        ::fsync(fd_);
    }
    return reason;
}

std::string readDataFile(const std::string &path, std::string &bytes) {
    const int fd = ::open(path.c_str(), readFlags);
    if (fd < 0)
        return errno == ELOOP ? readLink : errorText(errno);
    std::string error;
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        error = errorText(errno);
    } else if (!S_ISREG(status.st_mode)) {
        error = readNotRegular;
    } else {
        bytes.resize(static_cast<std::size_t>(status.st_size));
        std::size_t got = 0;
        // A file that grows meanwhile is read as far as it was long when opened.
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = errorText(errno);
                break;
            }
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
    }
    ::close(fd);
    return error;
}

} // namespace vantrell
