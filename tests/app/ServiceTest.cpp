// The programs as a service manager and an operator meet them: the folder they choose without
// --config-dir, command lines they refuse, the journal's priorities, and the watchdog that must
// stop being fed when the station hangs.
#include "ConfigFolder.h"
#include "Programs.h"
#include "ServiceManager.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace vantrell {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::Launch;
using testing::programs;
using testing::runProgram;

TEST(Service, TheDefaultFolderFollowsWhereTheProgramLies) {
    const struct {
        const char *legend;
        const char *environment;
        fs::path program;
        fs::path expected;
    } daemon[] = {
        {"the variable wins", "/srv/line2", "/usr/bin", "/srv/line2"},
        {"installed by the package", nullptr, "/usr/bin", "/var/lib/vantrell"},
        {"installed under /usr/local", "", "/usr/local/bin", "/var/lib/vantrell"},
        {"a build tree", nullptr, "/home/op/vantrell/build/app", "/home/op/vantrell/build/app"},
        {"a copy under another usr/bin", nullptr, "/opt/x/usr/bin", "/opt/x/usr/bin"},
    };
    for (const auto &c : daemon) {
        SCOPED_TRACE(c.legend);
        const FolderChoice choice = daemonConfigFolder(c.environment, c.program);
        EXPECT_EQ(choice.folder, c.expected);
        EXPECT_FALSE(choice.reason.empty());
    }
    EXPECT_EQ(desktopConfigFolder("/home/op/.cfg", "/home/op").folder, "/home/op/.cfg/vantrell");
    EXPECT_EQ(desktopConfigFolder("", "/home/op").folder, "/home/op/.config/vantrell");
}

TEST(Service, CommandLinesThatMakeNoSenseAreRefusedWithTheUsageLine) {
    const std::string daemon = programs + "vantrelld", sim = programs + "vantrell-sim";
    const std::string daemonUsage = "Usage: vantrelld [--config-dir DIR]";
    const std::string simUsage = "usage: vantrell-sim [--link PATH]";
    const std::string noSuchOption = "takes no such option\n" + daemonUsage;
    const struct {
        const char *legend;
        std::vector<std::string> line;
        int exit;
        std::string shown;
    } cases[] = {
        {"an unknown option", {daemon, "--colour", "status"}, 2, daemonUsage},
        {"a missing argument", {daemon, "status", "--config-dir"}, 2, daemonUsage},
        {"an extra argument", {daemon, "status", "now"}, 2, daemonUsage},
        {"a second device", {daemon, "read", "1", "2"}, 2, daemonUsage},
        {"an option of another command", {daemon, "run", "--slot", "2"}, 2, daemonUsage},
        {"no command", {daemon, "--log-io"}, 2, daemonUsage},
        {"an unknown command", {daemon, "start"}, 2, daemonUsage},
        {"status: an option of export", {daemon, "status", "--format", "csv"}, 2, noSuchOption},
        {"status: a filter of export", {daemon, "status", "--since", "2026"}, 2, noSuchOption},
        {"export: the option of status", {daemon, "export", "--json"}, 2, noSuchOption},
        {"read: a filter of export", {daemon, "read", "1", "--device", "2"}, 2, noSuchOption},
        {"run: a filter of export", {daemon, "run", "--serial", "KV1"}, 2, noSuchOption},
        {"export: an argument", {daemon, "export", "KV1"}, 2, "export: unexpected 'KV1'"},
        {"export: no time", {daemon, "export", "--since", "now"}, 2, "--since 'now' is no ISO"},
        {"export: no month", {daemon, "export", "--until", "2026-13-01"}, 2, "'2026-13-01' is no"},
        {"export: a format", {daemon, "export", "--format", "xml"}, 2, "format is csv or json"},
        {"export: a device", {daemon, "export", "--device", "51"}, 2, "device is a number"},
        {"the simulator: an unknown option", {sim, "--loggers", "x"}, 2, simUsage},
        {"the simulator: a missing argument", {sim, "--logger"}, 2, simUsage},
        {"the simulator: an extra argument", {sim, "--logger", "serial=KV1", "now"}, 2, simUsage},
        {"the version", {daemon, "--version"}, 0, "vantrelld " VANTRELL_VERSION "\n"},
        {"the simulator's version", {sim, "--version"}, 0, "vantrell-sim " VANTRELL_VERSION},
        {"help names the folder and why", {daemon, "--help"}, 0, "(the program's own folder)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        const auto outcome = runProgram(c.line, true);
        EXPECT_EQ(outcome.exit, c.exit);
        EXPECT_NE(outcome.output.find(c.shown), std::string::npos) << outcome.output;
    }
}

// The journal names its stream by device and inode; a shell gives the program that of its pipe.
TEST(Service, OnTheJournalStreamLinesCarryPrioritiesAndNoTime) {
    testing::TempFolder folder;
    const fs::path config = folder / "config";
    testing::initFolder(config);
    std::ofstream(config / "prop.xml", std::ios::app) << "damaged";
    const std::string command = "JOURNAL_STREAM=$(stat -L -c %d:%i /proc/$$/fd/1) exec " +
                                programs + "vantrelld --config-dir " + config.string() + " status";
    const auto journal = runProgram({"/bin/sh", "-c", command}, true);
    EXPECT_EQ(journal.exit, 2);
    EXPECT_EQ(journal.output.rfind("configuration folder: " + config.string(), 0), 0)
        << journal.output;
    EXPECT_NE(journal.output.find("\n<3>[config] " + config.string() + "/prop.xml"),
              std::string::npos)
        << journal.output;
    const auto inherited = runProgram({"/bin/sh", "-c",
                                       "JOURNAL_STREAM=1:2 exec " + programs +
                                           "vantrelld --config-dir " + config.string() + " status"},
                                      true);
    EXPECT_EQ(inherited.output.find("<3>"), std::string::npos) << inherited.output;
}

// What a fresh service meets: an empty state folder gets the templates, and a data folder the
// service may not write is named at start, before a session reads a logger for nothing.
TEST(Service, RunStartsOnAnEmptyFolderAndNamesDataFoldersItCannotWrite) {
    testing::TempFolder folder;
    const fs::path config = folder / "state";
    fs::create_directories(config);
    const auto runUntilRunning = [&config] {
        ChildProcess run(testing::vantrelld(config, {"run"}), Launch{true, {}});
        const std::string output = run.readUntil("[station] running", 30);
        run.stop();
        return output;
    };
    const std::string fresh = runUntilRunning();
    EXPECT_NE(fresh.find("installed " + (config / "prop.xml").string()), std::string::npos)
        << fresh;
    EXPECT_NE(fresh.find("[station] running"), std::string::npos) << fresh;

    testing::editDevice(config, 7, [](DeviceRecord &d) {
        d[field::connection] = "0123456789"; // dialled: not read at start
        d[field::dataDirectory] = "/nonexistent/data";
    });
    const std::string named = runUntilRunning();
    EXPECT_NE(named.find("the data folder of device 7, /nonexistent/data, cannot be written"),
              std::string::npos)
        << named;
}

// The service manager's end of the notification socket, as systemd holds it for the unit.
class NotifySocket {
public:
    explicit NotifySocket(const fs::path &path) : path_(path) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.string().copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    }
    ~NotifySocket() { ::close(fd_); }
    // The next message that holds `text`, skipping others; empty after `seconds` without one.
    std::string await(const std::string &text, double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0)
                return {};
            char message[512];
            const ssize_t n = ::recv(fd_, message, sizeof message, 0);
            if (n > 0 && std::string(message, std::size_t(n)).find(text) != std::string::npos)
                return std::string(message, std::size_t(n));
        }
    }

