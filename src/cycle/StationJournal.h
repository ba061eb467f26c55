// What the station's loop writes to the journal: after each logger whose data file was written,
// its readings, every alarm as it goes out or fails to, and at the end of every reading session
// one row with the letter it left. The data file stays the first copy, so a journal that cannot
// be opened or written never fails a session: its problem is an error line, once per schedule
// time, and the station reads on.
#pragma once

#include "config/ConfFile.h"
#include "config/SessionRequest.h"
#include "config/Station.h"
#include "cycle/OncePerTime.h"
#include "cycle/SessionResult.h"
#include "cycle/SilenceAlarm.h"
#include "journal/Journal.h"
#include "loggerdata/DataFile.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantrell {

class AlarmDelivery;

class StationJournal {
public:
    // Records nothing when `settings` leave the journal off.
    StationJournal(Station &station, const ConfSettings &settings);
    ~StationJournal();
    StationJournal(const StationJournal &) = delete;
    StationJournal &operator=(const StationJournal &) = delete;

    bool on() const { return on_; }
    // The journal file, relative paths taken from the configuration folder.
    const std::filesystem::path &file() const { return file_; }
    // The loop's connection, opened when first needed; one that could not be opened is tried
    // again at the next schedule time, so a disk that was fixed comes back. Null while the
    // journal is off or unavailable.
    Journal *journal();
    // Every alarm `alarms` sends is recorded, and the silent-station alarm goes out by them when
    // the settings ask for it. A setter: the forwarding that owns them is built on the outbox,
    // which needs the journal first.
    void attachAlarms(AlarmDelivery &alarms);

    // The session's hooks.
    void sessionStarted(const SessionRequest &request);
    // After each memory transfer: its records count as read, and those of a data file written
    // in full go into the journal.
    void loggerTransferred(const SessionRequest &request, const LoggerResult &logger);
    // An abandoned session (the program is ending) leaves a row without a letter.
    // With [retry], a session that another may mend leaves the silent-station alarm to
    // timeEnded: a device read again minutes later has not been silent yet.
    void sessionEnded(const SessionRequest &request, const SessionResult &result, int attempts);
    void timeEnded(int device);

    // [collect]: a device that does not erase its loggers asks each only for its new records.
    bool newRecordsOnly() const { return newRecordsOnly_; }
    bool collectsNewRecords(const SessionRequest &request) const;
    // Where the last save of `logger` left off; none when its whole memory is to be read (the
    // device erases, the logger was never saved, or the journal cannot say).
    std::optional<SavedUpTo> savedUpTo(const SessionRequest &request, const LoggerResult &logger);
    // The newest `count` readings of `logger`, oldest first, and after them the entry a data file
    // read back ends with; false when the journal cannot give them.
    bool newestReadings(const LoggerResult &logger, int count, std::vector<Reading> &out);

private:
    void report(const JournalProblem &problem);
    void pruneOncePerDay(UtcSeconds now);
    std::string today() const;

    Station &station_;
    bool on_;
    std::filesystem::path file_;
    int keepDays_;
    std::optional<SilenceSettings> silenceSettings_;
    // Readings recorded while no broker is configured are never published.
    bool toPublish_;
    bool newRecordsOnly_;
    bool retriesOn_;
    std::unique_ptr<Journal> journal_;
    std::optional<SilenceAlarm> silence_;
    OncePerTime openTried_;
    OncePerTime problemLogged_;
    std::string prunedOn_;
    SessionRow row_;
    // The session under way reads its device again within the same schedule time ([retry]).
    bool repeatsTime_ = false;
};

} // namespace vantrell
