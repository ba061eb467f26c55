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

#include <atomic>
#include <filesystem>
#include <functional>
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

// The pause before try `tries` + 1 after `tries` failed ones; nullopt when the delivery, first
// tried at `created`, is to be given up at `now`.
std::optional<UtcSeconds> nextTry(const OutboxSettings &settings, int tries, UtcSeconds created,
                                  UtcSeconds now);

// A log line from any thread: the outbox thread logs through it too.
using OutboxLog = std::function<void(LogPriority, const std::string &)>;

// The loop's side. Without a journal it records nothing and keeps nothing.
class Outbox {
public:
    Outbox(Journal *journal, std::optional<OutboxSettings> settings,
           std::filesystem::path snapshotFolder, const Clock &clock, OutboxLog log);

    void mailTried(const MailMessage &message, const Delivery &result, int device);
    void uploadTried(const FtpUpload &upload, const Delivery &result, int device);
    void smsTried(const std::string &number, const std::string &text, const Delivery &result,
                  int device);
    // The SMS retries that are due, on the station's loop between sessions.
    void retryDueSms(SmsModem &modem);
};

// Mail and upload retries on a thread of their own, with their own journal connection.
class OutboxWorker {
public:
    OutboxWorker(std::filesystem::path journalFile, OutboxSettings settings,
                 MailSessionFactory mail, FtpSessionFactory ftp, OutboxLog log);
    ~OutboxWorker(); // stops the thread
    void start();
    void stop();
    // One pass over the mail and uploads due at `now`; the thread calls it every few seconds.
    void retryDue(UtcSeconds now);
};

} // namespace vantrell