private:
    fs::path path_;
    int fd_ = -1;
};

// What systemd hears from the unit: ready, the keep-alives of the running loop, a reload on
// SIGHUP, and the stop.
TEST(Service, TheServiceManagerHearsReadyKeepAliveReloadAndStop) {
    testing::TempFolder folder;
    const fs::path config = folder / "state";
    testing::initFolder(config);
    NotifySocket manager(folder / "notify");
    const std::string command = "NOTIFY_SOCKET=" + (folder / "notify").string() +
                                " WATCHDOG_USEC=2000000 exec " + programs +
                                "vantrelld --config-dir " + config.string() + " run";
    ChildProcess run({"/bin/sh", "-c", command}, Launch{true, {}});
    EXPECT_NE(manager.await("READY=1", 30), "");
    EXPECT_EQ(manager.await("WATCHDOG=1", 5), "WATCHDOG=1");
    ::kill(run.pid(), SIGHUP);
    EXPECT_NE(manager.await("RELOADING=1", 30), "");
    EXPECT_NE(manager.await("READY=1", 30), "");
    ::kill(run.pid(), SIGTERM);
    EXPECT_EQ(manager.await("STOPPING=1", 30), "STOPPING=1");
    EXPECT_EQ(run.wait(30), 0);
}

// The loop feeds the watchdog on every turn, and a long delivery through libcurl's progress
// callback; a loop that hangs feeds nothing, so systemd sees the keep-alives stop.
TEST(Service, TheKeepAliveGoesOutWhileTheLoopTurnsAndStopsWhenItHangs) {
    VirtualClock clock;
    std::vector<double> sent;
    Watchdog watchdog(clock, 60.0, [&] { sent.push_back(clock.monotonicSeconds()); });
    const auto turn = [&](double seconds, double every) {
        for (double t = 0; t < seconds; t += every) {
            clock.advanceBy(every);
            watchdog.feed();
        }
    };
    turn(120, 10); // the cycle's idle waits
    turn(300, 1);  // a delivery of five minutes in the loop, fed between its steps
    EXPECT_EQ(sent, (std::vector<double>{30, 60, 90, 120, 150, 180, 210, 240, 270, 300, 330, 360,
                                         390, 420}));
    sent.clear();
    clock.advanceBy(600); // hangs: nothing feeds it
    EXPECT_TRUE(sent.empty());
    watchdog.feed();
    EXPECT_EQ(sent, std::vector<double>{1020});

    Watchdog none(clock, 0.0, [&] { sent.push_back(-1); });
    clock.advanceBy(100);
    none.feed();
    EXPECT_EQ(sent, std::vector<double>{1020});
}

} // namespace
} // namespace vantrell
