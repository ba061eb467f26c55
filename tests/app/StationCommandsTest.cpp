// vantrelld's device, line and schedule commands on a real folder: what they refuse, with the
// messages the dialogs give, storing nothing; and what they store, as the next start reads it.
#include "Programs.h"
#include "config/ConfigStation.h"
#include "config/PortFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace vantrell {
namespace {

namespace fs = std::filesystem;
using testing::runProgram;
using testing::TempFolder;
using testing::vantrelld;

std::map<std::string, std::string> storedFiles(const fs::path &config) {
    std::map<std::string, std::string> files;
    for (const char *name :
         {"prop.xml", "timeutils.xml", "dlytmtble.xml", "comports.xml", "port.crs", "MDMport.crs"})
        files[name] = test::readBytes(config / name);
    return files;
}

// A folder with schedule time 1 at 08:00 and device 1 on the local line: what the checks refuse
// is said and stores nothing; what show prints, set takes back; the line names its ports.
TEST(StationCommands, RefusalsStoreNothingAndShowPrintsWhatSetTakes) {
    TempFolder folder;
    const fs::path config = folder.path();
    testing::initFolder(config);
    for (const std::vector<std::string> &command :
         {std::vector<std::string>{"schedule", "set", "1", "8"},
          {"device", "set", "1", "active=1", "connection=locl0000", "serial1=1201KV0326",
           "schedule1=1"}})
        ASSERT_EQ(runProgram(vantrelld(config, command), true).exit, 0) << command.front();
    const auto before = storedFiles(config);
    const struct {
        const char *legend;
        const char *command; // words separated by blanks
        const char *said;
    } cases[] = {
        {"an unknown key", "device set 1 colour=red", "'colour=red' is no key=value"},
        {"no key=value at all", "device set 1 active", "'active' is no key=value"},
        {"a flag neither 0 nor 1", "device set 1 useSwitch=yes", "useSwitch: 0 or 1"},
        {"past the list", "device set 1 deviceType=3", "deviceType: a number from 0 to 2"},
        {"a device out of range", "device set 51 active=0", "from 1 to 50"},
        {"a serial out of its layout", "device set 1 serial2=12KV",
         "Data error: The serial number inserted is not correct (serial2)"},
        {"a section the switch has not", "device set 1 connection=netw0116",
         "connection: netw and the network 01-04 and section 01-15"},
        {"active without a time", "device set 1 schedule1=0",
         "Data error: Select at least one scheduled time (schedule1)"},
        {"a time that is not set", "device set 1 schedule2=1", "schedule time 2 is not set"},
        {"FTP without a root", "device set 1 forwardEnabled=1 forwardKind=1 forwardAddress=ftp.x",
         "Data error: FTP address or root missing (ftpRootDirectory)"},
        {"mail to no address", "device set 1 forwardEnabled=1 forwardAddress=x",
         "Data error: Mail address incorrect (forwardAddress)"},
        {"a report to no address", "device set 1 reportEnabled=1",
         "Data error: Invalid e-mail address inserted (reportAddress)"},
        {"an escape in a text", "device set 1 description=a\x1b[2Jb",
         "description: the text holds a control"},
        {"a data folder not there", "device set 1 dataDirectory=nowhere", "is not a folder"},
        {"appending without erasing", "device set 1 savingMode=1 eraseMemory=0",
         "eraseMemory: 1 while savingMode is 1"},
        {"a schedule time out of range", "schedule set 5 9", "schedule set I HOUR"},
        {"an hour out of range", "schedule set 2 24", "schedule set I HOUR"},
        {"a time before the one above it", "schedule set 2 7",
         "Schedule times must be different and sequential..."},
        {"a line that is no path", "line set ttyUSB0", "'ttyUSB0' is no device path"},
        {"an unknown verb", "device rename 1", "usage: vantrelld device list"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        std::vector<std::string> command;
        std::istringstream words(c.command);
        for (std::string word; words >> word;)
            command.push_back(word);
        const auto outcome = runProgram(vantrelld(config, command), true);
        EXPECT_EQ(outcome.exit, 2) << outcome.output;
        EXPECT_NE(outcome.output.find(c.said), std::string::npos) << outcome.output;
        EXPECT_EQ(storedFiles(config), before);
    }

    const auto shown = runProgram(vantrelld(config, {"device", "show", "1"}));
    std::vector<std::string> command{"device", "set", "2"};
    std::istringstream lines(shown.output);
    for (std::string line; std::getline(lines, line);)
        if (!line.starts_with("#"))
            command.push_back(line.replace(line.find(" = "), 3, "="));
    ASSERT_EQ(command.size(), 3u + 35u) << shown.output;
    ASSERT_EQ(runProgram(vantrelld(config, command), true).exit, 0);
    const auto again = runProgram(vantrelld(config, {"device", "show", "2"}));
    EXPECT_EQ(again.output.substr(again.output.find('\n')),
              shown.output.substr(shown.output.find('\n')));
    EXPECT_EQ(runProgram(vantrelld(config, {"device", "list"})).output,
              "1\tactive\tlocl0000\t\n2\tactive\tlocl0000\t\n");

    const auto line =
        runProgram(vantrelld(config, {"line", "set", "/dev/ttyUSB7", "--sms", "/dev/ttyACM3"}));
    EXPECT_EQ(line.exit, 0) << line.output;
    EXPECT_EQ(test::readBytes(config / "port.crs"), portFileBytes(0));
    EXPECT_EQ(test::readBytes(config / "MDMport.crs"), portFileBytes(1));
    EXPECT_NE(test::readBytes(config / "comports.xml").find("<device>/dev/ttyACM3</device>"),
              std::string::npos);

    ASSERT_EQ(runProgram(vantrelld(config, {"device", "remove", "2"})).exit, 0);
    EXPECT_EQ(runProgram(vantrelld(config, {"device", "list"})).output, "1\tactive\tlocl0000\t\n");
}

} // namespace
} // namespace vantrell
