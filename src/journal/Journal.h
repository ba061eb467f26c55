// The station's memory of what happened: its reading sessions, every reading a logger gave (in
// UTC beside the logger's local time), and every mail, upload and SMS with how it went. Data
// files stay the first copy of every reading; the journal is written after them, and a journal
// that fails never fails a session: every call here reports its problem as a value.
//
// SQLite in WAL mode: the station's loop writes through one connection, the outbox thread
// through another, and `status` and `export` read through a read-only one that never waits for
// a writer.
#pragma once

#include "config/LoggerParameters.h"
#include "general/Clock.h"
#include "journal/LocalTime.h"
#include "loggerdata/SavedUpTo.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

namespace vantrell {

// What went wrong with the journal, as one line for the log; empty when nothing did.
struct [[nodiscard]] JournalProblem {
    std::string text;
    explicit operator bool() const { return !text.empty(); }
};

// One reading session, as it ended.
struct SessionRow {
    int device = 0;       // 1..50
    int scheduleTime = 0; // 1..4
    UtcSeconds started = 0;
    UtcSeconds ended = 0;
    std::string letter; // the done mark it left; empty when it left none
    std::int64_t recordsRead = 0;
    std::string dataFile; // the last data file it wrote; empty when none
    int attempts = 0;
};

// The readings of one logger's transfer, after its data file was written.
struct LoggerReadings {
    int device = 0;
    std::string serial;
    // Channel c (1..4) at index c - 1: whether it is in use, its name and unit (UTF-8).
    struct Channel {
        bool enabled = false;
        std::string name;
        std::string unit;
    };
    std::array<Channel, 4> channels{};
    // In the order of the logger's memory (their order resolves a repeated local hour).
    const std::vector<Reading> *readings = nullptr;
    // The new readings are also kept as still to go to the MQTT broker.
    bool toPublish = false;
};

struct StoredReadings {
    std::int64_t added = 0;        // readings new to the journal
    std::int64_t alreadyKnown = 0; // read before (a logger whose memory is not erased)
};

enum class DeliveryKind { mail, ftp, sms };
enum class DeliveryState { sent, pending, givenUp, failed };
const char *nameOf(DeliveryKind kind);   // "mail", "ftp", "sms"
const char *nameOf(DeliveryState state); // "sent", "pending", "given up", "failed"

struct DeliveryRow {
    std::int64_t id = 0;
    DeliveryKind kind = DeliveryKind::mail;
    int device = 0; // 0 when it belongs to no device (a run report)
    std::string recipient;
    std::string what; // the subject of a mail, the remote name of an upload, an SMS's text
    DeliveryState state = DeliveryState::sent;
    int tries = 1;
    std::string lastError;
    UtcSeconds created = 0;
    UtcSeconds nextTry = 0;
    // What a retry needs to send it again, in the outbox's own encoding, and the copy of its
    // attachment (empty when it has none).
    std::string payload;
    std::string snapshot;
};

// An alarm the station raised, whatever became of it: an SMS to every number of the phone book
// is one alarm.
struct AlarmRow {
    std::int64_t id = 0;
    UtcSeconds raised = 0;
    int device = 0;      // 0: about no one device
    int channel = 0;     // 1..4; 0: not about one channel (a silent station, its return)
    std::string kind;    // "channel alarm", "limit alarm", "silent station", "answering again"
    std::string message; // the text that went (or should have gone) out
    std::string outcome; // "sent", "kept for a retry", or "not sent: <why>"

    bool operator==(const AlarmRow &) const = default;
};

// The newest reading of one channel of one logger a device has read.
struct LatestReading {
    std::string serial;
    int channel = 0;
    std::string name;
    std::string unit;
    UtcSeconds utc = 0;
    int offsetSeconds = 0;       // local = utc + offset
    std::optional<double> value; // empty for a missing reading

    bool operator==(const LatestReading &) const = default;
};

// Per device: what the silent-station alarm and `status` need.
struct DeviceJournal {
    int device = 0;
    std::optional<SessionRow> lastSession;
    // The end of the last session that saved the station's data ("X", "F" or "A").
    std::optional<UtcSeconds> lastGoodRead;
    int missedTimes = 0;         // schedule times in a row without the data saved
    bool silenceAlarmed = false; // the silent alarm went out for this silence
    std::string lastLetters;     // the newest last, at most ten
};

struct ReadingFilter {
    std::optional<int> device;
    std::optional<std::string> serial;
    std::optional<UtcSeconds> since; // inclusive
    std::optional<UtcSeconds> until; // exclusive
};

struct ExportedReading {
    UtcSeconds utc = 0;
    int offsetSeconds = 0; // local = utc + offset
    bool inGap = false;    // the logger's local time fell into the spring gap
    int device = 0;
    std::string serial;
    int channel = 0;
    std::string name;
    std::string unit;
    std::optional<double> value; // empty for a missing reading
    std::string valueText;       // as written in the data file
};

// A reading still to go to the MQTT broker: its marker's `seq` orders the markers as they were
// recorded, and a marker's readings go in time order.
struct UnpublishedReading {
    std::int64_t seq = 0;
    UtcSeconds utc = 0;
    int offsetSeconds = 0;
    int device = 0;
    std::string serial;
    int channel = 0;
    std::string name;
    std::string unit;
    std::optional<double> value; // empty for a missing reading
};

// A channel of a logger that a device has read, for plots.
struct ChannelOfDevice {
    std::string serial;
    int channel = 0;
    std::string name;
    std::string unit;
};

// What a plot asks for: one channel of one logger over a range, in at most `points` points.
struct SeriesRequest {
    std::string serial;
    int channel = 0;
    std::optional<UtcSeconds> since; // inclusive
    std::optional<UtcSeconds> until; // exclusive
    int points = 1000;
};

// One point of a plot: a reading (bucketSeconds 0: min = max = mean = the value), or a bucket of
// readings from the hourly or daily rollups (or several daily ones merged).
struct SeriesPoint {
    UtcSeconds start = 0;
    double min = 0;
    double max = 0;
    double mean = 0;
    std::int64_t count = 0;
};

struct Series {
    ChannelOfDevice channel;
    std::int64_t bucketSeconds = 0; // 0: single readings
    std::vector<SeriesPoint> points;
};

// Per device, what the metrics file shows: counts since the journal began, pruned sessions
// included.
struct DeviceCounts {
    int device = 0;
    std::optional<UtcSeconds> lastSession;  // the end of its last session
    std::optional<UtcSeconds> lastGoodRead; // the end of its last session that saved its data
    int missedTimes = 0;
    std::int64_t recordsRead = 0;
    // Sessions per letter left, by letter; sessions abandoned at shutdown left none and are not
    // among them.
    std::vector<std::pair<std::string, std::int64_t>> sessionsByLetter;
};

struct StationCounts {
    std::vector<DeviceCounts> devices; // by device number, those the journal knows
    std::int64_t outboxPending = 0;
};

class Journal {
public:
    enum class Access { write, readOnly };
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    // Opens (for writing: creates and migrates) the journal file. A file that is not a journal,
    // one locked past the bounded wait, or one that cannot be created gives a problem. The wait
    // for a lock another connection holds runs on `clock`.
    static JournalProblem open(const std::filesystem::path &file, Access access,
                               std::unique_ptr<Journal> &opened,
                               const Clock &clock = systemClock());

