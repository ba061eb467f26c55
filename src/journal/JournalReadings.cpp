// The readings half of the journal: a logger's memory in, hourly and daily rollups kept beside
// it, old readings pruned, and the export's stream out.
#include "journal/Journal.h"

#include "general/Codepage.h"
#include "general/Text.h"
#include "journal/Sqlite.h"

#include <charconv>
#include <cmath>
#include <map>
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
    void add(std::int64_t channelId, UtcSeconds utc, double value) {
        for (const std::int64_t period : {hour, day}) {
            const UtcSeconds start = utc - ((utc % period) + period) % period;
            Bucket &b = buckets_[{channelId, period, start}];
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
    std::map<std::tuple<std::int64_t, std::int64_t, UtcSeconds>, Bucket> buckets_;
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

} // namespace

JournalProblem Journal::recordReadings(const LoggerReadings &batch, StoredReadings &stored) {
    stored = {};
    if (batch.readings == nullptr)
        return {};
    sqlite::Transaction transaction(db_);
    if (auto notBegun = transaction.failure())
        return notBegun;
    std::int64_t loggerId = 0;
    if (auto failed = loggerKey(db_, batch.serial, loggerId))
        return failed;
    std::array<std::optional<std::int64_t>, 4> channelIds;
    for (int c = 1; c <= 4; ++c) {
        const auto &setup = batch.channels[std::size_t(c - 1)];
        if (!setup.enabled)
            continue;
        channelIds[std::size_t(c - 1)].emplace();
        if (auto failed = channelKey(db_, loggerId, c, setup, *channelIds[std::size_t(c - 1)]))
            return failed;
    }

    sqlite::Statement insert(db_, "INSERT OR IGNORE INTO readings(channel_id, time_utc, "
                                  "local_offset, in_gap, device, value, value_text) "
                                  "VALUES(?, ?, ?, ?, ?, ?, ?)");
    insert.bindInt(5, batch.device);
    StoredReadings counted;
    Rollups rollups;
    std::optional<UtcSeconds> previous;
    for (const Reading &reading : *batch.readings) {
        const auto local = recordTime(reading.date, reading.time);
        if (!local)
            continue;
        const ReadingTime time = toUtc(*local, previous);
        previous = time.utc;
        insert.bindInt(2, time.utc);
        insert.bindInt(3, time.offsetSeconds);
        insert.bindInt(4, time.inGap ? 1 : 0);
        for (int c = 1; c <= 4; ++c) {
            const auto &channelId = channelIds[std::size_t(c - 1)];
            if (!channelId)
                continue;
            const auto value = readingValue(reading, c);
            insert.bindInt(1, *channelId);
            insert.bindReal(6, value);
            insert.bindText(7, windows1252ToUtf8(reading.values[c]));
            if (auto failed = insert.run())
                return failed;
            if (insert.changes() == 0) {
                ++counted.alreadyKnown;
                continue;
            }
            ++counted.added;
            if (value)
                rollups.add(*channelId, time.utc, *value);
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
         {"DELETE FROM sessions WHERE started_utc < ?", "DELETE FROM readings WHERE time_utc < ?",
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
                      "c.unit, r.value, r.value_text FROM readings r "
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
        each(row);
    }
    return select.failure();
}

} // namespace vantrell
