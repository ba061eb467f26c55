#include "journal/Journal.h"

#include "config/SessionStatus.h"
#include "journal/Schema.h"
#include "journal/Sqlite.h"

#include <sqlite3.h>

#include <array>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace vantrell {

namespace {

// A writer waits this long for another connection's transaction (the outbox thread's are a few
// milliseconds) before the journal counts as locked. A reader never waits for a writer in WAL
// mode, only for the rare moment a connection recovers the log or another program holds the
// file locked: status and export then say so at once rather than hang a monitoring check.
constexpr double writerLockWait = 2.0;
constexpr double readerLockWait = 0.2;
// How often a locked journal is tried again within that wait.
constexpr double lockRetryPause = 0.01;

// What the journal says of a file no writer has made a journal of yet.
constexpr const char *noJournalYet = "no journal yet";

// device_state.last_letters keeps this many, the newest last.
constexpr int keptLetters = 10;

constexpr std::array kindNames{std::pair{DeliveryKind::mail, "mail"},
                               std::pair{DeliveryKind::ftp, "ftp"},
                               std::pair{DeliveryKind::sms, "sms"}};
constexpr std::array stateNames{
    std::pair{DeliveryState::sent, "sent"}, std::pair{DeliveryState::pending, "pending"},
    std::pair{DeliveryState::givenUp, "given up"}, std::pair{DeliveryState::failed, "failed"}};

template <typename Names, typename Value> const char *nameIn(const Names &names, Value value) {
    for (const auto &[v, name] : names)
        if (v == value)
            return name;
    return "";
}

// A name the journal does not know reads as the first value: it was written by this code.
template <typename Names> auto valueIn(const Names &names, const std::string &name) {
    for (const auto &[v, n] : names)
        if (name == n)
            return v;
    return names.front().first;
}

JournalProblem problemAt(const std::filesystem::path &file, std::string_view what) {
    return {"journal " + file.string() + ": " + std::string(what)};
}

// The columns of a delivery, in the order the statements bind them.
constexpr const char *deliveryColumns = "kind, device, recipient, what, state, tries, last_error, "
                                        "created_utc, next_try_utc, payload, snapshot";

void bindDelivery(sqlite::Statement &statement, const DeliveryRow &row) {
    statement.bindText(1, nameOf(row.kind));
    statement.bindInt(2, row.device);
    statement.bindText(3, row.recipient);
    statement.bindText(4, row.what);
    statement.bindText(5, nameOf(row.state));
    statement.bindInt(6, row.tries);
    statement.bindText(7, row.lastError);
    statement.bindInt(8, row.created);
    statement.bindInt(9, row.nextTry);
    statement.bindBlob(10, row.payload);
    statement.bindBlob(11, row.snapshot);
}

// Column 0 the id, then deliveryColumns.
DeliveryRow readDelivery(const sqlite::Statement &statement) {
    DeliveryRow row;
    row.id = statement.integer(0);
    row.kind = valueIn(kindNames, statement.text(1));
    row.device = int(statement.integer(2));
    row.recipient = statement.text(3);
    row.what = statement.text(4);
    row.state = valueIn(stateNames, statement.text(5));
    row.tries = int(statement.integer(6));
    row.lastError = statement.text(7);
    row.created = statement.integer(8);
    row.nextTry = statement.integer(9);
    row.payload = statement.blob(10);
    row.snapshot = statement.blob(11);
    return row;
}

// A reader opens only a journal a writer has made, and of the version it knows.
JournalProblem checkReadable(sqlite3 *db, const std::filesystem::path &file) {
    JournalProblem problem;
    const int version = storedSchemaVersion(db, problem);
    if (problem)
        return problem;
    if (version == 0)
        return problemAt(file, noJournalYet);
    if (version != journalSchemaVersion())
        return problemAt(file, "schema " + std::to_string(version) + ", this program reads " +
                                   std::to_string(journalSchemaVersion()));
    return {};
}

} // namespace

const char *nameOf(DeliveryKind kind) {
    return nameIn(kindNames, kind);
}

const char *nameOf(DeliveryState state) {
    return nameIn(stateNames, state);
}

Journal::Journal(sqlite3 *db, const Clock &clock, double lockWait)
    : db_(db), clock_(clock), lockWait_(lockWait) {}

