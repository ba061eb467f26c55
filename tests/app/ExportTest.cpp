// `vantrelld export`: each filter in both formats on one journal, the exact rows (quoted names,
// full-precision values, missing readings).
#include "JournalFolder.h"
#include "journal/JournalFixture.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>

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

TEST(Export, FiltersKeepTheSameRowsInBothFormatsAsWritten) {
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
        const auto csv = runProgram(f.vantrelld(csvLine)), json = runProgram(f.vantrelld(jsonLine));
        EXPECT_EQ(csv.exit, 0) << csv.output;
        EXPECT_EQ(std::size_t(std::count(csv.output.begin(), csv.output.end(), '\n')), c.rows + 1)
            << csv.output;
        EXPECT_EQ(json.exit, 0) << json.output;
        EXPECT_EQ(nlohmann::json::parse(json.output).size(), c.rows) << json.output;
    }

    // The exact rows: quoted names, full-precision values, missing readings.
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

} // namespace
} // namespace vantrell
