// A parameter block and memory dumps in, the exact data file out. Inputs and expected files
// live in tests/data/loggerdata; VANTRELL_UPDATE_GOLDEN=1 rewrites the expected files from the
// current output (review the difference before committing it).
#include "loggerdata/Conversions.h"
#include "loggerdata/DataFile.h"
#include "loggerdata/MemoryTransfer.h"

#include "TestStation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace vantrell {
namespace {

const std::filesystem::path dataFolder =
    std::filesystem::path(VANTRELL_SOURCE_DIR) / "tests" / "data" / "loggerdata";

// Each line of hex bytes and "quoted text" gives one string; "#" starts a comment.
std::vector<std::string> linesOf(const std::string &file) {
    std::istringstream in(test::readBytes(dataFolder / file));
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
        std::string bytes;
        for (std::size_t i = 0; i < line.size() && line[i] != '#'; ++i) {
            if (line[i] == '"') {
                const auto end = line.find('"', i + 1);
                bytes += line.substr(i + 1, end - i - 1);
                i = end;
            } else if (std::isxdigit(static_cast<unsigned char>(line[i]))) {
                bytes += static_cast<char>(std::stoi(line.substr(i++, 2), nullptr, 16));
            }
        }
        if (!bytes.empty())
            out.push_back(bytes);
    }
    return out;
}

void expectGolden(const std::string &written, const std::string &golden) {
    const std::string actual = test::readBytes(written);
    if (std::getenv("VANTRELL_UPDATE_GOLDEN") != nullptr)
        test::writeBytes(dataFolder / golden, actual);
    const std::string expected = test::readBytes(dataFolder / golden);
    const auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    const auto at = std::size_t(diff.first - actual.begin());
    EXPECT_TRUE(actual == expected) << golden << ": first difference in record " << at / 62 + 1
                                    << " at position " << at % 62 + 1;
}

struct Session : testing::TestStation {
    Session(const char *block, const char *savingMode) {
        request.record[field::savingMode] = savingMode;
        std::string bytes;
        for (const auto &line : linesOf(block))
            bytes += line;
        const auto decoded = decodeParameterBlock(bytes);
        loggerResult.parameters = decoded.value().parameters;
        loggerResult.rainFactor = decoded->rainFactor;
    }

    // What transferAndSave does once the records have arrived.
    void save(const char *memory) {
        DataFile file(station.line(), station.configDir());
        const std::string path = file.dataPathFor(request.record, 1);
        loggerResult.records = linesOf(memory);
        MemoryTransfer(station.line()).processMemory(loggerResult);
        loggerResult.path = file.saveReadings(request.record, loggerResult, path);
        EXPECT_FALSE(loggerResult.path.empty()) << memory;
    }
};

TEST(GoldenFile, NewFilePerSession) {
    const struct {
        const char *legend, *block, *memory, *golden;
        bool limitAlarm;
    } cases[] = {
        {"two analog channels every 10 s", "model1.block", "model1.memory", "model1-new.dat", true},
        {"four analog channels, one disabled", "model3.block", "model3.memory", "model3-new.dat",
         false},
        {"temperature logger", "model4.block", "model4.memory", "model4-new.dat", false},
        {"rain logger", "model5.block", "model5.memory", "model5-new.dat", false},
    };
    for (const auto &c : cases) {
        Session s(c.block, "0");
        s.save(c.memory);
        EXPECT_TRUE(s.loggerResult.path.ends_with("/KV12_0905_030226.dat")) << c.legend;
        EXPECT_EQ(s.loggerResult.limitCrossed, c.limitAlarm) << c.legend;
        expectGolden(s.loggerResult.path, c.golden);
    }
}

TEST(GoldenFile, AppendingContinuesAndReadBackLoadsTheWholeHistory) {
    Session s("model3.block", "1");
    s.save("model3-ten.memory");
    const std::string path = s.loggerResult.path;
    EXPECT_TRUE(path.ends_with("/KV12345678.dat"));
    EXPECT_EQ(std::filesystem::file_size(path), 806u);
    s.progress.clear();
    s.save("model3.memory");
    expectGolden(path, "model3-append.dat");
    EXPECT_TRUE(s.progress.contains("Saving block no. 1 00011  ;03-02-26;09:00:00   ;"));

    s.loggerResult.parameters.channel(1).unitText = "changed";
    s.progress.clear();
    const double start = s.world.now();
    DataFile file(s.station.line(), s.station.configDir());
    const std::vector<Reading> &history = file.readBackDataFile(s.loggerResult);
    // 15 data records; the padding after the last carriage return counts as one more line.
    EXPECT_EQ(history.size(), 16u);
    EXPECT_EQ(s.loggerResult.parameters.channel(1).unitText, "°C");
    const Reading &r = history.at(10); // the first record of the second session
    EXPECT_EQ(r.date + " " + r.time + r.values[1] + r.values[2] + r.values[3] + r.values[4],
              "03-02-26 09:00:00+023.50+01000.+1013.3       ");
    EXPECT_EQ(history.front().date, std::string(8, '\0')) << "record 3 runs into line 3";
    EXPECT_EQ(history.back().date + history.back().values[1], "");
    EXPECT_DOUBLE_EQ(s.world.now() - start, 4.0);
    EXPECT_EQ(
        s.progress.texts(ProgressLine::detail),
        (std::vector<std::string>{"opening data file..." + path, "closing data file..." + path}));
}

} // namespace
} // namespace vantrell