// SQLite asks again and again while another connection holds the lock; `tries` counts the asks
// of one wait. The wait runs on the journal's clock.
int Journal::waitForLock(void *journal, int tries) {
    Journal &self = *static_cast<Journal *>(journal);
    const double now = self.clock_.monotonicSeconds();
    if (tries == 0)
        self.lockWaitStarted_ = now;
    if (now - self.lockWaitStarted_ >= self.lockWait_)
        return 0;
    std::mutex mutex;
    std::condition_variable nobodyWakes;
    std::unique_lock lock(mutex);
    (void)self.clock_.waitUntil(nobodyWakes, lock, now + lockRetryPause, [] { return false; });
    return 1;
}

Journal::~Journal() {
    sqlite3_close_v2(db_);
}

JournalProblem Journal::open(const std::filesystem::path &file, Access access,
                             std::unique_ptr<Journal> &opened, const Clock &clock) {
    opened.reset();
    const bool readOnly = access == Access::readOnly;
    std::error_code ec;
    if (readOnly && !std::filesystem::exists(file, ec))
        return problemAt(file, noJournalYet);
    sqlite3 *db = nullptr;
    // Each connection serves one thread, so SQLite need not lock it for every call.
    const int flags = SQLITE_OPEN_NOMUTEX | (readOnly ? SQLITE_OPEN_READONLY
                                                      : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    const int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    std::unique_ptr<Journal> journal(
        new Journal(db, clock, readOnly ? readerLockWait : writerLockWait));
    if (rc != SQLITE_OK)
        return problemAt(file, db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_busy_handler(db, waitForLock, journal.get());
    if (readOnly) {
        if (auto problem = checkReadable(db, file))
            return problem;
    } else {
        // NORMAL is safe in WAL mode: a killed process loses nothing it committed, and only a
        // power cut can lose the last transactions (never the journal's consistency). A full
        // logger memory fits the cache, so a batch is not spilled before its commit.
        if (auto problem = sqlite::exec(db, "PRAGMA journal_mode = WAL; "
                                            "PRAGMA synchronous = NORMAL; "
                                            "PRAGMA cache_size = -32768"))
            return problem;
        if (auto problem = migrateJournal(db))
            return problem;
    }
    opened = std::move(journal);
    return {};
}

JournalProblem Journal::recordSession(const SessionRow &session, bool repeatsTime) {
    sqlite::Transaction transaction(db_);
    if (auto notBegun = transaction.failure())
        return notBegun;
    sqlite::Statement insert(db_, "INSERT INTO sessions(device, schedule_time, started_utc, "
                                  "ended_utc, letter, records_read, data_file, attempts) "
                                  "VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    insert.bindInt(1, session.device);
    insert.bindInt(2, session.scheduleTime);
    insert.bindInt(3, session.started);
    insert.bindInt(4, session.ended);
    insert.bindText(5, session.letter);
    insert.bindInt(6, session.recordsRead);
    insert.bindText(7, session.dataFile);
    insert.bindInt(8, session.attempts);
    if (auto failed = insert.run())
        return failed;
    if (!session.letter.empty()) {
        sqlite::Statement state(
            db_, "INSERT INTO device_state(device, missed, last_good_utc, last_letters) "
                 "VALUES(?1, ?2, ?3, ?4) ON CONFLICT(device) DO UPDATE SET "
                 "missed = CASE WHEN ?2 = 0 THEN 0 ELSE missed + ?6 END, "
                 "last_good_utc = coalesce(?3, last_good_utc), "
                 "last_letters = substr(last_letters || ?4, -?5)");
        const bool good = dataSaved(session.letter);
        state.bindInt(1, session.device);
        state.bindInt(2, good ? 0 : 1);
        if (good)
            state.bindInt(3, session.ended);
        else
            state.bindNull(3);
        state.bindText(4, session.letter);
        state.bindInt(5, keptLetters);
        state.bindInt(6, repeatsTime ? 0 : 1);
        if (auto failed = state.run())
            return failed;
    }
    return transaction.commit();
}

JournalProblem Journal::markSilenceAlarmed(int device, bool alarmed) {
    sqlite::Statement mark(db_, "INSERT INTO device_state(device, silence_alarmed) VALUES(?, ?) "
                                "ON CONFLICT(device) DO UPDATE SET "
                                "silence_alarmed = excluded.silence_alarmed");
    mark.bindInt(1, device);
    mark.bindInt(2, alarmed ? 1 : 0);
    return mark.run();
}

JournalProblem Journal::recordAlarm(AlarmRow &row) {
    sqlite::Statement insert(db_, "INSERT INTO alarms(raised_utc, device, channel, kind, message, "
                                  "outcome) VALUES(?, ?, ?, ?, ?, ?)");
    insert.bindInt(1, row.raised);
    insert.bindInt(2, row.device);
    insert.bindInt(3, row.channel);
    insert.bindText(4, row.kind);
    insert.bindText(5, row.message);
    insert.bindText(6, row.outcome);
    if (auto failed = insert.run())
        return failed;
    row.id = sqlite3_last_insert_rowid(db_);
    return {};
}

// The time index gives the range newest first; one device's alarms are picked from it, since a
// week holds few alarms.
JournalProblem Journal::alarmsSince(UtcSeconds since, int device, int limit,
                                    std::vector<AlarmRow> &out) {
    out.clear();
    sqlite::Statement select(db_, "SELECT id, raised_utc, device, channel, kind, message, outcome "
                                  "FROM alarms WHERE raised_utc >= ?1 AND (?2 = 0 OR device = ?2) "
                                  "ORDER BY raised_utc DESC, id DESC LIMIT ?3");
    select.bindInt(1, since);
    select.bindInt(2, device);
    select.bindInt(3, limit);
    while (select.next())
        out.push_back({select.integer(0), select.integer(1), int(select.integer(2)),
                       int(select.integer(3)), select.text(4), select.text(5), select.text(6)});
    return select.failure();
}

JournalProblem Journal::addDelivery(DeliveryRow &row) {
    sqlite::Statement insert(db_, std::string("INSERT INTO deliveries(") + deliveryColumns +
                                      ") VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    bindDelivery(insert, row);
    if (auto failed = insert.run())
        return failed;
    row.id = sqlite3_last_insert_rowid(db_);
    return {};
}

JournalProblem Journal::updateDelivery(const DeliveryRow &row) {
    sqlite::Statement update(db_, "UPDATE deliveries SET kind = ?, device = ?, recipient = ?, "
                                  "what = ?, state = ?, tries = ?, last_error = ?, "
                                  "created_utc = ?, next_try_utc = ?, payload = ?, snapshot = ? "
                                  "WHERE id = ?");
    bindDelivery(update, row);
    update.bindInt(12, row.id);
    if (auto failed = update.run())
        return failed;
    if (update.changes() == 0)
        return sqlite::problem(db_, "no delivery " + std::to_string(row.id));
    return {};
}

JournalProblem Journal::pendingDeliveries(std::vector<DeliveryRow> &out,
                                          std::optional<DeliveryKind> kind) {
    out.clear();
    sqlite::Statement select(db_, std::string("SELECT id, ") + deliveryColumns +
                                      " FROM deliveries WHERE state = ?1"
                                      " AND (?2 IS NULL OR kind = ?2)"
                                      " ORDER BY next_try_utc, id");
    select.bindText(1, nameOf(DeliveryState::pending));
    if (kind)
        select.bindText(2, nameOf(*kind));
    else
        select.bindNull(2);
    while (select.next())
        out.push_back(readDelivery(select));
    return select.failure();
}

JournalProblem Journal::deviceJournal(int device, DeviceJournal &out) {
    out = DeviceJournal{};
    out.device = device;
    sqlite::Statement session(db_, "SELECT schedule_time, started_utc, ended_utc, letter, "
                                   "records_read, data_file, attempts FROM sessions "
                                   "WHERE device = ? ORDER BY id DESC LIMIT 1");
    session.bindInt(1, device);
    if (session.next()) {
        SessionRow row;
        row.device = device;
        row.scheduleTime = int(session.integer(0));
        row.started = session.integer(1);
        row.ended = session.integer(2);
        row.letter = session.text(3);
        row.recordsRead = session.integer(4);
        row.dataFile = session.text(5);
        row.attempts = int(session.integer(6));
        out.lastSession = std::move(row);
    }
    if (auto failed = session.failure())
        return failed;
    sqlite::Statement state(db_, "SELECT missed, silence_alarmed, last_good_utc, last_letters "
                                 "FROM device_state WHERE device = ?");
    state.bindInt(1, device);
    if (state.next()) {
        out.missedTimes = int(state.integer(0));
        out.silenceAlarmed = state.integer(1) != 0;
        if (!state.isNull(2))
            out.lastGoodRead = state.integer(2);
        out.lastLetters = state.text(3);
    }
    return state.failure();
}

} // namespace vantrell
