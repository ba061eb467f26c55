// The station's programs as an operator runs them: vantrelld reading a station served by
// vantrell-sim on a pseudo-terminal, through the real serial port, in real time.
#include "Programs.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using testing::ChildProcess;
using testing::TempFolder;

TEST(EndToEnd, VantrelldReadsASimulatedStationThroughAPseudoTerminal) {
    TempFolder folder;
    const auto config = folder.path();
    testing::initFolder(config);
    std::filesystem::create_directories(config / "data");
    testing::editDevice(config, 1, [&](DeviceRecord &d) {
        d[field::active] = "1";
        d[field::connection] = "netw0101";
        d[field::useSwitch] = "1";
        d.serialNumber(2) = "KV20260001";
        d[field::dataDirectory] = (config / "data").string();
        d[field::savingMode] = "1";
    });

    ChildProcess sim({testing::programs + "vantrell-sim", "--switch", "--logger",
                      "serial=KV20260001,model=1,records=30,interval=600,position=2"});
    const auto pty = sim.readLine(10);
    ASSERT_TRUE(pty && pty->rfind("/dev/", 0) == 0) << pty.value_or("(nothing)");
    testing::mapPortOne(config, *pty);

    ChildProcess read(testing::vantrelld(config, {"read", "1"}));
    std::string last;
    while (const auto line = read.readLine(120))
        last = *line;
    EXPECT_EQ(read.wait(10), 0);
    EXPECT_EQ(last, "status: X");
    const auto file = config / "data" / "KV20260001.dat";
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::file_size(file), 62u * (3 + 30));
}

} // namespace
} // namespace vantrell
