// The station's programs as an operator runs them: vantrelld reading a station served by
// vantrell-sim on a pseudo-terminal, through the real serial port, in real time, with the
// journal and the metrics file on: the session and its readings land in the journal after the
// data file, and the metrics file counts the session.
#include "Programs.h"
#include "TempFolder.h"
#include "journal/Journal.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vantrell {
namespace {

using testing::ChildProcess;
using testing::TempFolder;

TEST(EndToEnd, VantrelldReadsASimulatedStationThroughAPseudoTerminal) {
    TempFolder folder;
    const auto config = folder.path();
    testing::configureSwitchedLogger(config);
    std::ofstream(config / "vantrell.conf")
        << "[journal]\nfile = station.sqlite\n[metrics]\ntextfile = vantrell.prom\n";

    ChildProcess sim({testing::programs + "vantrell-sim", "--switch", "--logger",
                      "serial=KV20260001,model=1,records=30,interval=600,position=2"});
    const auto pty = sim.readLine(10);
    ASSERT_TRUE(pty && pty->rfind("/dev/", 0) == 0) << pty.value_or("(nothing)");
    testing::mapPortOne(config, *pty);

    ChildProcess read(testing::vantrelld(config, {"read", "1", "--slot", "2"}));
    std::string last;
    while (const auto line = read.readLine(120))
        last = *line;
    EXPECT_EQ(read.wait(10), 0);
    EXPECT_EQ(last, "status: X");
    const auto file = config / "data" / "KV20260001.dat";
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::file_size(file), 62u * (3 + 30));

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
    ASSERT_FALSE(journal->forEachReading({1, "KV20260001", {}, {}},
                                         [&readings](const ExportedReading &) { ++readings; }));
    EXPECT_GT(readings, 0);
    EXPECT_EQ(readings % 30, 0) << "every channel has each of the 30 records";

    std::ifstream in(config / "vantrell.prom");
    const std::string metrics{std::istreambuf_iterator<char>(in), {}};
    for (const char *sample : {"\nvantrell_sessions_total{device=\"1\",letter=\"X\"} 1\n",
                               "\nvantrell_records_read_total{device=\"1\"} 30\n",
                               "\nvantrell_missed_times{device=\"1\"} 0\n"})
        EXPECT_NE(metrics.find(sample), std::string::npos) << sample << "in:\n" << metrics;
}

} // namespace
} // namespace vantrell
