// The outbox: every mail, upload and SMS is tried once exactly as the station always did; with
// the journal on, each try is recorded, and with the outbox on a failed one is kept (with a copy
// of its attachment, since an appended data file changes later) and tried again with a growing
// pause until it goes out or its time is up. Retries never hold up a reading session: mail and
// uploads are retried on a thread of their own, SMS on the station's loop between sessions,
// because the SMS modem's port belongs to the loop.
#pragma once

#include "config/ConfFile.h"
#include "forwarding/FtpSession.h"
#include "forwarding/MailSession.h"
#include "general/Clock.h"
#include "general/Delivery.h"
#include "general/Progress.h"
#include "journal/Journal.h"

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vantrell {

class SmsModem;

// An FTP upload as the data forwarding gives it: log-in, the folder to change to, the local file
// and its name there.
struct FtpUpload {
    FtpLogin login;
    std::string folder;
    std::string localPath;
    std::string remoteName;
};

// When try `tries` + 1 is due, after `tries` failed ones, the last of them at `now`: the pause
// starts at first_retry_s and doubles with every try up to max_retry_s, and never reaches past
// the moment the delivery is given up, so that its last try falls on that moment. nullopt when
// the delivery, first tried at `created`, is to be given up at `now`.
std::optional<UtcSeconds> nextTry(const OutboxSettings &settings, int tries, UtcSeconds created,
                                  UtcSeconds now);

// Where a station keeps the copies of attachments waiting for a retry, in its configuration
// folder.
inline constexpr const char *outboxFolder = "outbox";

// A log line from any thread: the outbox thread logs through it too.
using OutboxLog = std::function<void(LogPriority, const std::string &)>;

// The loop's side. Without a journal it records nothing and keeps nothing.
class Outbox {
public:
    Outbox(Journal *journal, std::optional<OutboxSettings> settings,
           std::filesystem::path snapshotFolder, const Clock &clock, OutboxLog log);

    // Each records a try and gives whether a failed one is kept for a retry.
    bool mailTried(const MailMessage &message, const Delivery &result, int device);
    bool uploadTried(const FtpUpload &upload, const Delivery &result, int device);
    bool smsTried(const std::string &number, const std::string &text, const Delivery &result,
                  int device);
    // The SMS retries that are due, on the station's loop between sessions; a few at most, each
    // pass, so that the loop is back within seconds.
    void retryDueSms(SmsModem &modem);

private:
    // `retryable`: a failure that a later try could mend (not a malformed address or number).
    bool tried(DeliveryRow row, const Delivery &result, bool retryable,
               const std::string &attachment);
    // A copy of `attachment` in the snapshot folder, after older snapshots made room for it;
    // empty when there is none or none could be made (then a retry sends the original).
    std::string keepSnapshot(const DeliveryRow &row, const std::string &attachment);
    void makeRoom(std::uint64_t bytes);
    UtcSeconds now() const;
    void problem(const JournalProblem &problem) const;

    Journal *journal_;
    std::optional<OutboxSettings> settings_;
    std::filesystem::path snapshotFolder_;
    const Clock &clock_;
    OutboxLog log_;
};

// The outbox of a station without a journal: it records nothing and keeps nothing.
Outbox &noOutbox();

// Mail and upload retries on a thread of their own, with their own journal connection.
class OutboxWorker {
public:
    // Its back-off and waits run on `clock`.
    OutboxWorker(std::filesystem::path journalFile, OutboxSettings settings,
                 MailSessionFactory mail, FtpSessionFactory ftp, OutboxLog log,
                 const Clock &clock = systemClock());
    ~OutboxWorker(); // stops the thread
    void start();
    void stop();
    // One pass over the mail and uploads due at `now`; the thread calls it every few seconds.
    void retryDue(UtcSeconds now);

private:
    void run();
    bool openJournal();
    // nullopt when what the row keeps to send cannot be read.
    std::optional<Delivery> retryMail(const DeliveryRow &row);
    std::optional<Delivery> retryUpload(const DeliveryRow &row);
    // A pause that stop() cuts short; false when it did.
    bool pause(double seconds);
    bool stopping();

    // Set before the thread starts and never changed after.
    std::filesystem::path journalFile_;
    OutboxSettings settings_;
    MailSessionFactory mail_;
    FtpSessionFactory ftp_;
    OutboxLog log_;      // safe from any thread: the station's log takes lines from several
    const Clock &clock_; // safe from any thread
    // The outbox thread's own: its journal connection and what it last logged.
    std::unique_ptr<Journal> journal_;
    std::string journalProblem_; // the last one logged, so that it is logged once
    // Guards stopping_, which stop() sets from the loop's thread.
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace vantrell
