// The simulator on a real pseudo-terminal, in real time: the one place where the simulator's
// tests do not run in virtual time. Every wait is a bounded poll.
#include "sim/PtyHost.h"

#include "sim/Logger.h"

#include <gtest/gtest.h>

#include <string>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace vantrell::sim {
namespace {

// Opens the device as the station's port would: raw, 9600 baud, no controlling terminal.
int openAsStation(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return fd;
    termios settings{};
    tcgetattr(fd, &settings);
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

// Serves the host and collects the station's input until `count` bytes came or a second passed.
std::string collect(PtyHost &host, int station, std::size_t count) {
    std::string got;
    const double end = SystemClock().monotonicSeconds() + 1.0;
    while (got.size() < count && SystemClock().monotonicSeconds() < end) {
        EXPECT_TRUE(host.serveOnce(0.01));
        pollfd fd{station, POLLIN, 0};
        if (::poll(&fd, 1, 10) > 0) {
            char buffer[256];
            const ssize_t n = ::read(station, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, std::size_t(n));
        }
    }
    return got;
}

TEST(PtyHost, AnswersTheWakeUpOnARealTerminalAndRemovesItsLinkWhenItEnds) {
    // A link name of this run's own, so that two builds can run the tests side by side.
    const auto link = std::filesystem::path(::testing::TempDir()) /
                      ("vantrell-sim-line-" + std::to_string(::getpid()));
    {
        World world;
        Logger logger(world, LoggerDescription{});
        PtyHost host(world, logger);
        ASSERT_EQ(host.open(), "");
        ASSERT_EQ(host.makeLink(link), "");
        EXPECT_EQ(std::filesystem::read_symlink(link), host.slavePath());

        std::string traffic;
        host.onTraffic([&](Direction d, std::string_view bytes) {
            traffic += (d == Direction::toDevice ? "<" : ">") + std::string(bytes);
        });
        for (int open = 1; open <= 2; ++open) {
            const int station = openAsStation(link.string());
            ASSERT_GE(station, 0);
            ASSERT_EQ(::write(station, "\x8E", 1), 1);
            EXPECT_EQ(collect(host, station, 1), "?") << "open number " << open;
            ::close(station);
        }
        EXPECT_EQ(traffic, "<\x8E>?<\x8E>?");
        EXPECT_EQ(logger.count(LoggerEvent::Kind::woken), 2);
    }
    EXPECT_FALSE(std::filesystem::is_symlink(std::filesystem::symlink_status(link)));
}

} // namespace
} // namespace vantrell::sim
