#include "loggerdata/DataFile.h"

#include "FullDisk.h"
#include "TestStation.h"
#include "general/Clock.h"
#include "loggerdata/Conversions.h"
#include "loggerdata/DataFileIo.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sys/stat.h>

namespace vantrell {
namespace {

namespace fs = std::filesystem;

TEST(DataFile, NamesStayPlainInsideTheFolder) {
    EXPECT_EQ(dataFileName("KV1", false, {2000, 12, 31, 23, 59, 59}), "KV1_2359_311200.dat");
    EXPECT_EQ(numberedName("KV12_0905_030226.dat", 2), "KV12_0905_030226_2.dat");
    for (const char *plain : {"KV12345678.dat", "..dat", "25°C.dat"})
        EXPECT_TRUE(isPlainFileName(plain)) << '"' << plain << '"';
    for (const char *refused : {"../x.dat", "a\\b.dat", "/etc/x.dat", "..", "", "KV1\nBcc.dat",
                                "KV1\x7f.dat", "KV1\xc2\x85.dat"})
        EXPECT_FALSE(isPlainFileName(refused)) << '"' << refused << '"';
}

Reading fullReading() {
    return {"03-02-26", "09:05:00", {"+0023.5", "-012.40", "+00001.", "+0.1234"}};
}

// The usual lines are in the golden files; these are the odd ones.
TEST(DataFile, LinesKeepEveryColumnInPlace) {
    Reading tooWide = fullReading();
    tooWide.values[1] = "+12345678.9";
    tooWide.time = "09:05:100";
    const struct {
        const char *legend;
        std::uint64_t number;
        Reading reading;
        int model;
        const char *line;
    } cases[] = {
        {"empty record: no time, eight characters shorter", 7, Reading{}, 3,
         "00007  ;        ;   ;       ;       ;       ;       "},
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
    Reading r{"", "", {"-------", "", "+1.23E6", " 5 "}};
    blankNonNumeric(r, 3);
    EXPECT_EQ(r.values, (OneBased<std::string, 4>{"       ", "       ", "+1.23E6", " 5 "}));
    Reading rain{"", "", {"+0001.0", "", "", ""}};
    blankNonNumeric(rain, 5);
    EXPECT_EQ(rain.values[2], std::string(15, ' '));
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
std::string saveTransferred(testing::TestStation &t, const std::vector<Reading> &readings) {
    t.loggerResult.parameters.channel(1).enabled = 1;
    t.loggerResult.readings = readings;
    DataFile file(t.station.line(), t.station.configDir());
    file.fillBlankDataFolder(t.request);
    t.loggerResult.path.clear();
    if (const std::string path = file.dataPathFor(t.request.record, t.loggerResult.position);
        !path.empty())
        t.loggerResult.path = file.saveReadings(t.request.record, t.loggerResult, path);
    const auto texts = t.progress.texts(ProgressLine::detail);
    return texts.empty() ? "" : texts.back();
}

std::string saveTransferred(testing::TestStation &t, std::size_t count) {
    return saveTransferred(t, std::vector<Reading>(count, fullReading()));
}

// The write fails part way.
std::string saveWithFullDisk(testing::TestStation &t) {
    const testing::FullDisk disk(1000);
    return saveTransferred(t, 100);
}

// Every regular file under `folder` with its bytes; links are not followed.
std::map<fs::path, std::string> regularFiles(const fs::path &folder) {
    std::map<fs::path, std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(folder))
        if (fs::is_regular_file(entry.symlink_status()))
            files[entry.path()] = test::readBytes(entry.path());
    return files;
}

// A link named `name` in `folder` to a file of somebody else's.
fs::path plantLink(const fs::path &folder, const std::string &name) {
    test::writeBytes(folder / "foreign.txt", "somebody else's");
    fs::create_symlink(folder / "foreign.txt", folder / name);
    return folder / name;
}

TEST(DataFile, AFailedWriteIsReportedAndLeavesTheDiskAsItWas) {
    using Bench = testing::TestStation;
    const struct {
        const char *legend, *savingMode;
        const char *dataFolder; // in the scratch folder
        std::function<void(Bench &)> setUp;
        bool fullDisk;
        std::string text; // after the path
    } cases[] = {
        {"data folder missing", "1", "gone", nullptr, false,
         " not saved: the data folder does not exist"},
        {"data folder a link to itself", "1", "loop",
         [](Bench &t) { fs::create_directory_symlink(t.folder / "loop", t.folder / "loop"); },
         false, " not saved: the data folder cannot be opened: Too many levels of symbolic links"},
        {"data folder a file", "0", "plain",
         [](Bench &t) { test::writeBytes(t.folder / "plain", "x"); }, false,
         " not saved: the data folder cannot be opened: Not a directory"},
        {"a folder where the file should be", "1", "",
         [](Bench &t) { fs::create_directory(t.folder / "KV12345678.dat"); }, false,
         " not saved: Is a directory"},
        {"a link to a foreign file where the file should be", "1", "",
         [](Bench &t) { plantLink(t.folder, "KV12345678.dat"); }, false,
         " not saved: a symbolic link has that name, and data files are never written through "
         "links"},
        {"a pipe where the file should be", "1", "",
         [](Bench &t) { ASSERT_EQ(mkfifo((t.folder / "KV12345678.dat").c_str(), 0600), 0); }, false,
         " not saved: something that is not a regular file has that name"},
        {"a new file's name and all its numbered names taken", "0", "",
         [](Bench &t) {
             for (int n = 1; n <= 99; ++n)
                 test::writeBytes(t.folder / numberedName("KV12_0905_030226.dat", n), "x");
         },
         false, " not saved: that name and its numbered names up to _99 are all taken"},
        {"disk full while appending", "1", "", [](Bench &t) { saveTransferred(t, 10); }, true,
         " not saved: File too large"},
        {"disk full in a new file: the file goes", "0", "", nullptr, true,
         " not saved: File too large"},
    };
    for (const auto &c : cases) {
        Bench t;
        t.request.record[field::savingMode] = c.savingMode;
        if (*c.dataFolder)
            t.request.record[field::dataDirectory] += std::string("/") + c.dataFolder;
        if (c.setUp)
            c.setUp(t);
        const auto before = regularFiles(t.folder);
        t.progress.clear();
        const std::string text = c.fullDisk ? saveWithFullDisk(t) : saveTransferred(t, 10);
        const char *name = *c.savingMode == '1' ? "KV12345678.dat" : "KV12_0905_030226.dat";
        EXPECT_EQ(text, (t.folder / c.dataFolder / name).string() + c.text) << c.legend;
        EXPECT_EQ(t.loggerResult.path, "") << c.legend << ": no path for later steps";
        EXPECT_EQ(regularFiles(t.folder), before) << c.legend;
    }
}

// Two loggers whose serial numbers begin alike, read in the same minute, with a link planted
// under the name the second would take next.
TEST(DataFile, ANewFileNeverTakesANameSomebodyHas) {
    testing::TestStation t;
    DeviceRecord &device = t.request.record;
    device.serialNumber(2) = "KV12999999";
    plantLink(t.folder, "KV12_0905_030226_2.dat");
    Reading second = fullReading();
    second.values[1] = "+0099.9";

    t.loggerResult.position = 1;
    saveTransferred(t, 3);
    const std::string first = t.loggerResult.path;
    t.loggerResult.position = 2;
    EXPECT_EQ(saveTransferred(t, {3, second}),
              (t.folder / "KV12_0905_030226_3.dat").string() + " saved succesfully...");

    EXPECT_EQ(first, (t.folder / "KV12_0905_030226.dat").string());
    EXPECT_EQ(test::readBytes(t.folder / "foreign.txt"), "somebody else's");
    EXPECT_EQ(test::readBytes(first).substr(4 * 62 + 29, 7), "+0023.5") << "logger 1's data";
    DataFile file(t.station.line(), t.station.configDir());
    const std::vector<Reading> &history = file.readBackDataFile(t.loggerResult);
    EXPECT_TRUE(t.progress.contains("opening data file..." + t.loggerResult.path));
    ASSERT_EQ(history.size(), 4u);
    EXPECT_EQ(history[1].values[1], "+0099.9") << "logger 2's data read back";
}

TEST(DataFile, NamesAndFoldersFromTheConfiguration) {
    testing::TestStation t;
    t.request.record[field::dataDirectory] = "   ";
    EXPECT_EQ(saveTransferred(t, 1),
              (t.folder / "KV12_0905_030226.dat").string() + " saved succesfully...");
    EXPECT_EQ(t.request.record[field::dataDirectory], t.folder.string())
        << "a blank data folder is the program's folder";

    fs::create_directory(t.folder / "data");
    t.request.record[field::dataDirectory] = "data";
    saveTransferred(t, 1);
    EXPECT_EQ(t.loggerResult.path, (t.folder / "data" / "KV12_0905_030226.dat").string())
        << "a relative data folder lies in the configuration folder, not the working folder";
    EXPECT_NE(fs::current_path(), t.folder);

    const std::string controlCharacters = "control characters in the serial number of logger 1)";
    const struct {
        const char *legend, *serial;
        std::string refusal; // why, in the progress text
    } refused[] = {
        {"a separator", "../KV1", "not a plain file name): ../K_0905_030226.dat"},
        {"a line break and a header", "KV1\nBcc:x", controlCharacters},
        {"an escape", "KV\x1b[2J", controlCharacters},
    };
    for (const auto &c : refused) {
        t.request.record.serialNumber(1) = c.serial;
        LoggerResult logger;
        logger.parameters.memoryPointer = "00011";
        t.port.clearTraffic();
        DataFile(t.station.line(), t.station.configDir()).transferAndSave(t.request, logger);
        EXPECT_EQ(logger.saved, MemorySaved::notWritten) << c.legend;
        EXPECT_EQ(t.progress.texts(ProgressLine::detail).back(),
                  "Data file name refused (" + c.refusal + "...nothing saved")
            << c.legend;
        EXPECT_EQ(t.port.sentBytes(), "") << c.legend << ": no transfer for a file never written";
        EXPECT_TRUE(logger.readings.empty()) << c.legend << ": nothing of this logger";
        EXPECT_EQ(logger.path, "") << c.legend;
    }
}

TEST(DataFile, ReadBackOfNoUsableFileLeavesNothingBehind) {
    const struct {
        const char *legend;
        std::function<std::string(const fs::path &)> path;
        std::string text; // after the path
    } cases[] = {
        {"no file written", [](auto &) { return std::string(); },
         "no data file to read back: none was written"},
        {"file gone", [](auto &folder) { return (folder / "gone.dat").string(); },
         ": No such file or directory"},
        {"file replaced by a link",
         [](auto &folder) { return plantLink(folder, "link.dat").string(); },
         ": it is a symbolic link, and data files are never read through links"},
    };
    for (const auto &c : cases) {
        testing::TestStation t;
        const std::string path = c.path(t.folder);
        t.loggerResult.path = path;
        t.loggerResult.readings.resize(5);
        DataFile file(t.station.line(), t.station.configDir());
        EXPECT_TRUE(file.readBackDataFile(t.loggerResult).empty()) << c.legend;
        EXPECT_EQ(t.progress.texts(ProgressLine::detail).back(),
                  path.empty() ? c.text : "data file cannot be read..." + path + c.text)
            << c.legend;
    }
}

// 14999.6 and 14999.8 at one decimal are both "+15000." in the file.
TEST(DataFile, ReadBackKeepsThisTransfersReadingsAtFullPrecision) {
    testing::TestStation t;
    t.request.record[field::savingMode] = "1";
    const auto wide = [](double value) {
        Reading r = fullReading();
        r.values[2] = formatValue(value, 1, valueWidth);
        r.fullValues[2] = fullPrecisionValue(value, 1);
        return r;
    };
    saveTransferred(t, {wide(14999.6), wide(14999.8)});
    saveTransferred(t, {wide(14999.8), wide(14999.6)});
    DataFile file(t.station.line(), t.station.configDir());
    const std::vector<Reading> &table = file.readBackDataFile(t.loggerResult);
    ASSERT_EQ(table.size(), 5u); // record 3 with the first record, 3 more, the padding line
    const double compared[] = {15000.0, 14999.8, 14999.6};
    for (std::size_t j = 1; j <= 3; ++j) {
        EXPECT_EQ(table[j].values[2], "+15000.") << j;
        EXPECT_EQ(comparedValue(table[j], 2), compared[j - 1])
            << "entry " << j << (j == 1 ? ": an earlier session's text is all there is" : "");
    }
}

} // namespace
} // namespace vantrell
