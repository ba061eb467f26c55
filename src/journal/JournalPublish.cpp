// The MQTT publisher's side of the journal: the readings still to go, in the order they were
// recorded, and their markers removed once the broker has them.
#include "journal/Journal.h"

#include "journal/Sqlite.h"

namespace vantrell {

JournalProblem Journal::unpublishedReadings(std::int64_t afterSeq, int limit,
                                            std::vector<UnpublishedReading> &out) {
    out.clear();
    // Markers first, in their order: the planner would otherwise walk the readings.
    sqlite::Statement select(
        db_, "SELECT u.seq, r.time_utc, r.local_offset, r.device, l.serial, c.channel, c.name, "
             "c.unit, r.value FROM unpublished u "
             "CROSS JOIN readings r ON r.channel_id = u.channel_id AND r.time_utc = u.time_utc "
             "CROSS JOIN channels c ON c.id = u.channel_id "
             "CROSS JOIN loggers l ON l.id = c.logger_id "
             "WHERE u.seq > ? ORDER BY u.seq LIMIT ?");
    select.bindInt(1, afterSeq);
    select.bindInt(2, limit);
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

JournalProblem Journal::markPublished(const std::vector<std::int64_t> &seqs) {
    if (seqs.empty())
        return {};
    sqlite::Transaction transaction(db_);
    if (auto notBegun = transaction.failure())
        return notBegun;
    sqlite::Statement remove(db_, "DELETE FROM unpublished WHERE seq = ?");
    for (const std::int64_t seq : seqs) {
        remove.bindInt(1, seq);
        if (auto failed = remove.run())
            return failed;
    }
    return transaction.commit();
}

JournalProblem Journal::unpublishedCount(std::int64_t &count) {
    sqlite::Statement select(db_, "SELECT count(*) FROM unpublished");
    count = select.next() ? select.integer(0) : 0;
    return select.failure();
}

} // namespace vantrell
