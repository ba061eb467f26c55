// The journal's side of asking loggers only for their new records: where each kept memory was
// left, and the readings an acceleration check looks back on when the data file holds only the
// new ones.
#include "journal/Journal.h"

#include "journal/Sqlite.h"

#include <map>

namespace vantrell {

JournalProblem Journal::savedUpTo(const std::string &serial, std::optional<SavedUpTo> &out) {
    out.reset();
    sqlite::Statement select(db_, "SELECT memory_pointer, last_date, last_time FROM saved_up_to "
                                  "WHERE serial = ?");
    select.bindText(1, serial);
    if (select.next())
        out = SavedUpTo{std::size_t(select.integer(0)), select.text(1), select.text(2)};
    return select.failure();
}

JournalProblem Journal::recordSavedUpTo(const std::string &serial, const SavedUpTo &saved,
                                        UtcSeconds now) {
    sqlite::Statement upsert(
        db_, "INSERT INTO saved_up_to(serial, memory_pointer, last_date, last_time, saved_utc) "
             "VALUES(?1, ?2, ?3, ?4, ?5) ON CONFLICT(serial) DO UPDATE SET "
             "memory_pointer = ?2, saved_utc = ?5, "
             "last_date = CASE WHEN ?3 = '' THEN last_date ELSE ?3 END, "
             "last_time = CASE WHEN ?3 = '' THEN last_time ELSE ?4 END");
    upsert.bindText(1, serial);
    upsert.bindInt(2, std::int64_t(saved.memoryPointer));
    upsert.bindText(3, saved.lastDate);
    upsert.bindText(4, saved.lastTime);
    upsert.bindInt(5, now);
    return upsert.run();
}

// Each channel's newest readings come by its key, and are merged by time here: no sort over the
// logger's whole history.
JournalProblem Journal::newestReadings(const std::string &serial, int count,
                                       std::vector<Reading> &out) {
    out.clear();
    sqlite::Statement channels(db_, "SELECT c.id, c.channel FROM channels c "
                                    "JOIN loggers l ON l.id = c.logger_id WHERE l.serial = ?");
    channels.bindText(1, serial);
    std::map<UtcSeconds, Reading> byTime;
    while (channels.next()) {
        const int channel = int(channels.integer(1));
        sqlite::Statement newest(db_, "SELECT time_utc, value, value_text FROM readings "
                                      "WHERE channel_id = ? ORDER BY time_utc DESC LIMIT ?");
        newest.bindInt(1, channels.integer(0));
        newest.bindInt(2, count);
        while (newest.next()) {
            Reading &reading = byTime[newest.integer(0)];
            reading.values[channel] = newest.text(2);
            if (!newest.isNull(1))
                reading.fullValues[channel] = newest.real(1);
        }
        if (auto failed = newest.failure())
            return failed;
    }
    auto from = byTime.begin();
    std::advance(from, std::max<std::ptrdiff_t>(std::ptrdiff_t(byTime.size()) - count, 0));
    for (auto it = from; it != byTime.end(); ++it)
        out.push_back(std::move(it->second));
    return channels.failure();
}

} // namespace vantrell
