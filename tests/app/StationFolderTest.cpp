// One station per configuration folder, and clear refusals before the cycle starts: the built
// programs on real folders, with a second program, a damaged or forbidden folder, a damaged
// vantrell.conf, and a line another program holds.
#include "Programs.h"
#include "config/ConfigStation.h"
#include "sim/Logger.h"
#include "sim/PtyHost.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <functional>
#include <map>

namespace vantrell {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::Launch;
using testing::runProgram;
using testing::TempFolder;
using testing::vantrelld;

// File modes do not bind root: a test running as root runs the program as nobody, to whom it
// first gives the folder.
std::optional<uid_t> userBoundByModes(const fs::path &folder) {
    if (geteuid() != 0)
        return std::nullopt;
    constexpr uid_t nobody = 65534;
    for (const auto &entry : fs::recursive_directory_iterator(folder))
        EXPECT_EQ(lchown(entry.path().c_str(), nobody, nobody), 0);
    EXPECT_EQ(lchown(folder.c_str(), nobody, nobody), 0);
    return nobody;
}

std::map<std::string, std::string> contentsOf(const fs::path &folder) {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().string()] = test::readBytes(entry.path());
    return files;
}

TEST(StationFolder, WhatCannotBeUsedStopsTheProgramBeforeTheCycle) {
    using Prepare = std::function<void(const fs::path &)>;
    const Prepare loopOfLinks = [](const fs::path &dir) {
        fs::create_symlink(dir.string() + "-b", dir);
        fs::create_symlink(dir, dir.string() + "-b");
    };
    const Prepare emptyTable = [](const fs::path &dir) {
        testing::initFolder(dir);
        test::writeBytes(dir / "prop.xml", "");
    };
    const Prepare damagedTable = [](const fs::path &dir) {
        testing::initFolder(dir);
        test::writeBytes(dir / "prop.xml", test::readBytes(dir / "prop.xml").substr(0, 200));
    };
    const Prepare lockFileThere = [](const fs::path &dir) {
        testing::initFolder(dir);
        test::writeBytes(dir / "vantrell.lock", "");
    };
    const auto withConf = [](const char *conf) {
        return Prepare([conf](const fs::path &dir) {
            testing::configureSwitchedLogger(dir);
            test::writeBytes(dir / "vantrell.conf", conf);
        });
    };
    // "{dir}" is the folder.
    const std::string loop = "Too many levels of symbolic links", denied = "Permission denied";
    const std::string unreadable = "{dir}/prop.xml: cannot be read (";
    const std::string cannotLock =
        "the configuration folder {dir} cannot be locked: {dir}/vantrell.lock: ";
    const std::string emptyText = "{dir}/prop.xml: the file is empty; the station cannot work";
    const std::string readOnly = "{dir}: the configuration folder cannot be written (" + denied;
    const std::optional<fs::perms> noSearch = fs::perms::none, noWrite = fs::perms(0555);
    const struct {
        const char *legend;
        Prepare prepare;
        std::vector<std::string> command;
        std::string expected;
        std::optional<fs::perms> mode = {}; // of the folder, for a user bound by it
    } cases[] = {
        {"a loop of links: status", loopOfLinks, {"status"}, unreadable + loop},
        {"a loop of links: run", loopOfLinks, {"run"}, cannotLock + loop},
        {"an empty device table: run", emptyTable, {"run"}, emptyText},
        {"an empty device table: read names the file", emptyTable, {"read", "3"}, emptyText},
        {"a damaged device table", damagedTable, {"run"}, "{dir}/prop.xml: is not a well-formed"},
        {"a folder not to search: status", emptyTable, {"status"}, unreadable + denied, noSearch},
        {"a read-only folder: run", lockFileThere, {"run"}, readOnly, noWrite},
        {"a read-only folder: read", lockFileThere, {"read", "1"}, readOnly, noWrite},
        {"vantrell.conf: run, a value out of range",
         withConf("[journal]\nfile = j.sqlite\nkeep_days = 0\n"),
         {"run"},
         "vantrell.conf line 3: keep_days"},
        {"conf: an unknown section", withConf("; c\n[journl]\n"), {"read", "1"}, "conf line 2"},
        {"conf: an unknown key",
         withConf("[silence]\nafter = 2\n"),
         {"read", "1"},
         "line 2: after"},
        {"conf: a hook that is no absolute path: run",
         withConf("[hooks]\ntimeout_s = 5\nafter_report = hook.sh\n"),
         {"run"},
         "vantrell.conf line 3: after_report: not an absolute path"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        TempFolder folder;
        const fs::path dir = folder / "config";
        c.prepare(dir);
        std::optional<uid_t> user;
        if (c.mode) {
            user = userBoundByModes(dir);
            fs::permissions(dir, *c.mode);
        }
        const auto outcome = runProgram(vantrelld(dir, c.command), true, user);
        if (c.mode)
            fs::permissions(dir, fs::perms(0755));
        EXPECT_EQ(outcome.exit, 2) << outcome.output;
        std::string expected = c.expected;
        for (auto at = expected.find("{dir}"); at != std::string::npos; at = expected.find("{dir}"))
            expected.replace(at, 5, dir.string());
        EXPECT_NE(outcome.output.find(expected), std::string::npos) << outcome.output;
        std::error_code unreachable;
        EXPECT_FALSE(fs::exists(dir / "j.sqlite", unreachable))
            << "no journal before the settings are read";
    }
}

// Group membership is fixed when a process starts, so a line the station's user may not open
// stays closed to it until the service starts again: with a device to read, that stops run at
// once, with exit 2, which the unit does not restart on; with none active it is a warning. Either
// way the message says who may open the device and who the station is, not a guess.
TEST(StationFolderAsRoot, ALineTheStationsUserMayNotOpenStopsRunOnlyWithADeviceToRead) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: only root may start vantrelld as another user (nobody), one "
                        "outside the terminal's group, whom the line then refuses";
    for (const bool deviceActive : {false, true}) {
        SCOPED_TRACE(deviceActive ? "a device is active" : "no device is active");
        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        const std::string terminal = ptsname(master);
        TempFolder folder;
        const fs::path dir = folder / "config";
        if (deviceActive)
            testing::configureSwitchedLogger(dir);
        else
            testing::initFolder(dir);
        testing::mapPortOne(dir, terminal);
        ChildProcess run(vantrelld(dir, {"run"}), Launch{true, userBoundByModes(dir)});
        const std::string said = run.readUntil("[station] running", 10);
        if (!deviceActive) {
            ASSERT_EQ(kill(run.pid(), SIGTERM), 0);
        }
        EXPECT_EQ(run.wait(10), deviceActive ? 2 : 0) << said;
        ::close(master);
        for (const std::string &part :
             {"port 1 (" + terminal + "): permission denied; the device is crw",
              std::string(", owned by root, group "), std::string("; the station runs as nobody")})
            EXPECT_NE(said.find(part), std::string::npos) << part << " in: " << said;
    }
}

