// The station's programs as an administrator runs them: a folder made by "vantrelld init" and
// configured with vantrelld's own commands only, "vantrelld run" holding it, and "vantrelld
// read 1" asking the running station to read the station vantrell-sim serves on a
// pseudo-terminal, through the real serial port, in real time. The journal and the metrics file
// are on: the session and its readings land in the journal, and the metrics count it. Two such
// stations publish to brokers bridged to a central one, as the README's example sets them up.
#include "Programs.h"
#include "TempFolder.h"
#include "config/ConfigStation.h"
#include "journal/Journal.h"
#include "publish/MqttTestBroker.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <fstream>
#include <memory>
#include <numeric>
#include <set>

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

// The README's bridge for one host, for `site`, to the central broker on `centralPort`.
std::string readmeBridge(const std::string &site, int centralPort) {
    const std::string readme = test::readBytes(std::string(VANTRELL_SOURCE_DIR) + "/README.md");
    const auto from = readme.find("```\nconnection vantrell-central\naddress 127.0.0.1:1883\n");
    const auto start = from == std::string::npos ? readme.size() : from + 4;
    const std::string bridge = readme.substr(start, readme.find("```", start) - start);
    return test::replaced(test::replaced(bridge, ":1883", ":" + std::to_string(centralPort)),
                          "site-a", site, true);
}

// Each station's session runs while the central broker is down: what it publishes waits in its
// site broker's bridge, the subscriber's session waits in the centre's store, and all of it
// arrives once the centre is back on its port.
TEST(EndToEnd, TwoSitesBridgedToTheCentreLoseNothingWhileItRestarts) {
    constexpr double patience = 60;
    constexpr double sessionSeconds = 120; // the switch's eight positions in real time: about 70
    TempFolder folder;
    testing::TestBroker central;
    ASSERT_TRUE(central.start());
    testing::TestSubscriber centre(central.port, "vantrell/#", "vantrell-test-centre");
    const struct {
        const char *legend;
        std::string station, site;
    } stations[] = {{"the first site's station", "north", "site-a"},
                    {"the second site's", "south", "site-b"}};
    std::vector<std::unique_ptr<testing::TestBroker>> sites;
    std::vector<std::unique_ptr<ChildProcess>> sims, runs;
    const auto logs = [&] {
        return std::accumulate(
            sites.begin(), sites.end(), central.log(),
            [](std::string text, const auto &site) { return text + site->log(); });
    };
    for (const auto &s : stations) {
        sites.push_back(std::make_unique<testing::TestBroker>(readmeBridge(s.site, central.port)));
        ASSERT_TRUE(sites.back()->start()) << s.legend << logs();
        sims.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{testing::programs + "vantrell-sim", "--switch", "--logger",
                                     "serial=KV20260001,model=1,records=30,position=2"}));
        const auto pty = sims.back()->readLine(10);
        ASSERT_TRUE(pty && pty->starts_with("/dev/")) << pty.value_or("(nothing)");
        const auto config = folder / s.station;
        testing::configureSwitchedLogger(config);
        testing::mapPortOne(config, *pty);
        expectDone(config, {"schedule", "set", "1", "0"}); // due as soon as run starts
        testing::editDevice(config, 1, [](DeviceRecord &d) { d[field::scheduleSlot1] = "1"; });
        std::ofstream(config / "vantrell.conf")
            << "[mqtt]\nurl = " << sites.back()->url() << "\nstation = " << s.station << "\n";
    }
    for (const auto &s : stations)
        runs.push_back(std::make_unique<ChildProcess>(vantrelld(folder / s.station, {"run"}),
                                                      testing::Launch{true, {}}));
    for (const auto &s : stations)
        ASSERT_TRUE(centre.waitForCount("vantrell/" + s.station + "/state", 1, patience)) << logs();
    central.stop();
    for (std::size_t k = 0; k < sites.size(); ++k) {
        testing::TestSubscriber site(sites[k]->port, "vantrell/+/device/1/status",
                                     "vantrell-test-" + stations[k].site);
        ASSERT_TRUE(site.waitForCount("/status", 1, sessionSeconds)) << logs();
    }
    ASSERT_TRUE(central.start()) << logs();

    // Every reading of both loggers: thirty records of two channels each.
    EXPECT_TRUE(centre.waitFor(
        [&](const std::vector<testing::MqttMessage> &all) {
            std::set<std::pair<std::string, std::string>> arrived;
            for (const testing::MqttMessage &m : all)
                if (m.payload.starts_with(R"({"time")"))
                    arrived.emplace(m.topic, nlohmann::json::parse(m.payload).at("time"));
            return arrived.size() == 2u * 30 * 2;
        },
        patience))
        << logs();
    // Every station's state and device status: passed on, and retained for one that comes now.
    const auto told = [&](const std::vector<testing::MqttMessage> &all) {
        return std::all_of(std::begin(stations), std::end(stations), [&](const auto &s) {
            return testing::TestSubscriber::matching(all, "vantrell/" + s.station + "/state") &&
                   testing::TestSubscriber::matching(all, "/" + s.station + "/device/1/status");
        });
    };
    EXPECT_TRUE(centre.waitFor(told, patience)) << "passed on";
    testing::TestSubscriber late(central.port, "vantrell/#", "vantrell-test-late");
    EXPECT_TRUE(late.waitFor(told, patience)) << "retained";
}

} // namespace
} // namespace vantrell
