// A fresh journal in a folder of its own, and loggers' memories to feed it.
#pragma once

#include "TempFolder.h"
#include "journal/Journal.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace vantrell::testing {

// A reading of four channels at "dd-mm-yy" "hh:mm:ss", the values as the data file has them.
inline Reading reading(std::string date, std::string time, std::vector<std::string> texts) {
    Reading r;
    r.date = std::move(date);
    r.time = std::move(time);
    for (std::size_t c = 0; c < texts.size(); ++c)
        r.values[int(c + 1)] = texts[c];
    return r;
}

// `count` readings of four channels, one every `step` minutes from `first` (local time); channel
// c reads c * 10 + record number.
inline std::vector<Reading> memory(int count, LocalDateTime first = {2026, 3, 1, 0, 0, 0},
                                   int step = 10) {
    std::vector<Reading> readings;
    readings.reserve(std::size_t(count));
    for (int k = 0; k < count; ++k) {
        const LocalDateTime at = first.plusSeconds(k * step * 60LL);
        char date[32], time[32];
        std::snprintf(date, sizeof date, "%02d-%02d-%02d", at.day, at.month, at.year - 2000);
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", at.hour, at.minute, at.second);
        std::vector<std::string> texts;
        for (int c = 1; c <= 4; ++c)
            texts.push_back(std::to_string(c * 10 + k) + ".0");
        readings.push_back(reading(date, time, texts));
    }
    return readings;
}

inline LoggerReadings batchOf(const std::vector<Reading> &readings, int device = 1,
                              std::string serial = "KV12345678") {
    LoggerReadings batch;
    batch.device = device;
    batch.serial = std::move(serial);
    for (int c = 0; c < 4; ++c)
        batch.channels[std::size_t(c)] = {true, "Kanal " + std::to_string(c + 1), "°C"};
    batch.readings = &readings;
    return batch;
}

// The station's zone for the test's lifetime, and the process's own zone back afterwards.
class StationZone {
public:
    explicit StationZone(const char *zone) {
        if (const char *was = std::getenv("TZ"))
            saved_ = was;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~StationZone() {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    StationZone(const StationZone &) = delete;
    StationZone &operator=(const StationZone &) = delete;

private:
    std::optional<std::string> saved_;
};

// SQL on a journal file through a connection of the test's own, past the journal's interface.
class RawConnection {
public:
    explicit RawConnection(const std::filesystem::path &file) { sqlite3_open(file.c_str(), &db_); }
    ~RawConnection() { sqlite3_close(db_); }
    RawConnection(const RawConnection &) = delete;
    RawConnection &operator=(const RawConnection &) = delete;

    // The first column of the last row, or the error.
    std::string run(const std::string &sql) {
        std::string last;
        char *error = nullptr;
        sqlite3_exec(
            db_, sql.c_str(),
            [](void *out, int, char **values, char **) {
                *static_cast<std::string *>(out) = values[0] != nullptr ? values[0] : "";
                return 0;
            },
            &last, &error);
        if (error != nullptr) {
            last = error;
            sqlite3_free(error);
        }
        return last;
    }

private:
    sqlite3 *db_ = nullptr;
};

class JournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Journal::open(file, Journal::Access::write, journal).text, "");
    }

    std::vector<ExportedReading> exported(const ReadingFilter &filter = {}) {
        std::vector<ExportedReading> rows;
        EXPECT_EQ(
            journal->forEachReading(filter, [&](const ExportedReading &r) { rows.push_back(r); })
                .text,
            "");
        return rows;
    }

    TempFolder folder;
    std::filesystem::path file = folder / "journal.sqlite";
    std::unique_ptr<Journal> journal;
};

} // namespace vantrell::testing
