#include "config/Startup.h"

#include "ConfigStation.h"
#include "config/DeviceFile.h"
#include "config/PortFiles.h"
#include "config/Templates.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vantrell {
namespace {

std::string problemWith(const std::vector<ConfigError> &problems,
                        const std::filesystem::path &file) {
    const auto found = std::find_if(problems.begin(), problems.end(),
                                    [&](const ConfigError &e) { return e.file == file; });
    return found == problems.end() ? std::string() : describe(*found);
}

TEST(Startup, APortMapThatCannotBeReadIsNamedWithTheDevicesThePortsOpen) {
    const struct {
        const char *legend;
        std::optional<std::string> map; // none: no comports.xml
        std::string problem;            // after the file's name
    } cases[] = {
        {"no map", std::nullopt,
         ": the file is missing; the line's port 3 is /dev/ttyS2, the SMS modem's port 1 is "
         "/dev/ttyS0"},
        {"a damaged map", "<?xml version=\"1.0\"?><ports><p place=\"3\"><d>/dev/x</d>",
         "; the line's port 3 is /dev/ttyS2, the SMS modem's port 1 is /dev/ttyS0"},
        {"a map without the line's port", "<?xml version=\"1.0\"?><ports/>", ""},
    };
    for (const auto &c : cases) {
        test::ConfigStation s;
        ASSERT_TRUE(installTemplates(s.folder.path()).failures.empty());
        std::filesystem::remove(s.file("comports.xml"));
        if (c.map)
            s.write("comports.xml", *c.map);
        ASSERT_FALSE(storePortChoice(s.file("port.crs"), 2));
        const std::string said = problemWith(loadConfiguration(s.station), s.file("comports.xml"));
        const bool named = said.starts_with(s.file("comports.xml").string() + ": ");
        EXPECT_EQ(named, !c.problem.empty()) << c.legend << ": " << said;
        EXPECT_TRUE(said.ends_with(c.problem)) << c.legend << ": " << said;
    }
}

TEST(Startup, ReadingTheConfigurationWritesNothing) {
    test::ConfigStation s;
    ASSERT_TRUE(installTemplates(s.folder.path()).failures.empty());
    s.station.devices[1][field::scheduleSlot1] = "1";
    ASSERT_FALSE(DeviceFile(s.station).saveDevice());
    const std::string marks = s.read("dlytmtble.xml");

    test::ConfigStation look;
    const std::filesystem::path folder = s.folder.path();
    Station reader({look.world.clock(), look.pump, look.port, look.progress, look.dialogs}, folder);
    EXPECT_TRUE(readConfiguration(reader).empty());
    EXPECT_TRUE(reader.devices[1].scheduledAt(1));
    EXPECT_EQ(s.read("dlytmtble.xml"), marks);

    EXPECT_TRUE(loadConfiguration(reader).empty());
    EXPECT_NE(s.read("dlytmtble.xml"), marks) << "the station itself writes its scheduled marks";
}

} // namespace
} // namespace vantrell
