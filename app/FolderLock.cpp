#include "FolderLock.h"

#include "general/Progress.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vantrell {

namespace {

// Enough for any process id and command line worth showing.
constexpr std::size_t holderTextLimit = 1024;

std::string cannotLock(const std::filesystem::path &folder, const std::filesystem::path &file,
                       int error) {
    return "the configuration folder " + folder.string() + " cannot be locked: " + file.string() +
           ": " + std::strerror(error);
}

// "process 4711 (vantrelld run)" from the holder's line; the text is another program's, so it
// is shown only where printable.
std::string holderOf(int fd) {
    std::string text(holderTextLimit, '\0');
    const ssize_t n = ::pread(fd, text.data(), text.size(), 0);
    text.resize(n > 0 ? std::size_t(n) : 0);
    text = text.substr(0, text.find('\n'));
    const auto blank = text.find(' ');
    if (text.empty() || blank == std::string::npos)
        return "another program";
    return "process " + printable(text.substr(0, blank)) + " (" +
           printable(text.substr(blank + 1)) + ")";
}

bool writeHolder(int fd, const std::string &line) {
    return ::ftruncate(fd, 0) == 0 &&
           ::pwrite(fd, line.data(), line.size(), 0) == static_cast<ssize_t>(line.size());
}

} // namespace

FolderLock::~FolderLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::string FolderLock::take(const std::filesystem::path &folder, const std::string &commandLine) {
    const std::filesystem::path file = folder / folderLockFile;
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return cannotLock(folder, file, errno);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        const std::string holder = error == EWOULDBLOCK ? holderOf(fd) : std::string();
        ::close(fd);
        if (error != EWOULDBLOCK)
            return cannotLock(folder, file, error);
        return "the configuration folder " + folder.string() + " is in use by " + holder;
    }
    if (!writeHolder(fd, std::to_string(::getpid()) + " " + commandLine + "\n")) {
        const int error = errno;
        ::close(fd);
        return cannotLock(folder, file, error);
    }
    fd_ = fd;
    return {};
}

std::string commandLineOf(int argc, char **argv) {
    std::string line;
    for (int i = 0; i < argc; ++i)
        line += (i > 0 ? " " : "") + std::string(argv[i]);
    return line;
}

} // namespace vantrell
