#include "journal/Schema.h"

#include "journal/Sqlite.h"

#include <array>
#include <optional>
#include <string>

namespace vantrell {

namespace {

// Readings are the bulk (a full memory is 65 600 of them), so they carry integer keys only and
// no rowid: the key (channel, UTC time) is the row, and no second index doubles the cost of an
// insert (the export sorts by time, which SQLite does in bounded memory). Foreign keys stay off:
// the journal alone writes these tables, and a check per reading would cost the batch time for
// nothing.
constexpr const char *firstSchema = R"(
CREATE TABLE loggers(
    id INTEGER PRIMARY KEY,
    serial TEXT NOT NULL UNIQUE);
CREATE TABLE channels(
    id INTEGER PRIMARY KEY,
    logger_id INTEGER NOT NULL,
    channel INTEGER NOT NULL CHECK(channel BETWEEN 1 AND 4),
    name TEXT NOT NULL,
    unit TEXT NOT NULL,
    UNIQUE(logger_id, channel));
CREATE TABLE sessions(
    id INTEGER PRIMARY KEY,
    device INTEGER NOT NULL,
    schedule_time INTEGER NOT NULL,
    started_utc INTEGER NOT NULL,
    ended_utc INTEGER NOT NULL,
    letter TEXT NOT NULL,
    records_read INTEGER NOT NULL,
    data_file TEXT NOT NULL,
    attempts INTEGER NOT NULL);
CREATE INDEX sessions_by_device ON sessions(device, id);
CREATE TABLE readings(
    channel_id INTEGER NOT NULL,
    time_utc INTEGER NOT NULL,
    local_offset INTEGER NOT NULL,
    in_gap INTEGER NOT NULL,
    device INTEGER NOT NULL,
    value REAL,
    value_text TEXT NOT NULL,
    session_id INTEGER,
    PRIMARY KEY(channel_id, time_utc)) WITHOUT ROWID;
CREATE TABLE rollups(
    channel_id INTEGER NOT NULL,
    period INTEGER NOT NULL,
    bucket_start INTEGER NOT NULL,
    count INTEGER NOT NULL,
    sum REAL NOT NULL,
    min REAL NOT NULL,
    max REAL NOT NULL,
    PRIMARY KEY(channel_id, period, bucket_start)) WITHOUT ROWID;
CREATE TABLE device_state(
    device INTEGER PRIMARY KEY,
    missed INTEGER NOT NULL DEFAULT 0,
    silence_alarmed INTEGER NOT NULL DEFAULT 0,
    last_good_utc INTEGER,
    last_letters TEXT NOT NULL DEFAULT '');
CREATE TABLE deliveries(
    id INTEGER PRIMARY KEY,
    kind TEXT NOT NULL,
    device INTEGER NOT NULL,
    recipient TEXT NOT NULL,
    what TEXT NOT NULL,
    state TEXT NOT NULL,
    tries INTEGER NOT NULL,
    last_error TEXT NOT NULL,
    created_utc INTEGER NOT NULL,
    next_try_utc INTEGER NOT NULL,
    payload BLOB NOT NULL,
    snapshot BLOB NOT NULL);
CREATE INDEX deliveries_by_state ON deliveries(state, next_try_utc);
)";

// Plots list a device's channels without touching the readings: one row per logger a device has
// read, with its newest reading, kept by each batch. Journals from before it fill it once here.
constexpr const char *deviceLoggers = R"(
CREATE TABLE device_loggers(
    device INTEGER NOT NULL,
    logger_id INTEGER NOT NULL,
    newest_utc INTEGER NOT NULL,
    PRIMARY KEY(device, logger_id)) WITHOUT ROWID;
INSERT INTO device_loggers(device, logger_id, newest_utc)
    SELECT r.device, c.logger_id, max(r.time_utc) FROM readings r
    JOIN channels c ON c.id = r.channel_id GROUP BY r.device, c.logger_id;
)";

// The metrics' counters must never go down while the station lives, but pruning deletes old
// sessions: their totals are kept here, per device and letter, by a trigger on every session
// row, so that no writer of sessions has to remember them. Seeded from the sessions a journal
// already holds.
constexpr const char *sessionTotals = R"(
CREATE TABLE session_totals(
    device INTEGER NOT NULL,
    letter TEXT NOT NULL,
    sessions INTEGER NOT NULL,
    records_read INTEGER NOT NULL,
    last_ended_utc INTEGER NOT NULL,
    PRIMARY KEY(device, letter)) WITHOUT ROWID;
