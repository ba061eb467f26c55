// The built programs and the configuration folders they run on, as the tests of tests/app use
// them: a folder made by "vantrelld init", and device records written into it through the
// station's own device file.
#pragma once

#include "ChildProcess.h"
#include "RecordingDialogs.h"
#include "RecordingProgress.h"
#include "config/ConfigStation.h"
#include "config/DeviceFile.h"
#include "config/Station.h"
#include "general/Clock.h"
#include "general/EventPump.h"
#include "sim/SimPort.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantrell::testing {

inline const std::string programs = std::string(VANTRELL_BINARY_DIR) + "/app/";

// vantrelld on `config` with `arguments`, as a command line.
inline std::vector<std::string> vantrelld(const std::filesystem::path &config,
                                          std::vector<std::string> arguments) {
    std::vector<std::string> line{programs + "vantrelld", "--config-dir", config.string()};
    line.insert(line.end(), arguments.begin(), arguments.end());
    return line;
}

struct ProgramOutput {
    std::optional<int> exit;
    std::string output;
};

// Runs `line` to its end: standard output only, or with standard error mixed in.
inline ProgramOutput runProgram(const std::vector<std::string> &line, bool withErrors = false,
                                std::optional<uid_t> user = {}) {
    ChildProcess program(line, Launch{withErrors, user});
    std::string output;
    while (const auto text = program.readLine(30))
        output += *text + "\n";
    const auto exit = program.wait(10);
    return {exit, output + program.unread()};
}

inline void initFolder(const std::filesystem::path &config) {
    ChildProcess init(vantrelld(config, {"init"}));
    ASSERT_EQ(init.wait(30), 0);
}

// Lets `edit` change device record `slot` of the folder's device table, and saves it.
inline void editDevice(const std::filesystem::path &config, int slot,
                       const std::function<void(DeviceRecord &)> &edit) {
    SystemClock clock;
    BlockingEventPump pump(clock);
    sim::World world;
    sim::SimPort unused(world);
    RecordingProgress progress;
    RecordingDialogs dialogs;
    Station station({clock, pump, unused, progress, dialogs}, config);
    ASSERT_FALSE(DeviceFile(station).loadDeviceTable().failed());
    edit(station.devices[slot]);
    station.selectedDevice = slot;
    ASSERT_FALSE(DeviceFile(station).saveDevice().failed());
}

// A fresh folder whose device 1 is active on a line switch, its logger KV20260001 at position 2,
// appending into config/data: the station vantrell-sim serves by default.
inline void configureSwitchedLogger(const std::filesystem::path &config) {
    initFolder(config);
    std::filesystem::create_directories(config / "data");
    editDevice(config, 1, [&](DeviceRecord &d) {
        test::setFields(d, "active=1 connection=netw0101 useSwitch=1 serial2=KV20260001 "
                           "savingMode=1 dataDirectory=" +
                               (config / "data").string());
    });
}

// Port 1 opens `device`.
inline void mapPortOne(const std::filesystem::path &config, const std::string &device) {
    std::ofstream(config / "comports.xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ports><port place=\"1\"><device>" << device
        << "</device></port></ports>\n";
}

} // namespace vantrell::testing
