// A parameter block and memory dumps in, the exact data file out. Inputs and expected files
// live in tests/data/loggerdata; VANTRELL_UPDATE_GOLDEN=1 rewrites the expected files from the
// current output (review the difference before committing it).
#include "loggerdata/Conversions.h"
#include "loggerdata/DataFile.h"
#include "loggerdata/Readings.h"

#include "TestStation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <vector>

namespace vantrell {
namespace {

const std::filesystem::path dataFolder =
    std::filesystem::path(VANTRELL_SOURCE_DIR) / "tests" / "data" / "loggerdata";

// One line of hex bytes and "quoted text", "#" starts a comment.
std::string bytesOfLine(const std::string &line) {
    std::string out;
    for (std::size_t i = 0; i < line.size();) {
        const char c = line[i];
        if (c == '#')
            break;
        if (c == '"') {
            const auto end = line.find('"', i + 1);
            out += line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else if (std::isxdigit(static_cast<unsigned char>(c))) {
            out += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
            i += 2;
        } else {
            ++i;
        }
    }
    return out;
}

std::vector<std::string> linesOf(const std::string &file) {
    std::istringstream in(testing::fileBytes(dataFolder / file));
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
        std::string bytes = bytesOfLine(line);
        if (!bytes.empty())
            out.push_back(std::move(bytes));
    }
    return out;
}

std::string blockOf(const std::string &file) {
    std::string block;
    for (const auto &line : linesOf(file))
        block += line;
    return block;
}

void expectGolden(const std::filesystem::path &written, const std::string &golden) {
    const std::string actual = testing::fileBytes(written);
    if (std::getenv("VANTRELL_UPDATE_GOLDEN") != nullptr)
        testing::writeBytes(dataFolder / golden, actual);
    const std::string expected = testing::fileBytes(dataFolder / golden);
    ASSERT_EQ(actual.size(), expected.size()) << golden;
    for (std::size_t i = 0; i < actual.size(); ++i)
        ASSERT_EQ(actual[i], expected[i]) << golden << ": first difference in record " << i / 62 + 1
                                          << " at position " << i % 62 + 1;
}

struct Session {
    testing::TestStation bench;

    Session(const std::string &block, const char *savingMode) {
        bench.station.cycleRecord()[field::savingMode] = savingMode;
        const auto decoded = decodeParameterBlock(blockOf(block));
        EXPECT_TRUE(decoded) << block;
        if (decoded) {
            bench.station.logger = decoded->parameters;
            bench.station.rainFactor = decoded->rainFactor.value_or("");
        }
    }

    // What writeDataFile does once the records have arrived.
    void save(const std::string &memory) {
        DataFile file(bench.station);
        file.prepareDataPath();
        bench.station.data.recordBuffer = linesOf(memory);
        Readings(bench.station).processMemory();
        bench.station.data.transferComplete = true;
        file.saveReadings();
        EXPECT_TRUE(bench.station.data.dataFileWritten) << memory;
    }
};

TEST(GoldenFile, NewFilePerSession) {
    const struct {
        const char *legend;
        const char *block, *memory, *golden;
        bool limitAlarm;
    } cases[] = {
        {"two analog channels at 10 s", "model1.block", "model1.memory", "model1-new.dat", true},
        {"four analog channels, one disabled", "model3.block", "model3.memory", "model3-new.dat",
         false},
        {"temperature logger", "model4.block", "model4.memory", "model4-new.dat", false},
        {"rain logger", "model5.block", "model5.memory", "model5-new.dat", false},
    };
    for (const auto &c : cases) {
        Session s(c.block, "0");
        s.save(c.memory);
        const auto path = std::filesystem::path(s.bench.station.data.dataFilePath);
        EXPECT_EQ(path.filename(), "KV12_0905_030226.dat") << c.legend;
        EXPECT_EQ(s.bench.station.data.loggerLimitAlarm, c.limitAlarm) << c.legend;
        expectGolden(path, c.golden);
    }
}

TEST(GoldenFile, AppendingContinuesTheRunningNumbers) {
    Session s("model3.block", "1");
    s.save("model3-ten.memory");
    const auto path = std::filesystem::path(s.bench.station.data.dataFilePath);
    EXPECT_EQ(path.filename(), "KV12345678.dat");
    EXPECT_EQ(std::filesystem::file_size(path), 806u);

    s.bench.progress.clear();
    s.save("model3.memory");
    expectGolden(path, "model3-append.dat");
    EXPECT_EQ(testing::fileBytes(path).substr(13 * 62, 7), "00011  ");
    EXPECT_TRUE(s.bench.progress.contains("Saving block no. 1 00011  ;03-02-26;09:00:00   ;"));
}

TEST(GoldenFile, ReadBackLoadsTheWholeHistory) {
    Session s("model3.block", "1");
    s.save("model3-ten.memory");
    s.save("model3.memory");
    s.bench.station.logger.channels[1].unitText = "changed";
    s.bench.progress.clear();
    const double start = s.bench.world.now();
    DataFile(s.bench.station).readBackDataFile();

    const LoggerData &data = s.bench.station.data;
    // 15 data records; the line after the last record's carriage return counts as one more.
    EXPECT_EQ(data.readBackCount, 16);
    ASSERT_EQ(data.readingTable.size(), 16u);
    EXPECT_EQ(s.bench.station.logger.channels[1].unitText, "°C");
    EXPECT_EQ(s.bench.station.logger.channels[2].unitText, "µE");
    EXPECT_EQ(s.bench.station.logger.channels[4].unitText, "");
    const Reading &firstOfSecondSession = data.readingTable[10];
    EXPECT_EQ(firstOfSecondSession.date, "03-02-26");
    EXPECT_EQ(firstOfSecondSession.time, "09:00:00");
    EXPECT_EQ(firstOfSecondSession.values[1], "+023.50");
    EXPECT_EQ(firstOfSecondSession.values[2], "+01000.");
    EXPECT_EQ(firstOfSecondSession.values[3], "+1013.3");
    EXPECT_EQ(firstOfSecondSession.values[4], "       ");
    // Record 3's zero bytes run into the first data line; the columns there are not usable.
    EXPECT_EQ(data.readingTable.front().date, std::string(8, '\0'));
    EXPECT_EQ(data.readingTable.back().date, "");
    EXPECT_EQ(data.readingTable.back().values[1], "");
    EXPECT_DOUBLE_EQ(s.bench.world.now() - start, 4.0);
    EXPECT_EQ(s.bench.progress.texts(ProgressLine::report).front(),
              "opening data file..." + data.dataFilePath);
    EXPECT_EQ(s.bench.progress.texts(ProgressLine::report).back(),
              "closing data file..." + data.dataFilePath);
}

} // namespace
} // namespace vantrell
