#include "sim/PtyHost.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace vantrell::sim {

namespace {

// When nobody reads the station's side, the line overruns: beyond this, answers are lost.
constexpr std::size_t maxPending = 64 * 1024;

std::string failure(const char *what) {
    return std::string(what) + ": " + std::strerror(errno);
}

double realSeconds() {
    return SystemClock().monotonicSeconds();
}

} // namespace

PtyHost::PtyHost(World &world, Device &device)
    : world_(world), toDevice_(world, [&device](unsigned char b) { device.receive(b); }),
      toStation_(world, [this](unsigned char b) {
          if (pending_.size() < maxPending)
              pending_ += static_cast<char>(b);
      }) {
    device.attachUpstream([this](std::string_view bytes) {
        if (observer_)
            observer_(Direction::toStation, bytes);
        toStation_.send(bytes);
    });
}

PtyHost::~PtyHost() {
    std::error_code ignored;
    if (!link_.empty() && std::filesystem::read_symlink(link_, ignored) == slavePath_)
        std::filesystem::remove(link_, ignored);
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

std::string PtyHost::open() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return failure("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0)
        return failure("grantpt/unlockpt");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0)
        return failure("ptsname_r");
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0)
        return failure(name);
    termios settings{};
    if (tcgetattr(slave_, &settings) != 0)
        return failure("tcgetattr");
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    if (tcsetattr(slave_, TCSANOW, &settings) != 0)
        return failure("tcsetattr");
    if (fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0)
        return failure("fcntl");
    realStart_ = realSeconds();
    worldStart_ = world_.now();
    return {};
}

std::string PtyHost::makeLink(const std::filesystem::path &path) {
    std::error_code error;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, error)))
        std::filesystem::remove(path, error);
    std::filesystem::create_symlink(slavePath_, path, error);
    if (error)
        return path.string() + ": " + error.message();
    link_ = path;
    return {};
}

bool PtyHost::serveOnce(double maxWait) {
    catchUp();
    writeAnswers();
    const double untilEvent = world_.nextEventTime() - world_.now();
    const double wait = std::clamp(untilEvent, 0.0, maxWait);
    pollfd fd{master_, short(POLLIN | (pending_.empty() ? 0 : POLLOUT)), 0};
    const int ready = ::poll(&fd, 1, int(std::ceil(wait * 1000.0)));
    if (ready < 0 && errno != EINTR)
        return false;
    if (ready > 0 && (fd.revents & (POLLERR | POLLNVAL | POLLHUP)) != 0)
        return false;
    if (ready > 0 && (fd.revents & POLLIN) != 0)
        readStation();
    catchUp();
    writeAnswers();
    return true;
}

void PtyHost::serve(const volatile std::sig_atomic_t &stop) {
    // A signal interrupts the poll; the half-second bound covers one arriving just before it.
    while (stop == 0 && serveOnce(0.5)) {
    }
}

void PtyHost::catchUp() {
    world_.runUntil(worldStart_ + realSeconds() - realStart_);
}

void PtyHost::readStation() {
    char buffer[4096];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0)
        return;
    const std::string_view heard(buffer, std::size_t(n));
    if (observer_)
        observer_(Direction::toDevice, heard);
    toDevice_.send(heard);
}

void PtyHost::writeAnswers() {
    if (pending_.empty())
        return;
    const ssize_t n = ::write(master_, pending_.data(), pending_.size());
    if (n > 0)
        pending_.erase(0, std::size_t(n));
}

} // namespace vantrell::sim
