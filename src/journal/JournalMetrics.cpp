// What the metrics file counts, read from the journal: the session totals that survive pruning,
// the devices' state, and the outbox.
#include "journal/Journal.h"

#include "journal/Sqlite.h"

#include <algorithm>
#include <map>

namespace vantrell {

JournalProblem Journal::stationCounts(StationCounts &out) {
    out = StationCounts{};
    std::map<int, DeviceCounts> devices;
    const auto device = [&devices](std::int64_t number) -> DeviceCounts & {
        DeviceCounts &counts = devices[int(number)];
        counts.device = int(number);
        return counts;
    };

    sqlite::Statement totals(db_, "SELECT device, letter, sessions, records_read, last_ended_utc "
                                  "FROM session_totals ORDER BY device, letter");
    while (totals.next()) {
        DeviceCounts &counts = device(totals.integer(0));
        const std::string letter = totals.text(1);
        if (!letter.empty())
            counts.sessionsByLetter.emplace_back(letter, totals.integer(2));
        counts.recordsRead += totals.integer(3);
        counts.lastSession = std::max(counts.lastSession.value_or(0), totals.integer(4));
    }
    if (auto failed = totals.failure())
        return failed;

    sqlite::Statement state(db_, "SELECT device, missed, last_good_utc FROM device_state");
    while (state.next()) {
        DeviceCounts &counts = device(state.integer(0));
        counts.missedTimes = int(state.integer(1));
        if (!state.isNull(2))
            counts.lastGoodRead = state.integer(2);
    }
    if (auto failed = state.failure())
        return failed;

    sqlite::Statement pending(db_, "SELECT count(*) FROM deliveries WHERE state = ?");
    pending.bindText(1, nameOf(DeliveryState::pending));
    if (pending.next())
        out.outboxPending = pending.integer(0);
    if (auto failed = pending.failure())
        return failed;

    for (auto &[number, counts] : devices)
        out.devices.push_back(std::move(counts));
    return {};
}

} // namespace vantrell
