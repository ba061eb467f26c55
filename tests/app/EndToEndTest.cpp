// The station's programs as an administrator runs them: a folder made by "vantrelld init" and
// configured with vantrelld's own commands only, "vantrelld run" holding it, and "vantrelld
// read 1" asking the running station to read the station vantrell-sim serves on a
// pseudo-terminal, through the real serial port, in real time. The journal and the metrics file
// are on: the session and its readings land in the journal, and the metrics count it.
#include "Programs.h"
#include "TempFolder.h"
#include "config/ConfigStation.h"
#include "journal/Journal.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

namespace vantrell {
namespace {

using testing::ChildProcess;
using testing::runProgram;
using testing::TempFolder;
using testing::vantrelld;

// The output of a command that must succeed.
std::string expectDone(const std::filesystem::path &config, std::vector<std::string> command) {
    const auto outcome = runProgram(vantrelld(config, command), true);
    EXPECT_EQ(outcome.exit, 0) << command.front() << ": " << outcome.output;
    return outcome.output;
}

TEST(EndToEnd, AStationSetUpFromTheCommandLineIsReadWhileRunHoldsTheFolder) {
    TempFolder folder;
    const auto config = folder / "station";
    ChildProcess sim({testing::programs + "vantrell-sim", "--switch", "--logger",
                      "serial=0001KV0126,model=1,records=30,interval=600,position=2"});
    const auto pty = sim.readLine(10);
    ASSERT_TRUE(pty && pty->rfind("/dev/", 0) == 0) << pty.value_or("(nothing)");

    expectDone(config, {"init"});
    std::filesystem::create_directories(config / "data");
    expectDone(config, {"line", "set", *pty});
    expectDone(config, {"schedule", "set", "1", "8"});
    // Inactive, so that the schedule leaves it to the read the test asks for.
    expectDone(config,
               {"device", "set", "1", "connection=netw0101", "useSwitch=1", "serial2=0001KV0126",
                "schedule1=1", "savingMode=1", "dataDirectory=data", "description=Hall"});
    const std::string table = test::readBytes(config / "prop.xml");
    const auto refused =
        runProgram(vantrelld(config, {"device", "set", "1", "serial3=12KV"}), true);
    EXPECT_EQ(refused.exit, 2);
    EXPECT_NE(
        refused.output.find("Data error: The serial number inserted is not correct (serial3)"),
        std::string::npos)
        << refused.output;
    EXPECT_EQ(test::readBytes(config / "prop.xml"), table) << "a refusal stores nothing";
    std::ofstream(config / "vantrell.conf")
        << "[journal]\nfile = station.sqlite\n[metrics]\ntextfile = vantrell.prom\n";

    ChildProcess run(vantrelld(config, {"run"}), testing::Launch{true, {}});
    std::string said = run.readUntil("other vantrelld commands reach it through", 10);
    ASSERT_NE(said.find("reach it through " + (config / "vantrelld.sock").string()),
              std::string::npos)
        << said;
    // What cannot be asked of a running station waits for the folder.
    for (const std::vector<std::string> &command : {std::vector<std::string>{"run"}, {"probe"}}) {
        const auto held = runProgram(vantrelld(config, command), true);
        EXPECT_EQ(held.exit, 2) << command[0];
        EXPECT_NE(held.output.find("is in use by process " + std::to_string(run.pid()) + " (" +
                                   testing::programs + "vantrelld --config-dir "),
                  std::string::npos)
            << held.output;
    }

    ChildProcess read(vantrelld(config, {"read", "1", "--slot", "2"}));
    std::string last;
    bool sessionShown = false;
    while (const auto line = read.readLine(120)) {
        sessionShown =
            sessionShown || line->find("[report]  Switch Connected") != std::string::npos;
        last = *line;
    }
    EXPECT_EQ(read.wait(10), 0);
    EXPECT_EQ(last, "status: X");
    EXPECT_TRUE(sessionShown) << "the running station's session lines reach the client";
    const auto file = config / "data" / "0001KV0126.dat";
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::file_size(file), 62u * (3 + 30));

    // Changes beside the running station are its to make, between sessions.
    EXPECT_EQ(expectDone(config, {"device", "set", "1", "description=Hall 2"}),
              "device 1 stored\n");
    EXPECT_NE(expectDone(config, {"device", "list"}).find("1\tinactive\tnetw0101\tHall 2"),
              std::string::npos);
    EXPECT_NE(expectDone(config, {"status"}).find("\"Hall 2\"  inactive  marks:"),
              std::string::npos);
    ASSERT_EQ(kill(run.pid(), SIGTERM), 0);
    EXPECT_EQ(run.wait(30), 0);
    said += run.unread();
    const std::string idle = "no device is active in " + (config / "prop.xml").string();
    EXPECT_EQ(said.find(idle), said.rfind(idle)) << "said once: " << said;
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::symlink_status(config / "vantrelld.sock")));

    std::unique_ptr<Journal> journal;
    ASSERT_FALSE(Journal::open(config / "station.sqlite", Journal::Access::readOnly, journal));
    DeviceJournal seen;
    ASSERT_FALSE(journal->deviceJournal(1, seen));
    ASSERT_TRUE(seen.lastSession.has_value());
    EXPECT_EQ(seen.lastSession->letter, "X");
    EXPECT_EQ(seen.lastSession->scheduleTime, 2);
    EXPECT_EQ(seen.lastSession->recordsRead, 30);
    EXPECT_EQ(seen.lastSession->dataFile, file.string());
    int readings = 0;
    ASSERT_FALSE(journal->forEachReading({1, "0001KV0126", {}, {}},
                                         [&readings](const ExportedReading &) { ++readings; }));
    EXPECT_GT(readings, 0);
    EXPECT_EQ(readings % 30, 0) << "every channel has each of the 30 records";

    const std::string metrics = test::readBytes(config / "vantrell.prom");
    for (const char *sample :
         {"\nvantrell_sessions_total{station=\"station\",device=\"1\",letter=\"X\"} 1\n",
          "\nvantrell_records_read_total{station=\"station\",device=\"1\"} 30\n",
          "\nvantrell_build_info{station=\"station\",version=\"" VANTRELL_VERSION "\"} 1\n"})
        EXPECT_NE(metrics.find(sample), std::string::npos) << sample << "in:\n" << metrics;
}

} // namespace
} // namespace vantrell
