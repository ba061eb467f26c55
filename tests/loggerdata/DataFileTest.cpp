#include "loggerdata/DataFile.h"

#include "TestStation.h"
#include "general/Clock.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace vantrell {
namespace {

namespace fs = std::filesystem;

TEST(DataFile, NamesFollowTheSavingMode) {
    const struct {
        const char *legend;
        const char *serial;
        bool append;
        LocalDateTime now;
        const char *name;
    } cases[] = {
        {"new file per session",
         "KV12345678",
         false,
         {2026, 2, 3, 9, 5, 0},
         "KV12_0905_030226.dat"},
        {"one file per logger", "KV12345678", true, {2026, 2, 3, 9, 5, 0}, "KV12345678.dat"},
        {"short serial", "KV1", false, {2000, 12, 31, 23, 59, 59}, "KV1_2359_311200.dat"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(dataFileName(c.serial, c.append, c.now), c.name) << c.legend;
}

TEST(DataFile, OnlyPlainNamesStayInTheFolder) {
    const struct {
        const char *name;
        bool plain;
    } cases[] = {{"KV12345678.dat", true}, {"..dat", true}, {"../x.dat", false}, {"a/b.dat", false},
                 {"a\\b.dat", false},      {"..", false},   {".", false},        {"", false},
                 {"/etc/x.dat", false}};
    for (const auto &c : cases)
        EXPECT_EQ(isPlainFileName(c.name), c.plain) << '"' << c.name << '"';
}

TEST(DataFile, RunningNumbersKeepTheirColumn) {
    const struct {
        std::uint64_t number;
        const char *text;
    } cases[] = {{1, "00001  "},       {99999, "99999  "},   {100000, "100000 "},
                 {1234567, "1234567"}, {9999999, "9999999"}, {10000000, "0000000"},
                 {12345678, "2345678"}};
    for (const auto &c : cases)
        EXPECT_EQ(runningNumberText(c.number), c.text) << c.number;
}

Reading fullReading() {
    Reading r;
    r.date = "03-02-26";
    r.time = "09:05:00";
    r.values = {"", "+0023.5", "-012.40", "+00001.", "+0.1234"};
    return r;
}

TEST(DataFile, LinesKeepEveryColumnInPlace) {
    Reading empty;
    Reading tooWide = fullReading();
    tooWide.values[1] = "+12345678.9";
    tooWide.time = "09:05:100";
    Reading rain = fullReading();
    rain.values[2] = "+000000013107.2";
    rain.values[3] = "";
    const struct {
        const char *legend;
        std::uint64_t number;
        Reading reading;
        int model;
        const char *line;
    } cases[] = {
        {"four channels", 1, fullReading(), 3,
         "00001  ;03-02-26;09:05:00   ;+0023.5;-012.40;+00001.;+0.1234"},
        {"empty record: no time, eight characters shorter", 7, empty, 3,
         "00007  ;        ;   ;       ;       ;       ;       "},
        {"rain column", 2, rain, 5, "00002  ;03-02-26;09:05:00   ;+0023.5;+000000013107.2;+0.1234"},
        {"texts wider than their columns are cut", 3, tooWide, 1,
         "00003  ;03-02-26;09:05:10   ;+123456;-012.40;+00001.;+0.1234"},
        {"running number past five digits", 1234567, fullReading(), 3,
         "1234567;03-02-26;09:05:00   ;+0023.5;-012.40;+00001.;+0.1234"},
    };
    for (const auto &c : cases) {
        const std::string line = dataLine(c.number, c.reading, c.model);
        EXPECT_EQ(line, c.line) << c.legend;
        const std::string record = asRecord(line);
        EXPECT_EQ(record.size(), 62u) << c.legend;
        EXPECT_EQ(record[line.size()], '\r') << c.legend;
        EXPECT_EQ(record.find_first_not_of(' ', line.size() + 1), std::string::npos) << c.legend;
    }
}

TEST(DataFile, ValuesThatAreNotNumbersBecomeBlanks) {
    const struct {
        const char *legend;
        int model;
        std::array<std::string, 5> values;
        std::array<std::string, 5> written;
    } cases[] = {
        {"missing reading and empty channel",
         3,
         {"", "-------", "", "+0001.0", "+1.23E6"},
         {"", "       ", "       ", "+0001.0", "+1.23E6"}},
        {"empty rain text",
         5,
         {"", "+0001.0", "", "", ""},
         {"", "+0001.0", std::string(15, ' '), "       ", "       "}},
    };
    for (const auto &c : cases) {
        Reading r;
        r.values = c.values;
        blankNonNumeric(r, c.model);
        for (int ch = 1; ch <= 4; ++ch)
            EXPECT_EQ(r.values[ch], c.written[ch]) << c.legend << ", channel " << ch;
    }
}

ChannelParameters channel(int enabled, const char *unit, const char *name) {
    ChannelParameters ch;
    ch.enabled = enabled;
    ch.unitText = unit;
    ch.name = name;
    ch.decimals = 1;
    return ch;
}

TEST(DataFile, HeadersNameOnlyEnabledChannels) {
    LoggerParameters p;
    p.channels[1] = channel(1, "°C", "Temperature");
    p.channels[2] = channel(0, "mm", "Rain");
    p.channels[3] = channel(1, "µE", "Light");
    p.channels[4] = channel(1, "", "");
    EXPECT_EQ(namesRecord(p), "00000  ;  DATE  ;    TIME   ;Tempera;       ;Light  ;       \r ");
    EXPECT_EQ(unitsRecord(p), "00000  ;        ;           ;\xB0"
                              "C     ;       ;\xB5"
                              "E     ;       \r ");
}

TEST(DataFile, ReadBackSplitsLinesAtCarriageReturns) {
    const std::string units = asRecord("00000  ;        ;           ;\xB0"
                                       "C     ;mm     ;       ;       ");
    const std::string names =
        asRecord("00000  ;  DATE  ;    TIME   ;Temp   ;Rain   ;       ;       ");
    const std::string data =
        asRecord("00001  ;03-02-26;09:05:00   ;+0023.5;       ;       ;       ");
    const struct {
        const char *legend;
        std::string bytes;
        bool hasUnits;
        std::size_t count;
    } cases[] = {
        {"empty file", "", false, 0},
        {"names only: its padding is the units line", names, true, 0},
        {"headers only", names + units, true, 1},
        {"one record after the headers", names + units + data, true, 2},
        {"line feeds after carriage returns", "a\r\nb\r\nc\r\n", true, 1},
        {"no final carriage return", "a\rb\rc", true, 1},
    };
    for (const auto &c : cases) {
        const DataFileContents contents = parseDataFile(c.bytes);
        EXPECT_EQ(contents.hasUnits, c.hasUnits) << c.legend;
        EXPECT_EQ(contents.readings.size(), c.count) << c.legend;
    }
    const DataFileContents contents = parseDataFile(names + units + data);
    EXPECT_EQ(contents.units[1], "°C");
    EXPECT_EQ(contents.units[2], "mm");
    EXPECT_EQ(contents.readings[0].date, "03-02-26");
    EXPECT_EQ(contents.readings[0].time, "09:05:00");
    EXPECT_EQ(contents.readings[0].values[1], "+0023.5");
    EXPECT_EQ(contents.readings[0].values[2], "       ");
}

// Ten readings of a two-channel logger, as the transfer leaves them.
void transferred(Station &station, std::size_t count = 10) {
    station.logger.loggerModel = 1;
    station.logger.channels[1] = channel(1, "°C", "Temp ");
    Reading r;
    r.date = "03-02-26";
    r.time = "09:05:00";
    r.values[1] = "+0023.5";
    station.data.readingTable.assign(count, r);
    station.data.transferComplete = true;
}

struct Outcome {
    bool written;
    std::string lastText;
};

Outcome save(testing::TestStation &t) {
    DataFile file(t.station);
    file.prepareDataPath();
    if (!t.station.data.dataFilePath.empty())
        file.saveReadings();
    const auto texts = t.progress.texts(ProgressLine::report);
    return {t.station.data.dataFileWritten, texts.empty() ? "" : texts.back()};
}

TEST(DataFile, FailedWritesAreReportedAndLeaveTheDiskAsItWas) {
    testing::TestStation t;
    t.station.cycleRecord()[field::savingMode] = "1";
    const fs::path file = t.folder / "KV12345678.dat";

    t.station.cycleRecord()[field::dataDirectory] = (t.folder / "missing").string();
    transferred(t.station);
    Outcome o = save(t);
    EXPECT_FALSE(o.written);
    EXPECT_FALSE(t.station.data.transferComplete);
    EXPECT_EQ(o.lastText, (t.folder / "missing" / "KV12345678.dat").string() +
                              " not saved: the data folder does not exist");

    t.station.cycleRecord()[field::dataDirectory] = t.folder.string();
    fs::create_directory(file);
    transferred(t.station);
    o = save(t);
    EXPECT_FALSE(o.written);
    EXPECT_FALSE(t.station.data.transferComplete);
    EXPECT_TRUE(fs::is_directory(file));
    fs::remove(file);

    t.station.cycleRecord().serialNumber(1) = "../KV1";
    transferred(t.station);
    o = save(t);
    EXPECT_FALSE(o.written);
    EXPECT_EQ(o.lastText,
              "Data file name refused (not a plain file name): ../KV1.dat...nothing saved");
    EXPECT_TRUE(t.station.data.dataFilePath.empty());
}

TEST(DataFile, ARefusedNameSkipsTheTransfer) {
    testing::TestStation t;
    t.station.cycleRecord().serialNumber(1) = "KV/2345678";
    t.station.logger.memoryPointer = "00011";
    DataFile(t.station).writeDataFile();
    EXPECT_FALSE(t.station.data.transferComplete);
    EXPECT_EQ(t.port.sentBytes(), "");
    EXPECT_TRUE(fs::is_empty(t.folder));
}

TEST(DataFile, ANewFileNeverOverwritesAnEarlierOne) {
    testing::TestStation t;
    const fs::path file = t.folder / "KV12_0905_030226.dat";
    testing::writeBytes(file, "earlier session");
    transferred(t.station);
    const Outcome o = save(t);
    EXPECT_FALSE(o.written);
    EXPECT_EQ(o.lastText, file.string() + " not saved: a file of that name exists already");
    EXPECT_EQ(testing::fileBytes(file), "earlier session");
}

TEST(DataFile, BlankDataFolderMeansTheProgramFolder) {
    testing::TestStation t;
    t.station.cycleRecord()[field::dataDirectory] = "   ";
    transferred(t.station);
    EXPECT_TRUE(save(t).written);
    EXPECT_EQ(t.station.cycleRecord()[field::dataDirectory], t.folder.string());
    EXPECT_TRUE(fs::exists(t.folder / "KV12_0905_030226.dat"));
}

TEST(DataFile, AppendingToADamagedFileStartsAtItsLastWholeRecord) {
    testing::TestStation t;
    t.station.cycleRecord()[field::savingMode] = "1";
    const fs::path file = t.folder / "KV12345678.dat";
    transferred(t.station, 10);
    ASSERT_TRUE(save(t).written);
    fs::resize_file(file, 806 + 20); // a torn write left part of a record
    transferred(t.station, 2);
    ASSERT_TRUE(save(t).written);
    EXPECT_EQ(fs::file_size(file), 15u * 62);
    EXPECT_EQ(testing::fileBytes(file).substr(13 * 62, 7), "00011  ");
}

// The file-size limit stands in for a full disk: the write fails part way.
TEST(DataFile, AnAppendThatFailsPartWayIsUndone) {
    testing::TestStation t;
    t.station.cycleRecord()[field::savingMode] = "1";
    const fs::path file = t.folder / "KV12345678.dat";
    transferred(t.station, 10);
    ASSERT_TRUE(save(t).written);
    const std::string before = testing::fileBytes(file);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    transferred(t.station, 100);
    const Outcome o = save(t);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(o.written);
    EXPECT_FALSE(t.station.data.transferComplete);
    EXPECT_TRUE(o.lastText.starts_with(file.string() + " not saved: ")) << o.lastText;
    EXPECT_EQ(testing::fileBytes(file), before);
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
