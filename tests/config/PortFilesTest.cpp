#include "config/PortFiles.h"

#include "ConfigStation.h"
#include "config/ComPorts.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(PortFiles, TheSixteenBytesOfAChoiceLoadBack) {
    const struct {
        const char *legend;
        int position;
        std::string bytes;
    } cases[] = {
        {"port 1", 0, std::string("Com;No.\r 0 ;0   ")},
        {"port 3", 2, std::string("Com;No.\r 2 ;2   ")},
        {"port 12", 11, std::string("Com;No.\r 11 ;11 ")},
        {"port 100 still fits", 99, std::string("Com;No.\r 99 ;99 ")},
        {"port 101: second copy cut", 100, std::string("Com;No.\r 100 ;10")},
        {"the last port: second copy cut to two digits", portListSize - 1,
         std::string("Com;No.\r 254 ;25")},
    };
    test::TempFolder folder;
    for (const auto &c : cases) {
        EXPECT_EQ(portFileBytes(c.position), c.bytes) << c.legend;
        ASSERT_FALSE(storePortChoice(folder / "port.crs", c.position));
        EXPECT_EQ(loadPortChoice(folder / "port.crs"), c.position) << c.legend;
    }
    EXPECT_EQ(test::entryCount(folder.path()), 1u);
}

TEST(PortFiles, LoadingReadsFieldsInPairs) {
    const struct {
        const char *legend;
        std::optional<std::string> bytes;
        std::optional<int> position;
    } cases[] = {
        {"no file", std::nullopt, std::nullopt},
        {"empty file", std::string(), std::nullopt},
        {"record 1 only", std::string("Com;No.\r"), std::nullopt},
        {"record 2 blank", std::string("Com;No.\r        "), std::nullopt},
        {"line feeds of an edited file", std::string("Com;No.\r\n 4 ;4\r\n"), 4},
        {"comma-separated", std::string("Com;No., 7 ;7"), 7},
        {"no digits", std::string("Com;No.\r abc    "), std::nullopt},
        {"beyond the list", std::string("Com;No.\r 255 ;25"), std::nullopt},
        {"a later pair wins", std::string("Com;No.\r 1 ;1   \rCom;No.\r 9 ;9   "), 9},
    };
    for (const auto &c : cases) {
        test::TempFolder folder;
        if (c.bytes)
            test::writeBytes(folder / "MDMport.crs", *c.bytes);
        EXPECT_EQ(loadPortChoice(folder / "MDMport.crs"), c.position) << c.legend;
    }
}

std::string portsFile(const std::string &records) {
    return "<?xml version=\"1.0\"?><ports>" + records + "</ports>";
}

TEST(ComPorts, DevicePathFromTheFileOrTheDefault) {
    const std::string usbOn3 = portsFile("<p place=\"3\"><d> /dev/ttyUSB0 </d></p>");
    const struct {
        const char *legend;
        std::optional<std::string> file; // none: no comports.xml
        int port;
        const char *expected;
        FileProblem problem;
    } cases[] = {
        {"no file: the n-1 default", std::nullopt, 1, "/dev/ttyS0", FileProblem::missing},
        {"record found, blanks trimmed", usbOn3, 3, "/dev/ttyUSB0", FileProblem::none},
        {"no record for the port", usbOn3, 4, "/dev/ttyS3", FileProblem::none},
        {"record without value", portsFile("<p place=\"2\"/>"), 2, "/dev/ttyS1", FileProblem::none},
        {"damaged file", portsFile("<p place=\"2\"><d>/dev/x</d>"), 2, "/dev/ttyS1",
         FileProblem::notXml},
        {"record without place", portsFile("<p><d>/dev/x</d></p>"), 1, "/dev/ttyS0",
         FileProblem::noPlace},
        {"place compared as a number", portsFile("<p place=\"02\"><d>/dev/x</d></p>"), 2, "/dev/x",
         FileProblem::none},
    };
    for (const auto &c : cases) {
        test::TempFolder folder;
        if (c.file)
            test::writeBytes(folder / "comports.xml", *c.file);
        ConfigError problem;
        EXPECT_EQ(portDevicePath(folder.path(), c.port, &problem), c.expected) << c.legend;
        EXPECT_EQ(problem.problem, c.problem) << c.legend;
    }
}

} // namespace
} // namespace vantrell
