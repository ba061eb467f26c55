// The journal's reads for plots: the channels a device has read, its recent sessions, the
// newest reading of each channel, and one channel's readings over a range in a bounded number
// of points. A plot of a year must cost no
// more than a plot of a day, so a long range is read from the hourly or daily rollups, never
// from the readings, and every count stops at the number of points asked for.
#include "journal/Journal.h"

#include "journal/Sqlite.h"

#include <algorithm>
#include <limits>

namespace vantrell {

namespace {

// Rollup periods, as the readings' half of the journal keeps them.
constexpr std::int64_t hour = 3600;
constexpr std::int64_t day = 86400;

// More points than a screen has pixels across draw nothing more.
constexpr int mostPoints = 2000;

// [from, to) in UTC; an open end reaches as far as the journal does.
struct Range {
    UtcSeconds from = std::numeric_limits<UtcSeconds>::min();
    UtcSeconds to = std::numeric_limits<UtcSeconds>::max();

    // The earliest bucket start of a period whose bucket still reaches into the range, less one.
    UtcSeconds bucketsAfter(std::int64_t period) const {
        return from < std::numeric_limits<UtcSeconds>::min() + period ? from : from - period;
    }
};

JournalProblem findChannel(sqlite3 *db, ChannelOfDevice &channel, std::optional<std::int64_t> &id) {
    sqlite::Statement select(db, "SELECT c.id, c.name, c.unit FROM channels c "
                                 "JOIN loggers l ON l.id = c.logger_id "
                                 "WHERE l.serial = ? AND c.channel = ?");
    select.bindText(1, channel.serial);
    select.bindInt(2, channel.channel);
    if (select.next()) {
        id = select.integer(0);
        channel.name = select.text(1);
        channel.unit = select.text(2);
    }
    return select.failure();
}

// Whether the statement's first column, a count the query stops at limit + 1, is within limit.
JournalProblem fits(sqlite::Statement &count, int limit, bool &within) {
    within = count.next() && count.integer(0) <= limit;
    return count.failure();
}

JournalProblem readingsFit(sqlite3 *db, std::int64_t channelId, const Range &range, int points,
                           bool &within) {
    sqlite::Statement count(db, "SELECT count(*) FROM (SELECT 1 FROM readings "
                                "WHERE channel_id = ? AND time_utc >= ? AND time_utc < ? LIMIT ?)");
    count.bindInt(1, channelId);
    count.bindInt(2, range.from);
    count.bindInt(3, range.to);
    count.bindInt(4, points + 1);
    return fits(count, points, within);
}

JournalProblem bucketsFit(sqlite3 *db, std::int64_t channelId, std::int64_t period,
                          const Range &range, int points, bool &within) {
    sqlite::Statement count(db, "SELECT count(*) FROM (SELECT 1 FROM rollups "
                                "WHERE channel_id = ? AND period = ? AND bucket_start > ? "
                                "AND bucket_start < ? LIMIT ?)");
    count.bindInt(1, channelId);
    count.bindInt(2, period);
    count.bindInt(3, range.bucketsAfter(period));
    count.bindInt(4, range.to);
    count.bindInt(5, points + 1);
    return fits(count, points, within);
}

// A missing reading is no point: the plot shows the gap.
JournalProblem readSingle(sqlite3 *db, std::int64_t channelId, const Range &range,
                          std::vector<SeriesPoint> &out) {
    sqlite::Statement select(db, "SELECT time_utc, value FROM readings "
                                 "WHERE channel_id = ? AND time_utc >= ? AND time_utc < ? "
                                 "AND value IS NOT NULL ORDER BY time_utc");
    select.bindInt(1, channelId);
    select.bindInt(2, range.from);
    select.bindInt(3, range.to);
    while (select.next()) {
        const double value = select.real(1);
        out.push_back({select.integer(0), value, value, value, 1});
    }
    return select.failure();
}

// Every bucket that reaches into the range, whole: a plot's edges keep their last hour or day.
JournalProblem readBuckets(sqlite3 *db, std::int64_t channelId, std::int64_t period,
                           const Range &range, std::vector<SeriesPoint> &out) {
    sqlite::Statement select(db, "SELECT bucket_start, min, max, sum, count FROM rollups "
                                 "WHERE channel_id = ? AND period = ? AND bucket_start > ? "
                                 "AND bucket_start < ? ORDER BY bucket_start");
    select.bindInt(1, channelId);
    select.bindInt(2, period);
    select.bindInt(3, range.bucketsAfter(period));
    select.bindInt(4, range.to);
    while (select.next()) {
        const std::int64_t count = select.integer(4);
        out.push_back({select.integer(0), select.real(1), select.real(2),
                       select.real(3) / double(count), count});
    }
    return select.failure();
}

// `k` buckets in a row become one, weighted by how many readings each holds.
std::vector<SeriesPoint> mergedBy(const std::vector<SeriesPoint> &buckets, std::size_t k) {
    std::vector<SeriesPoint> merged;
    merged.reserve((buckets.size() + k - 1) / k);
    for (std::size_t first = 0; first < buckets.size(); first += k) {
        SeriesPoint point = buckets[first];
        double sum = point.mean * double(point.count);
        for (std::size_t b = first + 1; b < std::min(first + k, buckets.size()); ++b) {
            point.min = std::min(point.min, buckets[b].min);
            point.max = std::max(point.max, buckets[b].max);
            sum += buckets[b].mean * double(buckets[b].count);
            point.count += buckets[b].count;
        }
        point.mean = sum / double(point.count);
        merged.push_back(point);
    }
    return merged;
}

} // namespace

JournalProblem Journal::channelsOfDevice(int device, std::vector<ChannelOfDevice> &out) {
    out.clear();
    sqlite::Statement select(db_, "SELECT l.serial, c.channel, c.name, c.unit "
                                  "FROM device_loggers d JOIN loggers l ON l.id = d.logger_id "
                                  "JOIN channels c ON c.logger_id = d.logger_id "
                                  "WHERE d.device = ? "
                                  "ORDER BY d.newest_utc DESC, l.serial, c.channel");
    select.bindInt(1, device);
    while (select.next())
        out.push_back({select.text(0), int(select.integer(1)), select.text(2), select.text(3)});
    return select.failure();
}

JournalProblem Journal::sessionsSince(int device, UtcSeconds since, std::vector<SessionRow> &out) {
    out.clear();
    // The newest first by when it started, whatever the order they were recorded in.
    sqlite::Statement select(db_, "SELECT schedule_time, started_utc, ended_utc, letter, "
                                  "records_read, data_file, attempts FROM sessions "
                                  "WHERE device = ? AND started_utc >= ? "
                                  "ORDER BY started_utc DESC, id DESC");
    select.bindInt(1, device);
    select.bindInt(2, since);
    while (select.next()) {
        SessionRow &row = out.emplace_back();
        row.device = device;
        row.scheduleTime = int(select.integer(0));
        row.started = select.integer(1);
        row.ended = select.integer(2);
        row.letter = select.text(3);
        row.recordsRead = select.integer(4);
        row.dataFile = select.text(5);
        row.attempts = int(select.integer(6));
    }
    return select.failure();
}

// The channels come from the device's loggers (device_loggers), and each newest reading is one
// step backwards along the readings' key (channel, time) from the newest time the device read of
// that logger: no reading is scanned, however many years the journal holds. Readings another
// device read of the same logger are passed over; a channel whose readings were all pruned has
// none.
JournalProblem Journal::latestReadings(int device, std::vector<LatestReading> &out) {
    out.clear();
    sqlite::Statement select(
        db_, "SELECT l.serial, c.channel, c.name, c.unit, r.time_utc, r.local_offset, r.value "
             "FROM device_loggers d JOIN loggers l ON l.id = d.logger_id "
             "JOIN channels c ON c.logger_id = d.logger_id "
             "JOIN readings r ON r.channel_id = c.id AND r.time_utc = ("
             "SELECT n.time_utc FROM readings n WHERE n.channel_id = c.id "
             "AND n.time_utc <= d.newest_utc AND n.device = d.device "
             "ORDER BY n.time_utc DESC LIMIT 1) "
             "WHERE d.device = ? ORDER BY l.serial, c.channel");
    select.bindInt(1, device);
    while (select.next())
        out.push_back({select.text(0), int(select.integer(1)), select.text(2), select.text(3),
                       select.integer(4), int(select.integer(5)),
                       select.isNull(6) ? std::nullopt : std::optional(select.real(6))});
    return select.failure();
}

JournalProblem Journal::readingSeries(const SeriesRequest &request, Series &out) {
    out = Series{};
    out.channel.serial = request.serial;
    out.channel.channel = request.channel;
    std::optional<std::int64_t> channelId;
    if (auto failed = findChannel(db_, out.channel, channelId); failed || !channelId)
        return failed;
    const int points = std::clamp(request.points, 1, mostPoints);
    Range range;
    if (request.since)
        range.from = *request.since;
    if (request.until)
        range.to = *request.until;

    bool within = false;
    if (auto failed = readingsFit(db_, *channelId, range, points, within))
        return failed;
    if (within)
        return readSingle(db_, *channelId, range, out.points);
    if (auto failed = bucketsFit(db_, *channelId, hour, range, points, within))
        return failed;
    out.bucketSeconds = within ? hour : day;
    if (auto failed = readBuckets(db_, *channelId, out.bucketSeconds, range, out.points))
        return failed;
    if (out.points.size() > std::size_t(points)) {
        const std::size_t k = (out.points.size() + std::size_t(points) - 1) / std::size_t(points);
        out.points = mergedBy(out.points, k);
        out.bucketSeconds = day * std::int64_t(k);
    }
    return {};
}

} // namespace vantrell
