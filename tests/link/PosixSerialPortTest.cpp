// The real serial port on real devices: what it refuses, how it names a refusal, and the lock
// that keeps other programs off a device while this one uses or holds it. The pseudo-terminal
// of the simulator's host stands in for a serial device.
#include "link/PosixSerialPort.h"
#include "link/LoggingSerialPort.h"

#include "config/ConfigStation.h"
#include "sim/Logger.h"
#include "sim/PtyHost.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

namespace vantrell {
namespace {

namespace fs = std::filesystem;

PosixSerialPort portOn(const fs::path &device) {
    return PosixSerialPort([device](int) { return device; });
}

struct Terminal {
    Terminal() { EXPECT_EQ(host.open(), ""); }
    const std::string &path() const { return host.slavePath(); }

    sim::World world;
    sim::Logger logger{world, {}};
    sim::PtyHost host{world, logger};
};

// Another program's lock on the device: flock locks belong to an open file, so a descriptor
// of the test's own, outside the port, conflicts with the port as another process would.
class OtherProgram {
public:
    explicit OtherProgram(const fs::path &device)
        : fd_(::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    ~OtherProgram() { ::close(fd_); }
    bool tryLock() { return ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }
    void unlock() { ::flock(fd_, LOCK_UN); }

private:
    int fd_;
};

TEST(PosixSerialPort, OnlyATerminalOpensAndARefusalNamesPortAndDevice) {
    testing::TempFolder folder;
    std::ofstream(folder / "file") << "data";
    Terminal terminal;
    const struct {
        const char *legend;
        fs::path device;
        PortError error;
        const char *text; // after the port and its device
    } cases[] = {
        {"a device that is not there", folder / "ttyUSB0", PortError::noSuchPort, "no such device"},
        {"the null device", "/dev/null", PortError::notSerial, "not a serial device"},
        {"a plain file", folder / "file", PortError::notSerial, "not a serial device"},
        {"a folder", folder.path(), PortError::notSerial, "not a serial device"},
        {"a terminal", terminal.path(), PortError::none, "no error"},
    };
    for (const auto &c : cases) {
        PosixSerialPort port = portOn(c.device);
        const PortError opened = port.open(1);
        EXPECT_EQ(opened, c.error) << c.legend;
        EXPECT_EQ(port.isOpen(), c.error == PortError::none) << c.legend;
        EXPECT_EQ(port.hold(1), c.error) << c.legend;
        EXPECT_EQ(describe(port, 1, opened), "port 1 (" + c.device.string() + "): " + c.text)
            << c.legend;
    }
    EXPECT_EQ(test::readBytes(folder / "file"), "data");
}

// Another program's lock keeps the port off the device. A session opens the port for every
// step; an SMS opens it once for its three commands.
TEST(PosixSerialPort, TheDeviceIsLockedWhileOpenOrHeldAndThisProgramsPortsShareIt) {
    Terminal terminal;
    OtherProgram other(terminal.path());
    PosixSerialPort line = portOn(terminal.path());
    PosixSerialPort sms = portOn(terminal.path());
    ASSERT_TRUE(other.tryLock());
    EXPECT_EQ(line.open(1), PortError::portBusy);
    EXPECT_EQ(line.hold(1), PortError::portBusy);
    EXPECT_EQ(describe(line, 1, PortError::portBusy),
              "port 1 (" + terminal.path() + "): in use by another program");
    other.unlock();

    ASSERT_EQ(sms.open(1), PortError::none);
    EXPECT_FALSE(other.tryLock()) << "an SMS under way";
    sms.close();
    ASSERT_TRUE(other.tryLock()) << "a step or an SMS locks only while open";
    other.unlock();

    ASSERT_EQ(line.hold(1), PortError::none);
    for (int step = 1; step <= 3; ++step) {
        ASSERT_EQ(line.open(1), PortError::none);
        ASSERT_EQ(sms.open(1), PortError::none) << "the same program's SMS between two steps";
        sms.close();
        line.close();
        EXPECT_FALSE(other.tryLock()) << "between steps " << step << " and " << step + 1;
    }
    ASSERT_EQ(line.hold(1), PortError::none) << "holding again keeps the hold";
    line.release();
    EXPECT_TRUE(other.tryLock());
    other.unlock();

    ASSERT_EQ(line.hold(1), PortError::none);
    {
        PosixSerialPort ending = portOn(terminal.path());
        ASSERT_EQ(ending.open(1), PortError::none);
    }
    EXPECT_FALSE(other.tryLock()) << "a port that ends takes only its own use along";
}

TEST(LoggingSerialPort, APortThatCannotOpenIsLoggedOnceAndItsReturnOnce) {
    testing::TempFolder folder;
    Terminal terminal;
    fs::path device = folder / "ttyUSB0";
    PosixSerialPort inner([&device](int) { return device; });
    std::vector<std::string> logged;
    LoggingSerialPort port(
        inner, [&logged](const std::string &line) { logged.push_back(line); }, false);
    EXPECT_EQ(port.open(1), PortError::noSuchPort);
    EXPECT_EQ(port.open(1), PortError::noSuchPort);
    device = terminal.path();
    EXPECT_EQ(port.open(1), PortError::none);
    EXPECT_EQ(logged, (std::vector<std::string>{"port 1 (" + (folder / "ttyUSB0").string() +
                                                    "): no such device",
                                                "port 1 (" + terminal.path() + "): open again"}));
}

} // namespace
} // namespace vantrell
