#include "config/ComPorts.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(ComPorts, DevicePathFromTheFileOrTheDefault) {
    const struct {
        const char *legend;
        const char *file; // nullptr: no comports.xml
        int port;
        const char *expected;
    } cases[] = {
        {"no file: the n-1 default", nullptr, 1, "/dev/ttyS0"},
        {"record found",
         R"(<?xml version="1.0"?><ports><port place="3"><device>/dev/ttyUSB0</device></port></ports>)",
         3, "/dev/ttyUSB0"},
        {"blanks around the path",
         R"(<?xml version="1.0"?><ports><port place="3"><device> /dev/ttyUSB0 </device></port></ports>)",
         3, "/dev/ttyUSB0"},
        {"no record for the port",
         R"(<?xml version="1.0"?><ports><port place="3"><device>/dev/ttyUSB0</device></port></ports>)",
         4, "/dev/ttyS3"},
        {"record without value", R"(<?xml version="1.0"?><ports><port place="2"></port></ports>)",
         2, "/dev/ttyS1"},
        {"empty value",
         R"(<?xml version="1.0"?><ports><port place="2"><device></device></port></ports>)", 2,
         "/dev/ttyS1"},
        {"damaged file", R"(<?xml version="1.0"?><ports><port place="2"><device>/dev/x</device>)",
         2, "/dev/ttyS1"},
        {"place not a number",
         R"(<?xml version="1.0"?><ports><port place="two"><device>/dev/x</device></port></ports>)",
         2, "/dev/ttyS1"},
        {"place compared as a number",
         R"(<?xml version="1.0"?><ports><port place="02"><device>/dev/x</device></port></ports>)",
         2, "/dev/x"},
    };
    for (const auto &c : cases) {
        test::TempFolder folder;
        if (c.file)
            test::writeBytes(folder / "comports.xml", c.file);
        EXPECT_EQ(portDevicePath(folder.path(), c.port), c.expected) << c.legend;
    }
}

TEST(ComPorts, SaysWhyTheFileWasNotUsed) {
    test::TempFolder folder;
    test::writeBytes(folder / "comports.xml",
                     R"(<?xml version="1.0"?><ports><port><device>/dev/x</device></port></ports>)");
    ConfigError problem;
    EXPECT_EQ(portDevicePath(folder.path(), 1, &problem), "/dev/ttyS0");
    EXPECT_EQ(problem.problem, FileProblem::noPlace);
    EXPECT_NE(describe(problem).find("comports.xml: record 1 has no \"place\""), std::string::npos)
        << describe(problem);
}

} // namespace
} // namespace vantrell