TEST(StationFolder, StatusWritesNothingAndShowsControlCharactersEscaped) {
    TempFolder folder;
    const fs::path config = folder.path();
    testing::initFolder(config);
    testing::editDevice(config, 4, [](DeviceRecord &d) {
        d[field::active] = "1";
        d[field::connection] = "locl0000";
        d[field::description] = "\x1b]0;owned\x07\x1b[2J\r\nfake";
        d[field::scheduleSlot1] = "1"; // the marks file does not say so yet
    });
    const auto before = contentsOf(config);
    const auto marksTime = fs::last_write_time(config / "dlytmtble.xml");

    const auto status = runProgram(vantrelld(config, {"status"}), true);
    EXPECT_EQ(status.exit, 0) << status.output;
    EXPECT_NE(status.output.find("  4  locl0000  \"<1B>]0;owned<07><1B>[2J<0D><0A>fake\"  active"),
              std::string::npos)
        << status.output;
    EXPECT_EQ(status.output.find_first_of("\x1b\x07\r"), std::string::npos);
    EXPECT_EQ(contentsOf(config), before);
    EXPECT_EQ(fs::last_write_time(config / "dlytmtble.xml"), marksTime);
}

TEST(StationFolder, ASessionWhoseLineAnotherProgramHoldsFailsItsAttemptsWithM) {
    sim::World world;
    sim::Logger logger(world, {});
    sim::PtyHost line(world, logger);
    ASSERT_EQ(line.open(), "");
    TempFolder folder;
    const fs::path config = folder.path();
    testing::initFolder(config);
    fs::create_directories(config / "data");
    testing::editDevice(config, 1, [&](DeviceRecord &d) {
        test::setFields(d, "active=1 connection=locl0000 serial1=KV00000001 dataDirectory=" +
                               (config / "data").string());
    });
    testing::mapPortOne(config, line.slavePath());
    const int other = ::open(line.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);

    const auto read = runProgram(vantrelld(config, {"read", "1"}), true);
    ::close(other);
    EXPECT_EQ(read.exit, 1);
    EXPECT_NE(read.output.find("port 1 (" + line.slavePath() + "): in use by another program"),
              std::string::npos)
        << read.output;
    EXPECT_TRUE(read.output.ends_with("status: M\n")) << read.output;
}

} // namespace
} // namespace vantrell
