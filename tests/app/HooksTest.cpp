// The commands of [hooks]: shell scripts the test writes, run as the station runs them after a
// session or a report, on their own thread, their time limit passing only as the test moves the
// virtual clock; and vantrelld read, which waits for its session's hook before it ends.
#include "LogLines.h"
#include "Programs.h"
#include "cycle/StationHooks.h"
#include "sim/Logger.h"
#include "sim/PtyHost.h"
#include "sim/virtualtime/VirtualClock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>

namespace vantrell {
namespace {

namespace fs = std::filesystem;
using testing::LogLines;
using testing::TempFolder;

// A time limit in virtual seconds that the test's clock never reaches.
constexpr int untimed = 86400;

// What a hook writes of its environment beside itself, one line each.
constexpr const char *tellEnvironment =
    "printf '%s\\n' \"$VANTRELL_STATION\" \"$VANTRELL_DEVICE\" \"$VANTRELL_TIME_SLOT\" "
    "\"$VANTRELL_LETTER\" \"$VANTRELL_WORDS\" \"$VANTRELL_FILES\" \"$VANTRELL_SERIALS\" "
    "\"${PATH:+the station's PATH}\" > \"$0.told\"\n";

fs::path writeHook(const fs::path &folder, const std::string &body) {
    const fs::path script = folder / "hook";
    test::writeBytes(script, "#!/bin/sh\n" + body);
    fs::permissions(script, fs::perms::owner_all, fs::perm_options::replace);
    return script;
}

// Device 3's session for schedule time 2 saved two loggers, but a data file did not go out.
SessionResult twoLoggersSaved() {
    SessionResult result;
    result.end = SessionEnd::allRead;
    result.mark = "F";
    AttemptResult attempt{{}, AttemptEnd::allRead};
    for (const auto &[path, serial] : {std::pair{"/data/a.txt", "KV1"}, {"/data/b.txt", "KV2 "}}) {
        LoggerResult logger;
        logger.path = path;
        logger.saved = MemorySaved::inFile;
        logger.parameters.loggerSerial = serial;
        attempt.loggers.push_back(logger);
    }
    result.attempts.push_back(attempt);
    return result;
}

bool endLine(const std::string &line) {
    for (const char *end : {" exited ", " killed after ", " could not start: "})
        if (line.find(end) != std::string::npos)
            return true;
    return false;
}

TEST(Hooks, EachHookRunsBesideTheStationWithItsFactsAndItsOutputLoggedWithinBounds) {
    const std::string oneMegabyte = "head -c 1048576 /dev/zero | tr '\\0' x";
    const struct {
        const char *legend;
        std::string body; // of the script; empty: no program there
        bool afterReport;
        int timeoutSeconds;
        std::vector<std::string> logged; // each part of a line of the log
        std::string told = {};           // what it wrote of its environment; empty: nothing
        double endsNoSooner = 0;         // virtual seconds
    } cases[] = {
        {"after a session: its facts, files and serials one a line, line by line",
         tellEnvironment,
         false,
         untimed,
         {"after_session device 3 exited 0"},
         "line2\n3\n2\nF\ndata read, not forwarded\n/data/a.txt\n/data/b.txt\nKV1\nKV2\n"
         "the station's PATH\n"},
        {"after a report: the devices due at the time, each with its letter",
         tellEnvironment,
         true,
         untimed,
         {"after_report time 3 exited 0"},
         "line2\n2\n5\n3\nX\n\ndone successfully\nno letter\n\n\nthe station's PATH\n"},
        {"a hook that fails: its output and its exit status",
         "echo cannot do it >&2\nexit 3\n",
         false,
         untimed,
         {"after_session device 3: cannot do it", "after_session device 3 exited 3"}},
        {"a hook that ignores SIGTERM: killed a grace after its time limit",
         "trap '' TERM\necho waiting\nwhile :; do sleep 1; done\n",
         false,
         2,
         {"after_session device 3: waiting", "after_session device 3 killed after 2 s"},
         "",
         7},
        {"1 MB in lines: the first 100 logged, the rest counted",
         oneMegabyte + " | fold -w 99\n",
         false,
         untimed,
         {"device 3: 10492 more lines (1049168 bytes) of its output left out",
          "after_session device 3 exited 0"}},
        {"1 MB in one line: logged in pieces of 4 KiB up to 64 KiB",
         oneMegabyte + "\n",
         false,
         untimed,
         {"device 3: 240 more lines (983280 bytes) of its output left out",
          "after_session device 3 exited 0"}},
        {"a program gone since the settings were read",
         "",
         true,
         untimed,
         {"after_report time 3 could not start: No such file or directory"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        TempFolder folder;
        const fs::path script = c.body.empty() ? folder / "hook" : writeHook(folder.path(), c.body);
        HooksSettings settings{script, script, c.timeoutSeconds};
        VirtualClock clock;
        LogLines lines;
        std::atomic<double> endedAt = -1;
        StationHooks hooks(
            settings, "line2",
            [&, log = lines.log()](LogPriority priority, const std::string &line) {
                if (endLine(line))
                    endedAt = clock.monotonicSeconds();
                log(priority, line);
            },
            clock);
        sim::World world;
        sim::SimPort port(world);
        RecordingProgress progress;
        RecordingDialogs dialogs;
        SystemClock realClock;
        BlockingEventPump pump(realClock);
        Station station({realClock, pump, port, progress, dialogs}, folder.path());
        for (int due : {2, 5})
            test::setFields(station.devices[due], "active=1 schedule3=1");
        test::setFields(station.devices[4], "active=1 schedule1=1");
        station.dailyMarks.at(6, 2) = "X";
        if (c.afterReport)
            hooks.reportSent(station, 3);
        else
            hooks.sessionEnded({3, 3, "", {}}, twoLoggersSaved());
        // A virtual second a step, each giving the hook a moment of real time.
        const Deadline patience(systemClock(), 60);
        while (endedAt < 0 && !patience.expired()) {
            clock.advanceBy(1);
            lines.waitFor("", 0.02);
        }
        hooks.awaitAll();
        for (const std::string &part : c.logged)
            EXPECT_EQ(lines.count(part), 1u) << part << "\n" << lines.all();
        EXPECT_GE(endedAt, c.endsNoSooner);
        if (!c.told.empty()) {
            EXPECT_EQ(test::readBytes(script.string() + ".told"), c.told);
        }
    }
}

// The hook's failure is its own: the session's letter and read's exit code stay as they were.
TEST(Hooks, ReadEndsAfterItsSessionsHookWhoseFailureLeavesTheLetter) {
    sim::World world;
    sim::Logger logger(world, {});
    sim::PtyHost line(world, logger);
    ASSERT_EQ(line.open(), "");
    TempFolder folder;
    const fs::path config = folder / "line2";
    testing::initFolder(config);
    testing::editDevice(config, 1, [&](DeviceRecord &d) {
        test::setFields(d, "active=1 connection=locl0000 serial1=KV00000001");
    });
    testing::mapPortOne(config, line.slavePath());
    const fs::path hook = writeHook(folder.path(), std::string(tellEnvironment) + "exit 3\n");
    test::writeBytes(config / "vantrell.conf", "[hooks]\nafter_session = " + hook.string() + "\n");
    const int other = ::open(line.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);

    const auto read = testing::runProgram(testing::vantrelld(config, {"read", "1"}), true);
    ::close(other);
    EXPECT_EQ(read.exit, 1);
    EXPECT_TRUE(read.output.ends_with("[hook] after_session device 1 exited 3\nstatus: M\n"))
        << read.output;
    EXPECT_EQ(test::readBytes(hook.string() + ".told"),
              "line2\n1\n1\nM\nmodem not ready or line in use\n\n\nthe station's PATH\n");
}

} // namespace
} // namespace vantrell
