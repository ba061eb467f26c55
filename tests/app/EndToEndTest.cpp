// The station's programs as an operator runs them: vantrelld reading a station served by
// vantrell-sim on a pseudo-terminal, through the real serial port, in real time.
#include "ChildProcess.h"
#include "TempFolder.h"
#include "config/DeviceFile.h"
#include "config/Station.h"
#include "general/Clock.h"
#include "general/Dialogs.h"
#include "general/EventPump.h"
#include "general/Progress.h"
#include "sim/SimPort.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vantrell {
namespace {

using testing::ChildProcess;
using testing::TempFolder;

const std::string programs = std::string(VANTRELL_BINARY_DIR) + "/app/";

void configureDevice(const std::filesystem::path &folder) {
    SystemClock clock;
    BlockingEventPump pump(clock);
    sim::World world;
    sim::SimPort unused(world);
    RecordingProgress progress;
    RecordingDialogs dialogs;
    Station station({clock, pump, unused, progress, dialogs}, folder);
    ASSERT_FALSE(DeviceFile(station).loadDeviceTable().failed());
    DeviceRecord &d = station.devices[1];
    d[field::active] = "1";
    d[field::connection] = "netw0101";
    d[field::useSwitch] = "1";
    d.serialNumber(2) = "KV20260001";
    d[field::dataDirectory] = (folder / "data").string();
    d[field::savingMode] = "1";
    station.selectedDevice = 1;
    ASSERT_FALSE(DeviceFile(station).saveDevice().failed());
}

TEST(EndToEnd, VantrelldReadsASimulatedStationThroughAPseudoTerminal) {
    TempFolder folder;
    const auto config = folder.path();
    ChildProcess init({programs + "vantrelld", "--config-dir", config.string(), "init"});
    ASSERT_EQ(init.wait(30), 0);
    std::filesystem::create_directories(config / "data");
    configureDevice(config);

    ChildProcess sim({programs + "vantrell-sim", "--switch", "--logger",
                      "serial=KV20260001,model=1,records=30,interval=600,position=2"});
    const auto pty = sim.readLine(10);
    ASSERT_TRUE(pty && pty->rfind("/dev/", 0) == 0) << pty.value_or("(nothing)");
    std::ofstream(config / "comports.xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ports><port place=\"1\"><device>" << *pty
        << "</device></port></ports>\n";

    ChildProcess read({programs + "vantrelld", "--config-dir", config.string(), "read", "1"});
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
