// vantrell.conf as the programs take it: a file they cannot use stops run and read before they
// read anything, naming where it is wrong.
#include "Programs.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vantrell {
namespace {

using testing::ChildProcess;
using testing::Launch;
using testing::TempFolder;

TEST(StationSettings, ADamagedFileStopsRunAndReadNamingItsLine) {
    const struct {
        const char *legend;
        std::vector<std::string> command;
        const char *conf;
        const char *expected; // in the error line
    } cases[] = {
        {"run: a value out of range",
         {"run"},
         "[journal]\nfile = j.sqlite\nkeep_days = 0\n",
         "vantrell.conf line 3: keep_days"},
        {"read: an unknown section", {"read", "1"}, "; comment\n[journl]\n", "line 2"},
        {"read: an unknown key", {"read", "1"}, "[silence]\nafter = 2\n", "line 2: after"},
    };
    for (const auto &c : cases) {
        TempFolder folder;
        const auto config = folder.path();
        testing::configureSwitchedLogger(config);
        std::ofstream(config / "vantrell.conf") << c.conf;

        Launch withErrors;
        withErrors.withErrors = true;
        ChildProcess program(testing::vantrelld(config, c.command), withErrors);
        std::string output;
        while (const auto line = program.readLine(30))
            output += *line + "\n";
        EXPECT_EQ(program.wait(10), 2) << c.legend << "\n" << output;
        EXPECT_NE(output.find(c.expected), std::string::npos) << c.legend << "\n" << output;
        EXPECT_TRUE(std::filesystem::is_empty(config / "data")) << c.legend;
        EXPECT_FALSE(std::filesystem::exists(config / "j.sqlite")) << c.legend;
    }
}

} // namespace
} // namespace vantrell
