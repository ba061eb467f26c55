#include "forwarding/Outbox.h"

#include "forwarding/OutboxPayload.h"
#include "forwarding/OutboxRetry.h"
#include "forwarding/OutboxSnapshots.h"
#include "link/SmsModem.h"

#include <algorithm>

namespace vantrell {

namespace {
constexpr const char *overSnapshotLimit = "the outbox's snapshots would exceed ";
// An SMS takes the loop about three seconds; a phone book of failed alarms is worked off a few at
// a time, so that the next schedule time is never held up by it.
constexpr int smsRetriesPerPass = 3;
} // namespace

std::optional<UtcSeconds> nextTry(const OutboxSettings &settings, int tries, UtcSeconds created,
                                  UtcSeconds now) {
    const UtcSeconds givenUpAt = created + UtcSeconds(settings.giveUpHours) * 3600;
    if (now >= givenUpAt)
        return std::nullopt;
    UtcSeconds pause = settings.firstRetrySeconds;
    for (int t = 1; t < tries && pause < settings.maxRetrySeconds; ++t)
        pause *= 2;
    return std::min(now + std::min<UtcSeconds>(pause, settings.maxRetrySeconds), givenUpAt);
}

Outbox::Outbox(Journal *journal, std::optional<OutboxSettings> settings,
               std::filesystem::path snapshotFolder, const Clock &clock, OutboxLog log)
    : journal_(journal), settings_(settings), snapshotFolder_(std::move(snapshotFolder)),
      clock_(clock), log_(std::move(log)) {}

bool Outbox::mailTried(const MailMessage &message, const Delivery &result, int device) {
    DeliveryRow row;
    row.kind = DeliveryKind::mail;
    row.device = device;
    row.recipient = message.sendTo;
    row.what = message.subject;
    row.payload = encodeMail(message);
    // A mail the server never saw because of what it holds fails the same way every time.
    const bool retryable = messageProblem(message).empty();
    return tried(std::move(row), result, retryable,
                 message.attachments.empty() ? std::string() : message.attachments.front());
}

bool Outbox::uploadTried(const FtpUpload &upload, const Delivery &result, int device) {
    DeliveryRow row;
    row.kind = DeliveryKind::ftp;
    row.device = device;
    row.recipient = upload.login.remoteHost;
    row.what = upload.remoteName;
    row.payload = encodeUpload(upload);
    return tried(std::move(row), result, true, upload.localPath);
}

bool Outbox::smsTried(const std::string &number, const std::string &text, const Delivery &result,
                      int device) {
    DeliveryRow row;
    row.kind = DeliveryKind::sms;
    row.device = device;
    row.recipient = number;
    row.what = text;
    row.payload = encodeSms({number, text});
    return tried(std::move(row), result, smsNumber(number).has_value(), {});
}

bool Outbox::tried(DeliveryRow row, const Delivery &result, bool retryable,
                   const std::string &attachment) {
    if (journal_ == nullptr)
        return false;
    row.created = now();
    row.tries = 1;
    if (result.delivered()) {
        row.state = DeliveryState::sent;
        row.payload.clear();
    } else if (!settings_ || !retryable) {
        row.state = DeliveryState::failed;
        row.lastError = result.reason();
        row.payload.clear();
    } else {
        row.state = DeliveryState::pending;
        row.lastError = result.reason();
        row.nextTry = nextTry(*settings_, 1, row.created, row.created).value_or(row.created);
    }
    const bool tooBig = row.state == DeliveryState::pending && !attachment.empty() &&
                        snapshotSize(attachment) > settings_->snapshotLimitBytes;
    if (row.state == DeliveryState::pending && !tooBig)
        row.snapshot = keepSnapshot(row, attachment);
    const JournalProblem added = journal_->addDelivery(row);
    problem(added);
    if (tooBig)
        giveUp(*journal_, row,
               overSnapshotLimit + std::to_string(settings_->snapshotLimitBytes) + " bytes", log_);
    return row.state == DeliveryState::pending && !tooBig && !added;
}

std::string Outbox::keepSnapshot(const DeliveryRow &row, const std::string &attachment) {
    if (attachment.empty())
        return {};
    makeRoom(snapshotSize(attachment));
    std::string trouble;
    const std::filesystem::path copy = takeSnapshot(snapshotFolder_, attachment, trouble);
    if (copy.empty())
        log_(LogPriority::error, deliveryName(row) + ": no snapshot kept, " + trouble +
                                     "; a retry sends the file as it is then");
    return copy.string();
}

// The oldest deliveries give up their place first: a newer file holds the newer readings.
void Outbox::makeRoom(std::uint64_t bytes) {
    std::vector<DeliveryRow> pending;
    problem(journal_->pendingDeliveries(pending));
    std::sort(pending.begin(), pending.end(), [](const DeliveryRow &a, const DeliveryRow &b) {
        return a.created != b.created ? a.created < b.created : a.id < b.id;
    });
    std::uint64_t total = 0;
    for (const DeliveryRow &row : pending)
        total += snapshotSize(row.snapshot);
    const std::uint64_t limit = settings_->snapshotLimitBytes;
    for (DeliveryRow &row : pending) {
        if (total + bytes <= limit)
            return;
        if (row.snapshot.empty())
            continue;
        total -= std::min(total, snapshotSize(row.snapshot));
        giveUp(*journal_, row, overSnapshotLimit + std::to_string(limit) + " bytes", log_);
    }
}

void Outbox::retryDueSms(SmsModem &modem) {
    if (journal_ == nullptr || !settings_)
        return;
    std::vector<DeliveryRow> pending; // the longest due first
    problem(journal_->pendingDeliveries(pending, DeliveryKind::sms));
    const UtcSeconds at = now();
    int retried = 0;
    for (DeliveryRow &row : pending) {
        if (row.nextTry > at || retried == smsRetriesPerPass)
            break;
        ++retried;
        const std::optional<SmsPayload> sms = decodeSms(row.payload);
        if (!sms) {
            giveUp(*journal_, row, unreadablePayload, log_);
            continue;
        }
        settleTry(*journal_, *settings_, row, modem.send(sms->number, sms->text), now(), log_);
    }
}

UtcSeconds Outbox::now() const {
    return toUtc(clock_.localNow()).utc;
}

void Outbox::problem(const JournalProblem &problem) const {
    logProblem(log_, problem);
}

Outbox &noOutbox() {
    static Outbox none(nullptr, std::nullopt, {}, systemClock(), {});
    return none;
}

} // namespace vantrell
