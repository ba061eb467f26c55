#include "config/ComPorts.h"

#include "ConfigStation.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

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
