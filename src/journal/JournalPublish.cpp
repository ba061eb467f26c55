// The MQTT publisher's side of the journal: the readings still to go, in the order they were
// recorded, and their markers moved on past what the broker has.
#include "journal/Journal.h"

#include "journal/Sqlite.h"

namespace vantrell {

JournalProblem Journal::unpublishedReadings(std::int64_t afterSeq, UtcSeconds afterUtc, int limit,
                                            std::vector<UnpublishedReading> &out) {
    out.clear();
    // Markers first, in their order, each a range of the readings' key that starts after the
    // last reading sent: the planner would otherwise walk the readings, and a long marker would
    // be walked from its start for every page.
    sqlite::Statement select(
        db_, "SELECT u.seq, r.time_utc, r.local_offset, r.device, l.serial, c.channel, c.name, "
             "c.unit, r.value FROM unpublished u "
             "CROSS JOIN channels c ON c.id = u.channel_id "
             "CROSS JOIN loggers l ON l.id = c.logger_id "
             "CROSS JOIN readings r ON r.channel_id = u.channel_id "
             "AND r.time_utc BETWEEN iif(u.seq = ?1, max(u.from_utc, ?2 + 1), u.from_utc) "
             "AND u.to_utc "
             "WHERE u.seq >= ?1 "
             "ORDER BY u.seq, r.time_utc LIMIT ?3");
    select.bindInt(1, afterSeq);
    select.bindInt(2, afterUtc);
    select.bindInt(3, limit);
    while (select.next()) {
        UnpublishedReading &row = out.emplace_back();
        row.seq = select.integer(0);
        row.utc = select.integer(1);
        row.offsetSeconds = int(select.integer(2));
        row.device = int(select.integer(3));
        row.serial = select.text(4);
        row.channel = int(select.integer(5));
        row.name = select.text(6);
        row.unit = select.text(7);
        if (!select.isNull(8))
            row.value = select.real(8);
    }
    return select.failure();
}

JournalProblem Journal::markPublished(const std::map<std::int64_t, UtcSeconds> &acknowledgedUpTo) {
    if (acknowledgedUpTo.empty())
        return {};
    sqlite::Transaction transaction(db_);
    if (auto notBegun = transaction.failure())
        return notBegun;
    sqlite::Statement remove(db_, "DELETE FROM unpublished WHERE seq = ?1 AND to_utc <= ?2");
    sqlite::Statement moveOn(db_, "UPDATE unpublished SET from_utc = ?2 + 1 WHERE seq = ?1");
    for (const auto &[seq, utc] : acknowledgedUpTo)
        for (sqlite::Statement *statement : {&remove, &moveOn}) {
            statement->bindInt(1, seq);
            statement->bindInt(2, utc);
            if (auto failed = statement->run())
                return failed;
        }
    return transaction.commit();
}

// The readings' key makes each marker's share a range count.
JournalProblem Journal::unpublishedCount(std::int64_t &count) {
    sqlite::Statement select(db_, "SELECT count(*) FROM unpublished u CROSS JOIN readings r "
                                  "ON r.channel_id = u.channel_id "
                                  "AND r.time_utc BETWEEN u.from_utc AND u.to_utc");
    count = select.next() ? select.integer(0) : 0;
    return select.failure();
}

} // namespace vantrell
