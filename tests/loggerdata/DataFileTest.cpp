#include "loggerdata/DataFile.h"

#include "TestStation.h"
#include "general/Clock.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace vantrell {
namespace {

namespace fs = std::filesystem;

TEST(DataFile, NamesStayPlainInsideTheFolder) {
    EXPECT_EQ(dataFileName("KV1", false, {2000, 12, 31, 23, 59, 59}), "KV1_2359_311200.dat");
    const std::pair<const char *, bool> names[] = {
        {"KV12345678.dat", true}, {"..dat", true}, {"../x.dat", false}, {"a\\b.dat", false},
        {"/etc/x.dat", false},    {"..", false},   {"", false}};
    for (auto [name, plain] : names)
        EXPECT_EQ(isPlainFileName(name), plain) << '"' << name << '"';
}

Reading fullReading() {
    return {"03-02-26", "09:05:00", {"", "+0023.5", "-012.40", "+00001.", "+0.1234"}};
}

TEST(DataFile, LinesKeepEveryColumnInPlace) {
    Reading tooWide = fullReading();
    tooWide.values[1] = "+12345678.9";
    tooWide.time = "09:05:100";
    Reading rain = fullReading();
    rain.values[2] = "+000000013107.2";
    const struct {
        const char *legend;
        std::uint64_t number;
        Reading reading;
        int model;
        const char *line;
    } cases[] = {
        {"four channels", 1, fullReading(), 3,
         "00001  ;03-02-26;09:05:00   ;+0023.5;-012.40;+00001.;+0.1234"},
        {"empty record: no time, eight characters shorter", 7, Reading{}, 3,
         "00007  ;        ;   ;       ;       ;       ;       "},
        {"rain column", 2, rain, 5, "00002  ;03-02-26;09:05:00   ;+0023.5;+000000013107.2;+0.1234"},
        {"texts wider than their columns are cut", 3, tooWide, 1,
         "00003  ;03-02-26;09:05:10   ;+123456;-012.40;+00001.;+0.1234"},
        {"running number past five digits", 123456, Reading{}, 3,
         "123456 ;        ;   ;       ;       ;       ;       "},
        {"running number past seven digits keeps the last seven", 12345678, Reading{}, 3,
         "2345678;        ;   ;       ;       ;       ;       "},
    };
    for (const auto &c : cases) {
        const std::string line = dataLine(c.number, c.reading, c.model);
        EXPECT_EQ(line, c.line) << c.legend;
        EXPECT_EQ(asRecord(line), line + "\r" + std::string(61 - line.size(), ' ')) << c.legend;
    }
}

TEST(DataFile, ValuesThatAreNotNumbersBecomeBlanks) {
    Reading r{"", "", {"", "-------", "", "+1.23E6", " 5 "}};
    blankNonNumeric(r, 3);
    EXPECT_EQ(r.values, (std::array<std::string, 5>{"", "       ", "       ", "+1.23E6", " 5 "}));
    Reading rain{"", "", {"", "+0001.0", "", "", ""}};
    blankNonNumeric(rain, 5);
    EXPECT_EQ(rain.values[2], std::string(15, ' '));
}

TEST(DataFile, HeadersNameOnlyEnabledChannels) {
    LoggerParameters p;
    const char *units[] = {"", "°C", "mm", "µE", ""};
    const char *names[] = {"", "Temperature", "Rain", "Light", ""};
    for (int c = 1; c <= 4; ++c) {
        p.channels[c].enabled = c != 2;
        p.channels[c].unitText = units[c];
        p.channels[c].name = names[c];
    }
    EXPECT_EQ(namesRecord(p), "00000  ;  DATE  ;    TIME   ;Tempera;       ;Light  ;       \r ");
    EXPECT_EQ(unitsRecord(p), "00000  ;        ;           ;\xB0"
                              "C     ;       ;\xB5"
                              "E     ;       \r ");
}

// The usual file is read back in the golden test; these are the odd ones.
TEST(DataFile, ReadBackSplitsLinesAtCarriageReturns) {
    const struct {
        const char *legend;
        std::string bytes;
        bool hasUnits;
        std::size_t count;
    } cases[] = {
        {"empty file", "", false, 0},
        {"names only: its padding is the units line", "names\r ", true, 0},
        {"line feeds after carriage returns", "a\r\nb\r\nc\r\n", true, 1},
        {"no final carriage return", "a\rb\rc", true, 1},
    };
    for (const auto &c : cases) {
        const DataFileContents contents = parseDataFile(c.bytes);
        EXPECT_EQ(contents.hasUnits, c.hasUnits) << c.legend;
        EXPECT_EQ(contents.readings.size(), c.count) << c.legend;
    }
    const auto separatorOnly = parseDataFile("\r\r" + std::string(30, ' ') + "   ;   ");
    EXPECT_EQ(separatorOnly.readings[0].values[1], "") << "a lone separator is no value";
}

// Readings as the transfer leaves them, then the writer's steps.
std::string saveTransferred(testing::TestStation &t, std::size_t count) {
    t.station.logger.channels[1].enabled = 1;
    t.station.data.readingTable.assign(count, fullReading());
    t.station.data.transferComplete = true;
    DataFile file(t.station);
    file.prepareDataPath();
    if (!t.station.data.dataFilePath.empty())
        file.saveReadings();
    const auto texts = t.progress.texts(ProgressLine::report);
    return texts.empty() ? "" : texts.back();
}

// The file-size limit stands in for a full disk: the write fails part way.
std::string saveWithFullDisk(testing::TestStation &t) {
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string text = saveTransferred(t, 100);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    return text;
}

TEST(DataFile, AFailedWriteIsReportedAndLeavesTheDiskAsItWas) {
    const struct {
        const char *legend;
        const char *savingMode;
        std::function<void(testing::TestStation &)> setUp;
        bool fullDisk;
        const char *fileName;
        std::string text; // after the path
    } cases[] = {
        {"data folder missing", "1",
         [](auto &t) { t.station.cycleRecord()[field::dataDirectory] += "/gone"; }, false, "gone",
         " not saved: the data folder does not exist"},
        {"a folder where the file should be", "1",
         [](auto &t) { fs::create_directory(t.folder / "KV12345678.dat"); }, false,
         "KV12345678.dat", " not saved: Is a directory"},
        {"a new-file name met again", "0",
         [](auto &t) { testing::writeBytes(t.folder / "KV12_0905_030226.dat", "earlier"); }, false,
         "KV12_0905_030226.dat", " not saved: a file of that name exists already"},
        {"disk full while appending", "1", [](auto &t) { saveTransferred(t, 10); }, true,
         "KV12345678.dat", " not saved: File too large"},
    };
    for (const auto &c : cases) {
        testing::TestStation t;
        t.station.cycleRecord()[field::savingMode] = c.savingMode;
        c.setUp(t);
        const fs::path file = t.folder / c.fileName;
        const std::string before = fs::is_regular_file(file) ? testing::fileBytes(file) : "";
        t.progress.clear();
        const std::string text = c.fullDisk ? saveWithFullDisk(t) : saveTransferred(t, 10);
        EXPECT_FALSE(t.station.data.dataFileWritten) << c.legend;
        EXPECT_FALSE(t.station.data.transferComplete) << c.legend;
        EXPECT_EQ(text, t.station.data.dataFilePath + c.text) << c.legend;
        if (fs::is_regular_file(file)) {
            EXPECT_EQ(testing::fileBytes(file), before) << c.legend;
        }
    }
}

TEST(DataFile, NamesAndFoldersFromTheConfiguration) {
    testing::TestStation t;
    t.station.cycleRecord()[field::dataDirectory] = "   ";
    EXPECT_EQ(saveTransferred(t, 1),
              (t.folder / "KV12_0905_030226.dat").string() + " saved succesfully...");
    EXPECT_EQ(t.station.cycleRecord()[field::dataDirectory], t.folder.string())
        << "a blank data folder is the program's folder";

    t.station.cycleRecord().serialNumber(1) = "../KV1";
    t.station.logger.memoryPointer = "00011";
    t.port.clearTraffic();
    DataFile(t.station).writeDataFile();
    EXPECT_EQ(
        t.progress.texts(ProgressLine::report).back(),
        "Data file name refused (not a plain file name): ../K_0905_030226.dat...nothing saved");
    EXPECT_FALSE(t.station.data.transferComplete);
    EXPECT_EQ(t.port.sentBytes(), "") << "no transfer for a file that cannot be written";
}

TEST(DataFile, ReadBackOfAMissingFileLeavesNothingBehind) {
    testing::TestStation t;
    t.station.data.dataFilePath = (t.folder / "gone.dat").string();
    t.station.data.readingTable.resize(5);
    t.station.data.readBackCount = 5;
    DataFile(t.station).readBackDataFile();
    EXPECT_TRUE(t.station.data.readingTable.empty());
    EXPECT_EQ(t.station.data.readBackCount, 0);
    EXPECT_EQ(t.progress.texts(ProgressLine::report).back(),
              "data file cannot be read..." + t.station.data.dataFilePath);
}

} // namespace
} // namespace vantrell
