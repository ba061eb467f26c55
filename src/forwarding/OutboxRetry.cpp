#include "forwarding/OutboxRetry.h"

#include "forwarding/OutboxSnapshots.h"

namespace vantrell {

namespace {
std::string quoted(const std::string &text) {
    return "\"" + text + "\"";
}
} // namespace

std::string deliveryName(const DeliveryRow &row) {
    switch (row.kind) {
    case DeliveryKind::mail:
        return "mail to " + quoted(row.recipient);
    case DeliveryKind::ftp:
        return "upload of " + quoted(row.what) + " to " + quoted(row.recipient);
    case DeliveryKind::sms:
        return "SMS to " + quoted(row.recipient);
    }
    return {};
}

void settleTry(Journal &journal, const OutboxSettings &settings, DeliveryRow &row,
               const Delivery &result, UtcSeconds now, const OutboxLog &log) {
    ++row.tries;
    if (result.delivered()) {
        row.state = DeliveryState::sent;
        log(LogPriority::progress, deliveryName(row) + " sent on try " + std::to_string(row.tries));
        removeSnapshot(row.snapshot);
        logProblem(log, journal.updateDelivery(row));
        return;
    }
    const std::optional<UtcSeconds> next = nextTry(settings, row.tries, row.created, now);
    if (!next) {
        giveUp(journal, row, result.reason(), log);
        return;
    }
    row.lastError = result.reason();
    row.nextTry = *next;
    log(LogPriority::error, deliveryName(row) + " not sent on try " + std::to_string(row.tries) +
                                ": " + result.reason());
    logProblem(log, journal.updateDelivery(row));
}

void giveUp(Journal &journal, DeliveryRow &row, const std::string &reason, const OutboxLog &log) {
    row.state = DeliveryState::givenUp;
    row.lastError = reason;
    log(LogPriority::error, deliveryName(row) + " given up after " + std::to_string(row.tries) +
                                (row.tries == 1 ? " try: " : " tries: ") + reason);
    removeSnapshot(row.snapshot);
    logProblem(log, journal.updateDelivery(row));
}

void logProblem(const OutboxLog &log, const JournalProblem &problem) {
    if (problem)
        log(LogPriority::error, "journal: " + problem.text);
}

} // namespace vantrell
