// `vantrelld read` with a metrics file named in vantrell.conf: the run leaves the file with its
// session counted, through the real serial port, in real time.
#include "TempFolder.h"
#include "app/Programs.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vantrell {
namespace {

using testing::ChildProcess;
using testing::TempFolder;

TEST(MetricsProgram, AReadLeavesTheFileWithItsSessionCounted) {
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
    std::ofstream(config / "vantrell.conf") << "[metrics]\ntextfile = vantrell.prom\n";
    ChildProcess sim({testing::programs + "vantrell-sim", "--switch", "--logger",
                      "serial=KV20260001,model=1,records=30,interval=600,position=2"});
    const auto pty = sim.readLine(10);
    ASSERT_TRUE(pty && pty->starts_with("/dev/")) << pty.value_or("(nothing)");
    testing::mapPortOne(config, *pty);

    ChildProcess read(testing::vantrelld(config, {"read", "1"}));
    std::string last;
    while (const auto line = read.readLine(120))
        last = *line;
    EXPECT_EQ(read.wait(10), 0);
    ASSERT_EQ(last, "status: X");
    std::ifstream in(config / "vantrell.prom");
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    for (const char *sample : {"\nvantrell_sessions_total{device=\"1\",letter=\"X\"} 1\n",
                               "\nvantrell_records_read_total{device=\"1\"} 30\n",
                               "\nvantrell_missed_times{device=\"1\"} 0\n"})
        EXPECT_NE(text.find(sample), std::string::npos) << sample << "in:\n" << text;
}

} // namespace
} // namespace vantrell
