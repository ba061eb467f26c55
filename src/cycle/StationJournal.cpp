#include "cycle/StationJournal.h"

#include "config/SessionStatus.h"
#include "cycle/Schedule.h"
#include "forwarding/AlarmDelivery.h"
#include "general/Progress.h"
#include "general/Text.h"

#include <algorithm>

namespace vantrell {

namespace {
constexpr const char *readsOn = "; the station reads on without it";
constexpr long long secondsPerDay = 24 * 3600;
// More readings than any acceleration window of a logger looks back on: a year and a half of
// ten-minute samplings.
constexpr int mostHistoryReadings = 100000;

// The logger's pointer and its last record with a time stamp; a memory without one keeps the
// stamp saved before.
SavedUpTo savedUpToOf(const LoggerResult &logger) {
    SavedUpTo saved{std::size_t(std::max(valInt(logger.parameters.memoryPointer), 0LL)), {}, {}};
    const auto last = std::find_if(logger.readings.rbegin(), logger.readings.rend(),
                                   [](const Reading &r) { return !r.date.empty(); });
    if (last != logger.readings.rend()) {
        saved.lastDate = last->date;
        saved.lastTime = last->time;
    }
    return saved;
}
} // namespace

StationJournal::StationJournal(Station &station, const ConfSettings &settings)
    : station_(station), on_(settings.journalOn()), keepDays_(settings.journalSettings().keepDays),
      silenceSettings_(settings.silence), toPublish_(settings.mqtt && settings.mqtt->on()),
      newRecordsOnly_(settings.newRecordsOnly()), retriesOn_(settings.retry.has_value()) {
    const std::filesystem::path file = settings.journalSettings().file;
    file_ = file.is_relative() ? station.configDir() / file : file;
}

void StationJournal::attachAlarms(AlarmDelivery &alarms) {
    if (on_)
        alarms.recordAlarmsBy([this](AlarmRow &row) {
            if (Journal *journal = this->journal())
                report(journal->recordAlarm(row));
        });
    if (silenceSettings_ && silenceSettings_->afterMissed > 0)
        silence_.emplace(station_, alarms, *silenceSettings_);
}

StationJournal::~StationJournal() = default;

std::string StationJournal::today() const {
    return dayText(station_.clock().localNow());
}

Journal *StationJournal::journal() {
    if (!on_ || journal_)
        return journal_.get();
    if (openTried_.first(today(), station_.session.dailyMarkIndex))
        report(Journal::open(file_, Journal::Access::write, journal_));
    return journal_.get();
}

void StationJournal::report(const JournalProblem &problem) {
    if (problem && problemLogged_.first(today(), station_.session.dailyMarkIndex))
        station_.progress().problem("journal", problem.text + readsOn);
}

void StationJournal::sessionStarted(const SessionRequest &request) {
    row_ = SessionRow{};
    row_.device = request.device;
    row_.scheduleTime = request.scheduleTime();
    row_.started = toUtc(station_.clock().localNow()).utc;
    repeatsTime_ = station_.sessionsInTime.contains({request.scheduleTime(), request.device});
}

void StationJournal::loggerTransferred(const SessionRequest &request, const LoggerResult &logger) {
    // Records as received: a transfer cut short decodes none, but it did read them.
    row_.recordsRead += std::int64_t(logger.records.size());
    if (logger.saved != MemorySaved::inFile)
        return;
    row_.dataFile = logger.path;
    Journal *journal = this->journal();
    if (journal == nullptr)
        return;
    LoggerReadings batch;
    batch.device = request.device;
    batch.serial = trim(logger.parameters.loggerSerial);
    for (int c = 1; c <= 4; ++c) {
        const ChannelParameters &channel = logger.parameters.channel(c);
        batch.channels[std::size_t(c - 1)] = {channel.enabled == 1, trim(channel.name),
                                              trim(channel.unitText)};
    }
    batch.readings = &logger.readings;
    batch.toPublish = toPublish_;
    StoredReadings stored;
    report(journal->recordReadings(batch, stored));
    // The data file is the first copy: its records are never asked for again, whatever the
    // journal made of them. Kept whenever the journal is, so that [collect] turned on later
    // starts where the last save ended; a device that erases starts its next read at record 1,
    // since a memory emptied, or perhaps emptied, must never be asked for from further on.
    SavedUpTo saved = savedUpToOf(logger);
    if (request.record.flag(field::eraseMemory))
        saved.memoryPointer = 1;
    report(journal->recordSavedUpTo(batch.serial, saved, toUtc(station_.clock().localNow()).utc));
}

bool StationJournal::collectsNewRecords(const SessionRequest &request) const {
    return newRecordsOnly_ && !request.record.flag(field::eraseMemory);
}

std::optional<SavedUpTo> StationJournal::savedUpTo(const SessionRequest &request,
                                                   const LoggerResult &logger) {
    std::optional<SavedUpTo> saved;
    Journal *journal = collectsNewRecords(request) ? this->journal() : nullptr;
    if (journal != nullptr)
        report(journal->savedUpTo(trim(logger.parameters.loggerSerial), saved));
    return saved;
}

bool StationJournal::newestReadings(const LoggerResult &logger, int count,
                                    std::vector<Reading> &out) {
    Journal *journal = this->journal();
    if (journal == nullptr)
        return false;
    const JournalProblem problem = journal->newestReadings(
        trim(logger.parameters.loggerSerial), std::min(count, mostHistoryReadings), out);
    report(problem);
    if (problem)
        return false;
    out.emplace_back();
    return true;
}

void StationJournal::sessionEnded(const SessionRequest &request, const SessionResult &result,
                                  int attempts) {
    Journal *journal = this->journal();
    if (journal == nullptr)
        return;
    row_.device = request.device;
    row_.ended = toUtc(station_.clock().localNow()).utc;
    row_.letter = result.end == SessionEnd::abandoned ? std::string() : trim(result.mark);
    row_.attempts = attempts;
    const JournalProblem problem = journal->recordSession(row_, repeatsTime_);
    report(problem);
    if (!problem && silence_ && !(retriesOn_ && retryMayMend(row_.letter)))
        report(silence_->check(*journal, row_.device));
    pruneOncePerDay(row_.ended);
}

void StationJournal::timeEnded(int device) {
    Journal *journal = this->journal();
    if (journal != nullptr && silence_)
        report(silence_->check(*journal, device));
}

void StationJournal::pruneOncePerDay(UtcSeconds now) {
    const std::string day = today();
    if (day == prunedOn_)
        return;
    prunedOn_ = day;
    report(journal_->prune(now - keepDays_ * secondsPerDay));
}

} // namespace vantrell
