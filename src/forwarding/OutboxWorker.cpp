#include "forwarding/Outbox.h"

#include "forwarding/FtpSteps.h"
#include "forwarding/OutboxPayload.h"
#include "forwarding/OutboxRetry.h"

#include "journal/LocalTime.h"

namespace vantrell {

namespace {
// How often the thread looks for deliveries that are due: retries are minutes apart, so a few
// seconds late is nothing, and an idle station stays idle.
constexpr double wakeInterval = 5;
} // namespace

OutboxWorker::OutboxWorker(std::filesystem::path journalFile, OutboxSettings settings,
                           MailSessionFactory mail, FtpSessionFactory ftp, OutboxLog log,
                           const Clock &clock)
    : journalFile_(std::move(journalFile)), settings_(settings), mail_(std::move(mail)),
      ftp_(std::move(ftp)), log_(std::move(log)), clock_(clock) {}

OutboxWorker::~OutboxWorker() {
    stop();
}

void OutboxWorker::start() {
    if (thread_.joinable())
        return;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void OutboxWorker::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void OutboxWorker::run() {
    while (!stopping()) {
        retryDue(toUtc(clock_.localNow()).utc);
        (void)pause(wakeInterval);
    }
}

bool OutboxWorker::stopping() {
    const std::lock_guard lock(mutex_);
    return stopping_;
}

bool OutboxWorker::pause(double seconds) {
    std::unique_lock lock(mutex_);
    return !clock_.waitUntil(wake_, lock, clock_.monotonicSeconds() + seconds,
                             [this] { return stopping_; });
}

// The journal is opened on the thread that uses it; one that cannot be opened now may be later
// (a locked file, a full disk), and is said once until it opens.
bool OutboxWorker::openJournal() {
    if (journal_)
        return true;
    const JournalProblem problem = Journal::open(journalFile_, Journal::Access::write, journal_);
    if (problem && problem.text != journalProblem_)
        logProblem(log_, problem);
    journalProblem_ = problem.text;
    return journal_ != nullptr;
}

void OutboxWorker::retryDue(UtcSeconds now) {
    if (!openJournal())
        return;
    std::vector<DeliveryRow> pending;
    logProblem(log_, journal_->pendingDeliveries(pending));
    for (DeliveryRow &row : pending) {
        if (row.kind == DeliveryKind::sms || row.nextTry > now)
            continue;
        if (stopping())
            return;
        const std::optional<Delivery> result =
            row.kind == DeliveryKind::mail ? retryMail(row) : retryUpload(row);
        if (result)
            settleTry(*journal_, settings_, row, *result, now, log_);
        else
            giveUp(*journal_, row, unreadablePayload, log_);
    }
}

// The mail as it was first given, with the snapshot, which has the file's name, as its attachment.
std::optional<Delivery> OutboxWorker::retryMail(const DeliveryRow &row) {
    const std::optional<MailMessage> message = decodeMail(row.payload);
    if (!message)
        return std::nullopt;
    const std::unique_ptr<MailSession> mail = mail_();
    mail->setServer(message->server);
    if (message->authenticationType)
        mail->setAuthenticationType(*message->authenticationType);
    mail->setUsername(message->username);
    mail->setPassword(message->password);
    mail->setPopServer(message->popServer);
    mail->setMailFrom(message->mailFrom);
    mail->setSendTo(message->sendTo);
    mail->setMessageSubject(message->subject);
    mail->setMessageText(message->text);
    for (std::size_t i = 0; i < message->attachments.size(); ++i)
        mail->addAttachment(i == 0 && !row.snapshot.empty() ? row.snapshot
                                                            : message->attachments[i]);
    return mail->sendEmail();
}

// The same commands as the first try, without its one-second pauses: the retry holds no line and
// no window that they were for.
std::optional<Delivery> OutboxWorker::retryUpload(const DeliveryRow &row) {
    const std::optional<FtpUpload> upload = decodeUpload(row.payload);
    if (!upload)
        return std::nullopt;
    const std::unique_ptr<FtpSession> ftp = ftp_();
    ftp->setRemoteHost(upload->login.remoteHost);
    ftp->setRemotePort(upload->login.remotePort);
    ftp->setUserName(upload->login.userName);
    ftp->setPassword(upload->login.password);
    std::vector<FtpStep> steps =
        uploadSteps(upload->folder, row.snapshot.empty() ? upload->localPath : row.snapshot,
                    upload->remoteName);
    for (FtpStep &step : steps)
        step.pauses = 0;
    const Delivery result =
        runFtpSteps(*ftp, steps, clock_, [this](double seconds) { return pause(seconds); });
    static_cast<void>(ftp->execute(ftpCommand::close));
    ftp->cancel();
    return result;
}

} // namespace vantrell
