#include "link/PosixSerialPort.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace vantrell {

namespace {
// A write that cannot get its bytes out in this time means the device has gone.
constexpr int writeLimitMs = 5000;

using DeviceId = std::pair<dev_t, ino_t>;

PortError errorFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return PortError::noSuchPort;
    case ENOTTY:
    case EISDIR:
        return PortError::notSerial;
    case EACCES:
    case EPERM:
        return PortError::accessDenied;
    case EBUSY:
    case EWOULDBLOCK:
        return PortError::portBusy;
    default:
        return PortError::ioError;
    }
}

// An flock belongs to an open file, not to a process: the line and the SMS modem of one
// program (both port 1 unless told otherwise) would shut each other out, and a session that
// holds its line would shut out its own steps. So the program locks a device once, here, and
// counts its users; the lock goes with the last of them.
class DeviceLocks {
public:
    // One more user of the device open as `fd`; the first locks it against other programs.
    PortError acquire(int fd, DeviceId &id) {
        struct stat about {};
        if (::fstat(fd, &about) != 0)
            return errorFromErrno(errno);
        id = {about.st_dev, about.st_ino};
        const std::lock_guard guard(mutex_);
        if (const auto held = held_.find(id); held != held_.end()) {
            ++held->second.users;
            return PortError::none;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
            return errorFromErrno(errno);
        // The lock lives on a copy of the descriptor, so that it outlasts the port's own.
        const int keeper = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (keeper < 0) {
            const int error = errno;
            ::flock(fd, LOCK_UN);
            return errorFromErrno(error);
        }
        held_[id] = {keeper, 1};
        return PortError::none;
    }

    void releaseOne(const DeviceId &id) {
        const std::lock_guard guard(mutex_);
        const auto held = held_.find(id);
        if (held == held_.end() || --held->second.users > 0)
            return;
        ::close(held->second.keeper);
        held_.erase(held);
    }

private:
    struct Held {
        int keeper;
        int users;
    };
    std::mutex mutex_;
    std::map<DeviceId, Held> held_;
};

DeviceLocks &deviceLocks() {
    static DeviceLocks locks;
    return locks;
}

// The device opened without becoming its controlling terminal, and refused unless it is a
// terminal; -1 with the reason otherwise.
int openTerminal(const std::filesystem::path &device, PortError &error) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errorFromErrno(errno);
        return -1;
    }
    if (!::isatty(fd)) {
        ::close(fd);
        error = PortError::notSerial;
        return -1;
    }
    error = PortError::none;
    return fd;
}

bool configureRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}
} // namespace

PosixSerialPort::~PosixSerialPort() {
    close();
    release();
}

PortError PosixSerialPort::open(int portNumber) {
    close();
    device_ = deviceFor_(portNumber);
    PortError error = PortError::none;
    const int fd = openTerminal(device_, error);
    if (fd < 0)
        return error;
    DeviceId id;
    if (error = deviceLocks().acquire(fd, id); error != PortError::none) {
        ::close(fd);
        return error;
    }
    if (!configureRaw(fd)) {
        error = errorFromErrno(errno);
        ::close(fd);
        deviceLocks().releaseOne(id);
        return error;
    }
    // A port that was closed heard nothing: drop what the driver kept meanwhile.
    tcflush(fd, TCIFLUSH);
    fd_ = fd;
    opened_ = id;
    return PortError::none;
}

void PosixSerialPort::close() {
    if (fd_ < 0)
        return;
    ::close(fd_);
    fd_ = -1;
    deviceLocks().releaseOne(*opened_);
    opened_.reset();
}

// The new hold is taken before the old one goes, so that a device held again is never free.
PortError PosixSerialPort::hold(int portNumber) {
    PortError error = PortError::none;
    const int fd = openTerminal(deviceFor_(portNumber), error);
    if (fd < 0)
        return error;
    DeviceId id;
    error = deviceLocks().acquire(fd, id);
    ::close(fd);
    if (error != PortError::none)
        return error;
    release();
    held_ = id;
    return PortError::none;
}

void PosixSerialPort::release() {
    if (held_)
        deviceLocks().releaseOne(*held_);
    held_.reset();
}

std::string PosixSerialPort::deviceName(int portNumber) const {
    return deviceFor_(portNumber).string();
}

std::size_t PosixSerialPort::bytesWaiting() {
    int count = 0;
    if (fd_ < 0 || ioctl(fd_, FIONREAD, &count) != 0 || count < 0)
        return 0;
    return static_cast<std::size_t>(count);
}

void PosixSerialPort::discardInput() {
    if (fd_ >= 0)
        tcflush(fd_, TCIFLUSH);
}

bool PosixSerialPort::write(std::string_view bytes) {
    if (fd_ < 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, writeLimitMs) <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return false;
    }
    return true;
}

std::string PosixSerialPort::read(std::size_t maxBytes) {
    if (fd_ < 0)
        return {};
    const std::size_t want = maxBytes == 0 ? bytesWaiting() : maxBytes;
    std::string out(want, '\0');
    const ssize_t n = want == 0 ? 0 : ::read(fd_, out.data(), want);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

void PosixSerialPort::waitReadable(double maxSeconds) {
    if (fd_ < 0 || maxSeconds <= 0)
        return;
    const int ms = static_cast<int>(maxSeconds * 1000.0) + 1;
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, ms);
    // A device that has gone away reports itself readable for ever; sleep instead of spinning.
    if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLIN))
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace vantrell
