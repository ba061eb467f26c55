// `vantrelld export`: each filter in both formats on one journal, the exact rows (quoted names,
// full-precision values, missing readings) and what it refuses.
#include "JournalFolder.h"
#include "journal/JournalFixture.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sstream>

namespace vantrell {
namespace {

using testing::JournalFolder;
using testing::runProgram;

constexpr const char *header = "time_utc,time_local,device,serial,channel,name,unit,value\n";

// From 01-03-26 00:00 local time every ten minutes: device 1 six readings of four channels,
// device 2 three; device 3 one channel whose name needs quoting, its second reading missing.
struct ExportFolder : JournalFolder {
    ExportFolder() {
        stored(testing::batchOf(first, 1, "KV1"));
        stored(testing::batchOf(second, 2, "KV2"));
        LoggerReadings pressure;
        pressure.device = 3;
        pressure.serial = "KV3";
        pressure.channels[0] = {true, "Druck \"rel\", innen", "hPa"};
        pressure.readings = &third;
        stored(pressure);
    }
    void stored(const LoggerReadings &batch) {
        StoredReadings count;
        EXPECT_EQ(journal->recordReadings(batch, count).text, "");
    }
    std::vector<Reading> first = testing::memory(6);
    std::vector<Reading> second = testing::memory(3);
    std::vector<Reading> third{testing::reading("01-03-26", "00:00:00", {"-3.25"}),
                               testing::reading("01-03-26", "00:10:00", {""})};
};

std::vector<std::string> linesOf(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(Export, FiltersKeepTheSameRowsInBothFormats) {
    struct Case {
        const char *legend;
        std::vector<std::string> filters;
        std::size_t rows;
    };
    const Case cases[] = {
        {"everything", {}, 38},
        {"one device", {"--device", "2"}, 12},
        {"one logger", {"--serial", "KV1"}, 24},
        {"since a local time, inclusive", {"--since", "2026-03-01T00:20"}, 20},
        {"until a UTC time, exclusive", {"--until", "2026-02-28T23:10:00Z"}, 9},
        {"all of them at once",
         {"--device", "1", "--since", "2026-03-01T00:10:00+01:00", "--until", "2026-03-01T00:30"},
         8},
        {"nothing in the range", {"--since", "2026-03-02"}, 0},
    };
    ExportFolder f;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.legend);
        std::vector<std::string> csvLine{"export"}, jsonLine{"export", "--format", "json"};
        csvLine.insert(csvLine.end(), c.filters.begin(), c.filters.end());
        jsonLine.insert(jsonLine.end(), c.filters.begin(), c.filters.end());
        const auto csv = runProgram(f.vantrelld(csvLine));
        const auto json = runProgram(f.vantrelld(jsonLine));
        ASSERT_EQ(csv.exit, 0) << csv.output;
        ASSERT_EQ(json.exit, 0) << json.output;
        const auto lines = linesOf(csv.output);
        ASSERT_EQ(lines.size(), c.rows + 1) << csv.output;
        EXPECT_EQ(lines.front() + "\n", header);
        const auto parsed = nlohmann::json::parse(json.output, nullptr, false);
        ASSERT_TRUE(parsed.is_array()) << json.output;
        ASSERT_EQ(parsed.size(), c.rows);
        for (std::size_t k = 0; k < c.rows; ++k) {
            const auto &r = parsed[k];
            const std::string start =
                r["time_utc"].get<std::string>() + "," + r["time_local"].get<std::string>() + "," +
                std::to_string(r["device"].get<int>()) + "," + r["serial"].get<std::string>() +
                "," + std::to_string(r["channel"].get<int>()) + ",";
            EXPECT_TRUE(lines[k + 1].starts_with(start)) << lines[k + 1] << " vs " << start;
        }
    }
}

TEST(Export, RowsAsWritten) {
    ExportFolder f;
    const auto csv = runProgram(f.vantrelld({"export", "--serial", "KV3"}));
    EXPECT_EQ(csv.output,
              std::string(header) +
                  "2026-02-28T23:00:00Z,2026-03-01T00:00:00+01:00,3,KV3,1,\"Druck \"\"rel\"\", "
                  "innen\",hPa,-3.25\n"
                  "2026-02-28T23:10:00Z,2026-03-01T00:10:00+01:00,3,KV3,1,\"Druck \"\"rel\"\", "
                  "innen\",hPa,\n");
    const auto first =
        runProgram(f.vantrelld({"export", "--device", "1", "--until", "2026-02-28T23:00:01Z"}));
    EXPECT_EQ(first.output, std::string(header) +
                                "2026-02-28T23:00:00Z,2026-03-01T00:00:00+01:00,1,KV1,1,Kanal "
                                "1,°C,10\n"
                                "2026-02-28T23:00:00Z,2026-03-01T00:00:00+01:00,1,KV1,2,Kanal "
                                "2,°C,20\n"
                                "2026-02-28T23:00:00Z,2026-03-01T00:00:00+01:00,1,KV1,3,Kanal "
                                "3,°C,30\n"
                                "2026-02-28T23:00:00Z,2026-03-01T00:00:00+01:00,1,KV1,4,Kanal "
                                "4,°C,40\n");
    const auto json = runProgram(f.vantrelld({"export", "--format", "json", "--serial", "KV3"}));
    EXPECT_EQ(nlohmann::json::parse(json.output), nlohmann::json::parse(R"([
        {"time_utc": "2026-02-28T23:00:00Z", "time_local": "2026-03-01T00:00:00+01:00",
         "device": 3, "serial": "KV3", "channel": 1, "name": "Druck \"rel\", innen",
         "unit": "hPa", "value": -3.25},
        {"time_utc": "2026-02-28T23:10:00Z", "time_local": "2026-03-01T00:10:00+01:00",
         "device": 3, "serial": "KV3", "channel": 1, "name": "Druck \"rel\", innen",
         "unit": "hPa", "value": null}])"));
}

TEST(Export, RefusesWhatItCannotDo) {
    struct Case {
        const char *legend;
        std::vector<std::string> line;
        int exit;
        std::string said;
    };
    const Case cases[] = {
        {"a time that is no ISO 8601",
         {"export", "--since", "yesterday"},
         2,
         "--since 'yesterday' is no ISO 8601 time"},
        {"a month that does not exist",
         {"export", "--until", "2026-13-01"},
         2,
         "--until '2026-13-01' is no ISO 8601 time"},
        {"an unknown format", {"export", "--format", "xml"}, 2, "the format is csv or json"},
        {"a device out of range", {"export", "--device", "51"}, 2, "the device is a number"},
        {"an argument", {"export", "KV1"}, 2, "export: unexpected 'KV1'"},
    };
    ExportFolder f;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.legend);
        const auto refused = runProgram(f.vantrelld(c.line), true);
        EXPECT_EQ(refused.exit, c.exit) << refused.output;
        EXPECT_NE(refused.output.find(c.said), std::string::npos) << refused.output;
    }
}

TEST(Export, UnavailableJournalIsExitOne) {
    struct Case {
        const char *legend;
        const char *conf;
        const char *journalBytes; // nullptr: the journal as filled
        std::string said;
    };
    const Case cases[] = {
        {"not SQLite", "[journal]\n", "these are not the bytes of a database\n",
         "export: journal unavailable ("},
        {"journal off", "", nullptr, "export: the journal is off"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.legend);
        ExportFolder f;
        test::writeBytes(f.config / "vantrell.conf", c.conf);
        if (c.journalBytes != nullptr) {
            f.journal.reset();
            test::writeBytes(f.file, c.journalBytes);
        }
        const auto refused = runProgram(f.vantrelld({"export"}), true);
        EXPECT_EQ(refused.exit, 1) << refused.output;
        EXPECT_NE(refused.output.find(c.said), std::string::npos) << refused.output;
    }
}

} // namespace
} // namespace vantrell
