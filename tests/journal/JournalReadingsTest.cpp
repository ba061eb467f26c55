// Readings into the journal and out again: times across the changes of the clocks, values,
// rollups, pruning and the export's filters.
#include "JournalFixture.h"

namespace vantrell::testing {
namespace {

// The journal's rollup of channel 1 of the test's logger, "count min max mean"; "" for none.
std::string rollupOf(const std::filesystem::path &file, int period, UtcSeconds start) {
    return RawConnection(file).run("SELECT count || ' ' || min || ' ' || max || ' ' || (sum / "
                                   "count) FROM rollups JOIN channels "
                                   "c ON c.id = channel_id WHERE c.channel = 1 AND period = " +
                                   std::to_string(period) +
                                   " AND bucket_start = " + std::to_string(start));
}

TEST_F(JournalTest, TimesFollowMemoryOrderAcrossTheChangesOfTheClocks) {
    StationZone berlin("Europe/Berlin");
    // Spring: 02:30 does not exist, and the logger goes on at the old offset after it. Autumn:
    // 02:00 and 02:30 come twice, the second time an hour later.
    const std::vector<std::pair<const char *, const char *>> times{
        {"29-03-26", "01:30:00"}, {"29-03-26", "02:30:00"}, {"29-03-26", "03:30:00"},
        {"25-10-26", "01:30:00"}, {"25-10-26", "02:00:00"}, {"25-10-26", "02:30:00"},
        {"25-10-26", "02:00:00"}, {"25-10-26", "02:30:00"}, {"25-10-26", "03:00:00"}};
    const std::vector<std::string> offsets{"3600", "3600 gap", "3600", "7200", "7200",
                                           "7200", "3600",     "3600", "3600"};
    std::vector<Reading> readings;
    for (const auto &[date, time] : times)
        readings.push_back(reading(date, time, {"1.0"}));
    StoredReadings stored;
    ASSERT_EQ(journal->recordReadings(batchOf(readings), stored).text, "");
    std::vector<std::string> seen;
    for (const auto &row : exported())
        if (row.channel == 1)
            seen.push_back(std::to_string(row.offsetSeconds) + (row.inGap ? " gap" : ""));
    EXPECT_EQ(seen, offsets);
}

TEST_F(JournalTest, StoresValuesAsTheFileHasThem) {
    struct Case {
        const char *legend;
        std::string text;
        std::optional<double> full;
        std::optional<double> value;
        std::string storedText;
    };
    const std::vector<Case> cases{
        {"the decoder's every digit wins", "+12346.", 12345.8, 12345.8, "+12346."},
        {"a number text", " -012.40", {}, -12.4, " -012.40"},
        {"a plus sign", "+0023.5", {}, 23.5, "+0023.5"},
        {"a missing reading", MISSING_READING, {}, {}, MISSING_READING},
        {"a text with a number in front", "12abc", {}, {}, "12abc"},
        {"Windows-1252 becomes UTF-8", "1.0\xb0", {}, {}, "1.0°"},
    };
    std::vector<Reading> readings;
    for (std::size_t k = 0; k < cases.size(); ++k) {
        readings.push_back(memory(1, LocalDateTime{2026, 5, 1, 0, 0, 0}.plusSeconds(60 * k))[0]);
        readings.back().values[2] = cases[k].text;
        readings.back().fullValues[2] = cases[k].full;
    }
    readings.push_back(reading("no date", "12:00:00", {"1", "2", "3", "4"}));
    LoggerReadings batch = batchOf(readings);
    batch.channels[2].enabled = false;
    StoredReadings stored;
    ASSERT_EQ(journal->recordReadings(batch, stored).text, "");
    EXPECT_EQ(stored.added, 3 * std::int64_t(cases.size()));

    std::vector<ExportedReading> channel2;
    for (const auto &row : exported()) {
        EXPECT_NE(row.channel, 3);
        if (row.channel == 2)
            channel2.push_back(row);
    }
    ASSERT_EQ(channel2.size(), cases.size());
    for (std::size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(cases[k].legend);
        EXPECT_EQ(channel2[k].value, cases[k].value);
        EXPECT_EQ(channel2[k].valueText, cases[k].storedText);
    }
}

TEST_F(JournalTest, ReadingsKnownAlreadyAreSkippedAndNamesFollowTheLogger) {
    const auto first = memory(30);
    const auto overlapping = memory(20, LocalDateTime{2026, 3, 1, 3, 0, 0}); // 12 of them known
    StoredReadings stored;
    ASSERT_EQ(journal->recordReadings(batchOf(first), stored).text, "");
    LoggerReadings renamed = batchOf(overlapping);
    renamed.channels[0].name = "Pegel";
    renamed.channels[0].unit = "m";
    ASSERT_EQ(journal->recordReadings(renamed, stored).text, "");
    EXPECT_EQ(stored.alreadyKnown, 4 * 12);
    EXPECT_EQ(stored.added, 4 * 8);
    // The same memory from another logger is another logger's.
    ASSERT_EQ(journal->recordReadings(batchOf(first, 2, "KV2"), stored).text, "");
    EXPECT_EQ(stored.added, 4 * 30);

    ReadingFilter own;
    own.serial = "KV12345678";
    const auto rows = exported(own);
    ASSERT_EQ(rows.size(), 4u * 38);
    EXPECT_EQ(rows.front().name, "Pegel");
    EXPECT_EQ(rows.front().unit, "m");
}

TEST_F(JournalTest, RollupsMergeBatchesIntoTheSameHour) {
    StationZone utc("UTC");
    // 10:00, 10:10, 10:20 first, then 10:30 .. 11:00: channel 1 reads 10 + record number.
    const auto early = memory(3, LocalDateTime{2026, 5, 1, 10, 0, 0});
    auto late = memory(4, LocalDateTime{2026, 5, 1, 10, 30, 0});
    late[1].values[1] = "-5.0";
    late[2].values[1] = MISSING_READING;
    StoredReadings stored;
    ASSERT_EQ(journal->recordReadings(batchOf(early), stored).text, "");
    ASSERT_EQ(journal->recordReadings(batchOf(late), stored).text, "");
    ASSERT_EQ(journal->recordReadings(batchOf(late), stored).text, ""); // counted once

    const UtcSeconds ten = 1777629600; // 2026-05-01T10:00:00Z
    // 10, 11, 12, 10, -5 (the missing one does not count); 11:00 is the next hour.
    EXPECT_EQ(rollupOf(file, 3600, ten), "5 -5.0 12.0 7.6");
    EXPECT_EQ(rollupOf(file, 3600, ten + 3600), "1 13.0 13.0 13.0");
    EXPECT_EQ(rollupOf(file, 86400, ten - 10 * 3600), "6 -5.0 13.0 8.5");
}

TEST_F(JournalTest, PruneDropsWhatIsOlderThanTheCutoff) {
    StationZone utc("UTC");
    const UtcSeconds day1 = 1777593600; // 2026-05-01T00:00:00Z
    const auto readings = memory(2 * 24, LocalDateTime{2026, 5, 1, 0, 0, 0}, 60);
    StoredReadings stored;
    ASSERT_EQ(journal->recordReadings(batchOf(readings), stored).text, "");
    SessionRow old, recent;
    old.device = recent.device = 1;
    old.started = day1 + 3600;
    recent.started = day1 + 40 * 3600;
    old.letter = recent.letter = "X";
    ASSERT_EQ(journal->recordSession(old).text, "");
    ASSERT_EQ(journal->recordSession(recent).text, "");

    const UtcSeconds cutoff = day1 + 30 * 3600 + 1800; // 2026-05-02T06:30Z
    ASSERT_EQ(journal->prune(cutoff).text, "");
    const auto rows = exported();
    ASSERT_EQ(rows.size(), 4u * 17); // 07:00 .. 23:00 of day 2
    EXPECT_EQ(rows.front().utc, cutoff + 1800);
    DeviceJournal state;
    ASSERT_EQ(journal->deviceJournal(1, state).text, "");
    ASSERT_TRUE(state.lastSession);
    EXPECT_EQ(state.lastSession->started, recent.started);
    EXPECT_EQ(rollupOf(file, 86400, day1), "");            // ended before the cutoff
    EXPECT_EQ(rollupOf(file, 3600, day1 + 29 * 3600), ""); // 05:00 .. 06:00
    EXPECT_NE(rollupOf(file, 3600, day1 + 30 * 3600), ""); // 06:00 .. 07:00 straddles it
    EXPECT_NE(rollupOf(file, 86400, day1 + 86400), "");
}

TEST_F(JournalTest, ExportFiltersAndOrders) {
    StationZone utc("UTC");
    const auto a = memory(6, LocalDateTime{2026, 5, 1, 0, 0, 0});  // 00:00 .. 00:50
    const auto b = memory(6, LocalDateTime{2026, 5, 1, 0, 30, 0}); // 00:30 .. 01:20
    StoredReadings stored;
    ASSERT_EQ(journal->recordReadings(batchOf(b, 7, "KV9"), stored).text, "");
    ASSERT_EQ(journal->recordReadings(batchOf(a, 3, "KV1"), stored).text, "");
    const auto at = [](int minutes) -> UtcSeconds {
        return 1777593600 + minutes * 60; // from 2026-05-01T00:00:00Z
    };
    struct Case {
        const char *legend;
        ReadingFilter filter;
        std::size_t rows;
        UtcSeconds first, last;
    };
    const std::vector<Case> cases{
        {"everything", {}, 48, at(0), at(80)},
        {"one device", {7, {}, {}, {}}, 24, at(30), at(80)},
        {"one serial", {{}, "KV1", {}, {}}, 24, at(0), at(50)},
        {"since, inclusive", {{}, {}, at(50), {}}, 20, at(50), at(80)},
        {"until, exclusive", {{}, {}, {}, at(30)}, 12, at(0), at(20)},
        {"all four", {3, "KV1", at(10), at(40)}, 12, at(10), at(30)},
        {"device and serial of different loggers", {3, "KV9", {}, {}}, 0, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        const auto rows = exported(c.filter);
        ASSERT_EQ(rows.size(), c.rows);
        if (rows.empty())
            continue;
        EXPECT_EQ(rows.front().utc, c.first);
        EXPECT_EQ(rows.back().utc, c.last);
        for (std::size_t k = 1; k < rows.size(); ++k) {
            const auto &p = rows[k - 1], &r = rows[k];
            EXPECT_TRUE(std::tie(p.utc, p.serial, p.channel) < std::tie(r.utc, r.serial, r.channel))
                << k;
        }
    }
}

} // namespace
} // namespace vantrell::testing
