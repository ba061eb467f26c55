// The readings half of the journal: a logger's memory in, hourly and daily rollups kept beside
// it, old readings pruned, and the export's stream out.
#include "journal/Journal.h"

#include "general/Codepage.h"
#include "general/Text.h"
#include "journal/Sqlite.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <numeric>
#include <optional>
#include <tuple>

namespace vantrell {

namespace {

// Rollup periods; buckets start at multiples of them in UTC, so a day is a UTC day.
constexpr std::int64_t hour = 3600;
constexpr std::int64_t day = 86400;

// The reading with every digit when the decoder kept it, else the text's value when the text is
// a number; nothing for a missing reading.
std::optional<double> readingValue(const Reading &reading, int channel) {
    if (const auto &full = reading.fullValues[channel])
        return full;
    std::string text = trim(reading.values[channel]);
    if (!text.empty() && text.front() == '+')
        text.erase(0, 1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The new readings of one batch summed per channel and bucket, so that the journal takes one
// upsert per bucket instead of one per reading.
class Rollups {
public:
    // Readings come channel by channel in time order: most fall into the bucket before.
    void add(std::int64_t channelId, UtcSeconds utc, double value) {
        for (Recent &recent : recent_) {
            const UtcSeconds start = utc - ((utc % recent.period) + recent.period) % recent.period;
            if (recent.bucket == nullptr || recent.channelId != channelId ||
                recent.start != start) {
                recent.bucket = &buckets_[{channelId, recent.period, start}];
                recent.channelId = channelId;
                recent.start = start;
            }
            Bucket &b = *recent.bucket;
            b.min = b.count == 0 ? value : std::min(b.min, value);
            b.max = b.count == 0 ? value : std::max(b.max, value);
            b.sum += value;
            ++b.count;
        }
    }

    JournalProblem store(sqlite3 *db) const {
        sqlite::Statement upsert(
            db, "INSERT INTO rollups(channel_id, period, bucket_start, count, sum, min, max) "
                "VALUES(?, ?, ?, ?, ?, ?, ?) "
                "ON CONFLICT(channel_id, period, bucket_start) DO UPDATE SET "
                "count = count + excluded.count, sum = sum + excluded.sum, "
                "min = min(min, excluded.min), max = max(max, excluded.max)");
        for (const auto &[key, b] : buckets_) {
            const auto &[channelId, period, start] = key;
            upsert.bindInt(1, channelId);
            upsert.bindInt(2, period);
            upsert.bindInt(3, start);
            upsert.bindInt(4, b.count);
            upsert.bindReal(5, b.sum);
            upsert.bindReal(6, b.min);
            upsert.bindReal(7, b.max);
            if (auto failed = upsert.run())
                return failed;
        }
        return {};
    }

private:
    struct Bucket {
        std::int64_t count = 0;
        double sum = 0;
        double min = 0;
        double max = 0;
    };
    struct Recent {
        std::int64_t period;
        Bucket *bucket = nullptr;
        std::int64_t channelId = 0;
        UtcSeconds start = 0;
    };
    std::map<std::tuple<std::int64_t, std::int64_t, UtcSeconds>, Bucket> buckets_;
    std::array<Recent, 2> recent_{Recent{hour}, Recent{day}};
};

JournalProblem loggerKey(sqlite3 *db, const std::string &serial, std::int64_t &id) {
    sqlite::Statement insert(db, "INSERT OR IGNORE INTO loggers(serial) VALUES(?)");
    insert.bindText(1, serial);
    if (auto failed = insert.run())
        return failed;
    sqlite::Statement select(db, "SELECT id FROM loggers WHERE serial = ?");
    select.bindText(1, serial);
    if (!select.next())
        return select.failure() ? select.failure() : sqlite::problem(db, "logger not stored");
    id = select.integer(0);
    return {};
}

// The channel's key; its name and unit follow what the logger reports now.
JournalProblem channelKey(sqlite3 *db, std::int64_t loggerId, int channel,
                          const LoggerReadings::Channel &setup, std::int64_t &id) {
    sqlite::Statement upsert(db, "INSERT INTO channels(logger_id, channel, name, unit) "
                                 "VALUES(?, ?, ?, ?) ON CONFLICT(logger_id, channel) DO UPDATE "
                                 "SET name = excluded.name, unit = excluded.unit");
    upsert.bindInt(1, loggerId);
    upsert.bindInt(2, channel);
    upsert.bindText(3, setup.name);
    upsert.bindText(4, setup.unit);
    if (auto failed = upsert.run())
        return failed;
    sqlite::Statement select(db, "SELECT id FROM channels WHERE logger_id = ? AND channel = ?");
    select.bindInt(1, loggerId);
    select.bindInt(2, channel);
    if (!select.next())
        return select.failure() ? select.failure() : sqlite::problem(db, "channel not stored");
    id = select.integer(0);
    return {};
}

// The batch's logger joins the loggers its device has read, with its newest reading.
JournalProblem linkDeviceLogger(sqlite3 *db, int device, std::int64_t loggerId, UtcSeconds newest) {
    sqlite::Statement upsert(db, "INSERT INTO device_loggers(device, logger_id, newest_utc) "
                                 "VALUES(?, ?, ?) ON CONFLICT(device, logger_id) DO UPDATE "
                                 "SET newest_utc = max(newest_utc, excluded.newest_utc)");
    upsert.bindInt(1, device);
    upsert.bindInt(2, loggerId);
    upsert.bindInt(3, newest);
    return upsert.run();
}

// The records with a time, in memory order, each with its UTC time.
struct TimedRecord {
    const Reading *reading;
    ReadingTime time;
};

std::vector<TimedRecord> timedRecords(const std::vector<Reading> &readings) {
    std::vector<TimedRecord> records;
    records.reserve(readings.size());
    std::optional<UtcSeconds> previous;
    for (const Reading &reading : readings) {
        const auto local = recordTime(reading.date, reading.time);
        if (!local)
            continue;
        records.push_back({&reading, toUtc(*local, previous)});
        previous = records.back().time.utc;
    }
    return records;
}

// Marks the records whose UTC time an earlier record of the same memory had already.
std::vector<bool> repeatedTimes(const std::vector<TimedRecord> &records) {
    std::vector<std::size_t> order(records.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return records[a].time.utc < records[b].time.utc;
    });
    std::vector<bool> repeated(records.size());
    for (std::size_t k = 1; k < order.size(); ++k)
        if (records[order[k]].time.utc == records[order[k - 1]].time.utc)
            repeated[order[k]] = true;
    return repeated;
}

// A channel of the batch, and the times of its readings the journal holds, in order.
struct BatchChannel {
    int channel = 0;
    std::int64_t id = 0;
    std::vector<UtcSeconds> known;
};

JournalProblem knownTimes(sqlite3 *db, UtcSeconds from, UtcSeconds to, BatchChannel &channel) {
    sqlite::Statement select(db, "SELECT time_utc FROM readings "
                                 "WHERE channel_id = ? AND time_utc BETWEEN ? AND ? "
                                 "ORDER BY time_utc");
    select.bindInt(1, channel.id);
    select.bindInt(2, from);
    select.bindInt(3, to);
    while (select.next())
        channel.known.push_back(select.integer(0));
    return select.failure();
}

class ReadingRows {
public:
    ReadingRows(sqlite3 *db, int device)
        : insert_(db, "INSERT INTO readings(channel_id, time_utc, local_offset, in_gap, device, "
                      "value, value_text) VALUES(?, ?, ?, ?, ?, ?, ?)") {
        insert_.bindInt(5, device);
    }

    // `text` as the data file has it (Windows-1252).
    JournalProblem insert(std::int64_t channelId, const ReadingTime &time,
                          const std::optional<double> &value, std::string_view text) {
        insert_.bindInt(1, channelId);
        insert_.bindInt(2, time.utc);
        insert_.bindInt(3, time.offsetSeconds);
        insert_.bindInt(4, time.inGap ? 1 : 0);
        insert_.bindReal(6, value);
        insert_.bindText(7, windows1252ToUtf8(text));
        return insert_.run();
    }

private:
    sqlite::Statement insert_;
};

// Marks a channel's new readings as still to go: one marker per stretch of them that no reading
// the journal held before interrupts, since a marker stands for all the channel's readings in its
// time range. `added` and `channel.known` are in time order.
JournalProblem markToPublish(sqlite::Statement &mark, const BatchChannel &channel,
                             const std::vector<UtcSeconds> &added) {
    std::size_t first = 0;
    for (std::size_t k = 0; k < added.size(); ++k) {
        const bool last = k + 1 == added.size();
        if (!last) {
            const auto known =
                std::upper_bound(channel.known.begin(), channel.known.end(), added[k]);
            if (known == channel.known.end() || *known > added[k + 1])
                continue;
        }
        mark.bindInt(1, channel.id);
        mark.bindInt(2, added[first]);
        mark.bindInt(3, added[k]);
        if (auto failed = mark.run())
            return failed;
        first = k + 1;
    }
    return {};
}

} // namespace

JournalProblem Journal::recordReadings(const LoggerReadings &batch, StoredReadings &stored) {
    stored = {};
    if (batch.readings == nullptr)
        return {};
    const std::vector<TimedRecord> records = timedRecords(*batch.readings);
    sqlite::Transaction transaction(db_);
    if (auto notBegun = transaction.failure())
        return notBegun;
    std::int64_t loggerId = 0;
    if (auto failed = loggerKey(db_, batch.serial, loggerId))
        return failed;
    std::vector<BatchChannel> channels;
    for (int c = 1; c <= 4; ++c) {
        const auto &setup = batch.channels[std::size_t(c - 1)];
        if (!setup.enabled)
            continue;
        BatchChannel &channel = channels.emplace_back();
        channel.channel = c;
        if (auto failed = channelKey(db_, loggerId, c, setup, channel.id))
            return failed;
    }
    // Looking the journal's readings up once per channel beats a failed insert per reading: a
    // logger whose memory is not erased brings mostly readings the journal holds.
    if (!records.empty()) {
        const auto [first, last] = std::minmax_element(
            records.begin(), records.end(),
            [](const TimedRecord &a, const TimedRecord &b) { return a.time.utc < b.time.utc; });
        for (BatchChannel &channel : channels)
            if (auto failed = knownTimes(db_, first->time.utc, last->time.utc, channel))
                return failed;
        if (auto failed = linkDeviceLogger(db_, batch.device, loggerId, last->time.utc))
            return failed;
    }

    ReadingRows rows(db_, batch.device);
    std::optional<sqlite::Statement> mark;
    if (batch.toPublish)
        mark.emplace(db_, "INSERT INTO unpublished(channel_id, from_utc, to_utc) VALUES(?, ?, ?)");
    std::vector<UtcSeconds> added;
    const std::vector<bool> repeated = repeatedTimes(records);
    StoredReadings counted;
    Rollups rollups;
    // Channel by channel: each channel's readings then go into one stretch of the table.
    for (const BatchChannel &channel : channels) {
        added.clear();
        for (std::size_t k = 0; k < records.size(); ++k) {
            const TimedRecord &record = records[k];
            if (repeated[k] ||
                std::binary_search(channel.known.begin(), channel.known.end(), record.time.utc)) {
                ++counted.alreadyKnown;
                continue;
            }
            const auto value = readingValue(*record.reading, channel.channel);
            if (auto failed = rows.insert(channel.id, record.time, value,
                                          record.reading->values[channel.channel]))
                return failed;
            if (value)
                rollups.add(channel.id, record.time.utc, *value);
            ++counted.added;
            if (mark)
                added.push_back(record.time.utc);
        }
        if (mark) {
            std::sort(added.begin(), added.end());
            if (auto failed = markToPublish(*mark, channel, added))
                return failed;
        }
    }
    if (auto failed = rollups.store(db_))
        return failed;
    if (auto failed = transaction.commit())
        return failed;
    stored = counted;
    return {};
}

JournalProblem Journal::prune(UtcSeconds cutoff) {
    sqlite::Transaction transaction(db_);
    if (auto notBegun = transaction.failure())
        return notBegun;
    for (const char *sql :
         {"DELETE FROM sessions WHERE started_utc < ?", "DELETE FROM alarms WHERE raised_utc < ?",
          "DELETE FROM readings WHERE time_utc < ?", "DELETE FROM unpublished WHERE to_utc < ?1",
          "UPDATE unpublished SET from_utc = ?1 WHERE from_utc < ?1",
          "DELETE FROM rollups WHERE bucket_start + period <= ?"}) {
        sqlite::Statement remove(db_, sql);
        remove.bindInt(1, cutoff);
        if (auto failed = remove.run())
            return failed;
    }
    return transaction.commit();
}

JournalProblem Journal::forEachReading(const ReadingFilter &filter,
                                       const std::function<void(const ExportedReading &)> &each) {
    // Only the filters given become conditions, so that a time range can use the time index.
    std::string sql = "SELECT r.time_utc, r.local_offset, r.device, l.serial, c.channel, c.name, "
                      "c.unit, r.value, r.value_text, r.in_gap FROM readings r "
                      "JOIN channels c ON c.id = r.channel_id "
                      "JOIN loggers l ON l.id = c.logger_id WHERE 1";
    if (filter.device)
        sql += " AND r.device = :device";
    if (filter.serial)
        sql += " AND l.serial = :serial";
    if (filter.since)
        sql += " AND r.time_utc >= :since";
    if (filter.until)
        sql += " AND r.time_utc < :until";
    sql += " ORDER BY r.time_utc, l.serial, c.channel";
    sqlite::Statement select(db_, sql);
    int parameter = 0;
    if (filter.device)
        select.bindInt(++parameter, *filter.device);
    if (filter.serial)
        select.bindText(++parameter, *filter.serial);
    if (filter.since)
        select.bindInt(++parameter, *filter.since);
    if (filter.until)
        select.bindInt(++parameter, *filter.until);
    ExportedReading row;
    while (select.next()) {
        row.utc = select.integer(0);
        row.offsetSeconds = int(select.integer(1));
        row.device = int(select.integer(2));
        row.serial = select.text(3);
        row.channel = int(select.integer(4));
        row.name = select.text(5);
        row.unit = select.text(6);
        row.value = select.isNull(7) ? std::nullopt : std::optional(select.real(7));
        row.valueText = select.text(8);
        row.inGap = select.integer(9) != 0;
        each(row);
    }
    return select.failure();
}

} // namespace vantrell
