#include "link/PosixSerialPort.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace vantrell {

namespace {
// A write that cannot get its bytes out in this time means the device has gone.
constexpr int writeLimitMs = 5000;

PortError errorFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
    case ENOTTY:
        return PortError::noSuchPort;
    case EBUSY:
    case EWOULDBLOCK:
        return PortError::portBusy;
    default:
        return PortError::ioError;
    }
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

PortError PosixSerialPort::open(int portNumber) {
    close();
    device_ = deviceFor_(portNumber);
    const int fd = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errorFromErrno(errno);
    // Another program holding the same device is a busy port, as on any serial driver.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? PortError::portBusy : errorFromErrno(error);
    }
    if (!configureRaw(fd)) {
        const int error = errno;
        ::close(fd);
        return errorFromErrno(error);
    }
    // A port that was closed heard nothing: drop what the driver kept meanwhile.
    tcflush(fd, TCIFLUSH);
    fd_ = fd;
    return PortError::none;
}

void PosixSerialPort::close() {
    if (fd_ < 0)
        return;
    ::close(fd_);
    fd_ = -1;
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