    // The station's loop.
    // Also keeps the device's count of missed times: a session that saved the data clears it, one
    // that left another letter adds one, one abandoned at shutdown (no letter) leaves it.
    // `repeatsTime`: a later session of a schedule time whose first one is recorded already; the
    // time is missed once, however often it is retried.
    JournalProblem recordSession(const SessionRow &session, bool repeatsTime = false);
    // One transaction; readings already in the journal (same serial, channel, UTC time) are
    // skipped. Hourly and daily minimum, maximum and mean per channel follow.
    JournalProblem recordReadings(const LoggerReadings &batch, StoredReadings &stored);
    JournalProblem markSilenceAlarmed(int device, bool alarmed);
    JournalProblem recordAlarm(AlarmRow &row); // sets row.id
    // Sessions, readings and alarms older than `cutoff`, with the readings' rollups.
    JournalProblem prune(UtcSeconds cutoff);
    // Loggers whose memory the station keeps: where the last save of the logger with `serial`
    // left off (none when it was never saved), and the record of a save at `now`. A save without
    // a time-stamped record keeps the time stamp before it.
    JournalProblem savedUpTo(const std::string &serial, std::optional<SavedUpTo> &out);
    JournalProblem recordSavedUpTo(const std::string &serial, const SavedUpTo &saved,
                                   UtcSeconds now);
    // The newest `count` readings of the logger with `serial`, oldest first, each with the value
    // texts and full values of its channels.
    JournalProblem newestReadings(const std::string &serial, int count, std::vector<Reading> &out);

    // Deliveries (the loop and the outbox thread, each on its own connection).
    JournalProblem addDelivery(DeliveryRow &row); // sets row.id
    JournalProblem updateDelivery(const DeliveryRow &row);
    JournalProblem pendingDeliveries(std::vector<DeliveryRow> &out,
                                     std::optional<DeliveryKind> kind = {});

    // The MQTT publisher (its own connection): up to `limit` readings still to go after the one
    // of marker `afterSeq` at `afterUtc`, oldest first; the readings the broker acknowledged, as
    // marker -> time up to which it acknowledged all of that marker's readings; and how many
    // readings are left.
    JournalProblem unpublishedReadings(std::int64_t afterSeq, UtcSeconds afterUtc, int limit,
                                       std::vector<UnpublishedReading> &out);
    JournalProblem markPublished(const std::map<std::int64_t, UtcSeconds> &acknowledgedUpTo);
    JournalProblem unpublishedCount(std::int64_t &count);

    // Readers.
    JournalProblem deviceJournal(int device, DeviceJournal &out);
    JournalProblem forEachReading(const ReadingFilter &filter,
                                  const std::function<void(const ExportedReading &)> &each);
    // Plots: the channels a device has read (newest logger first), its sessions since a moment
    // (newest first), and a channel's readings downsampled from the rollups so that no request
    // returns more than `points` points, whatever the range.
    JournalProblem channelsOfDevice(int device, std::vector<ChannelOfDevice> &out);
    JournalProblem sessionsSince(int device, UtcSeconds since, std::vector<SessionRow> &out);
    JournalProblem readingSeries(const SeriesRequest &request, Series &out);
    // The status page, each read a few index look-ups however long the journal's history: the
    // alarms raised from `since` on, newest first, at most `limit` (device 0: every device's);
    // and the newest reading of every channel of every logger the device has read, in serial
    // then channel order.
    JournalProblem alarmsSince(UtcSeconds since, int device, int limit, std::vector<AlarmRow> &out);
    JournalProblem latestReadings(int device, std::vector<LatestReading> &out);
    // Metrics: every device's counts and the deliveries still to go.
    JournalProblem stationCounts(StationCounts &out);

private:
    Journal(sqlite3 *db, const Clock &clock, double lockWait);
    static int waitForLock(void *journal, int tries);

    sqlite3 *db_;
    const Clock &clock_;
    double lockWait_;
    double lockWaitStarted_ = 0;
};

} // namespace vantrell