INSERT INTO session_totals
    SELECT device, letter, count(*), sum(records_read), max(ended_utc) FROM sessions
    GROUP BY device, letter;
CREATE TRIGGER sessions_counted AFTER INSERT ON sessions BEGIN
    INSERT INTO session_totals
        VALUES(new.device, new.letter, 1, new.records_read, new.ended_utc)
        ON CONFLICT(device, letter) DO UPDATE SET
            sessions = sessions + 1,
            records_read = records_read + excluded.records_read,
            last_ended_utc = max(last_ended_utc, excluded.last_ended_utc);
END;
)";

// The readings still to go to the MQTT broker, in the order they were recorded (the key is the
// sequence). Only readings recorded while the broker is configured come here: a marker per channel
// for each stretch of new readings a batch brought, covering the channel's readings from from_utc
// to to_utc. The broker's acknowledgements move from_utc on and delete the marker at its end, so
// the table stays as short as the backlog and costs next to nothing per reading. AUTOINCREMENT:
// the publisher goes on after the last sequence it sent, so no sequence may come twice, not even
// after the backlog emptied the table.
constexpr const char *unpublishedReadings = R"(
CREATE TABLE unpublished(
    seq INTEGER PRIMARY KEY AUTOINCREMENT,
    channel_id INTEGER NOT NULL,
    from_utc INTEGER NOT NULL,
    to_utc INTEGER NOT NULL);
)";

// Every alarm the station raised, one row per alarm message, pruned with the sessions. The
// status page lists the last week's, newest first: the time index serves that range, read
// backwards.
constexpr const char *alarms = R"(
CREATE TABLE alarms(
    id INTEGER PRIMARY KEY,
    raised_utc INTEGER NOT NULL,
    device INTEGER NOT NULL,
    channel INTEGER NOT NULL,
    kind TEXT NOT NULL,
    message TEXT NOT NULL,
    outcome TEXT NOT NULL);
CREATE INDEX alarms_by_time ON alarms(raised_utc);
)";

// Per serial number, where the last save of a logger whose memory the station keeps left off:
// the next session asks it only for the records after that. A journal whose version was set back
// keeps the table, so migrating it again must not fail on it.
constexpr const char *savedUpTo = R"(
CREATE TABLE IF NOT EXISTS saved_up_to(
    serial TEXT PRIMARY KEY,
    memory_pointer INTEGER NOT NULL,
    last_date TEXT NOT NULL,
    last_time TEXT NOT NULL,
    saved_utc INTEGER NOT NULL) WITHOUT ROWID;
)";

constexpr std::array migrations{firstSchema,         deviceLoggers, sessionTotals,
                                unpublishedReadings, alarms,        savedUpTo};

// Nothing to do, a newer journal (a problem), or a version to migrate from.
std::optional<int> versionToMigrate(sqlite3 *db, JournalProblem &problem) {
    const int version = storedSchemaVersion(db, problem);
    if (version > journalSchemaVersion())
        problem =
            sqlite::problem(db, "made by a newer program (schema " + std::to_string(version) + ")");
    if (problem || version == journalSchemaVersion())
        return std::nullopt;
    return version;
}

} // namespace

int journalSchemaVersion() {
    return int(migrations.size());
}

int storedSchemaVersion(sqlite3 *db, JournalProblem &problem) {
    sqlite::Statement version(db, "PRAGMA user_version");
    if (version.next())
        return int(version.integer(0));
    problem = version.failure();
    return -1;
}

JournalProblem migrateJournal(sqlite3 *db) {
    JournalProblem problem;
    // Most opens find the journal up to date and need no write lock for it.
    if (!versionToMigrate(db, problem))
        return problem;
    for (;;) {
        sqlite::Transaction transaction(db);
        if (auto notBegun = transaction.failure())
            return notBegun;
        // Read again inside the write lock: another connection may have migrated meanwhile.
        const auto version = versionToMigrate(db, problem);
        if (!version)
            return problem;
        if (auto failed = sqlite::exec(db, migrations[std::size_t(*version)]))
            return failed;
        const std::string bump = "PRAGMA user_version = " + std::to_string(*version + 1);
        if (auto failed = sqlite::exec(db, bump.c_str()))
            return failed;
        if (auto failed = transaction.commit())
            return failed;
    }
}

} // namespace vantrell
