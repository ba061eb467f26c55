#include "cycle/Session.h"

#include "config/ScheduleFiles.h"
#include "config/SetupFiles.h"
#include "cycle/SessionTexts.h"
#include "cycle/StationJournal.h"
#include "forwarding/AlarmCheck.h"
#include "general/Progress.h"
#include "general/Text.h"
#include "link/LinkTexts.h"

#include <algorithm>
#include <cstdio>

namespace vantrell {

namespace {
constexpr const char *connectionAttempt = "Connection Attempt ";
constexpr const char *connectionFailed = "Connection Failed ";
constexpr const char *disconnectingSwitch = "Disconnecting Switch ";
constexpr const char *connectingToSwitch = "Connecting to Switch ";
constexpr const char *transferToFile = "Transfer to file ";
constexpr const char *alarmAbsolute = "Alarm Absolute ";
constexpr const char *disconnectingKv = "Disconnecting KV ";
constexpr const char *alarmAcc = "Alarm Acc ";
constexpr const char *forwardingHardwareAlarm = "Forwarding Hardware Alarm...";
constexpr const char *noChannelAlarms = "; no channel alarms for this station in this session";
constexpr const char *lineTimeFormat = "Line time %.1f s";

constexpr int maxConnectionAttempts = 3;
constexpr int maxSwitchPasses = 3;
constexpr int switchSettleSeconds = 5;
// The pauses around the hang-up after a logger that cannot be read: before it, and after it.
struct ReleasePauses {
    double beforeHangUp;
    double afterHangUp;
};
constexpr ReleasePauses afterSerialMismatch{4, 1};
constexpr ReleasePauses afterUnreadableParameters{10, 10};

unsigned positionBit(int position) {
    return 1u << (position - 1);
}

void append(std::vector<Sent> &to, std::vector<Sent> more) {
    to.insert(to.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}
} // namespace

Session::Session(Station &station, Forwarding &forwarding, StationJournal *journal)
    : station_(station), forwarding_(forwarding), journal_(journal), commands_(station.line()),
      dataFile_(station.line(), station.configDir()), modem_(station.line()),
      connect_(station.line(), *this) {}

std::optional<DecodedParameters> Session::readParameters() {
    Serial serial(station_.line());
    return vantrell::readParameters(serial);
}

void Session::pauses(int count, double seconds) {
    for (int pause = 0; pause < count; ++pause)
        station_.wait(seconds);
}

bool Session::isRemote() const {
    return request_.record.connectionKind() == ConnectionKind::modem;
}

SessionResult Session::read(SessionRequest request) {
    request_ = std::move(request);
    result_ = SessionResult{};
    start();
    for (;;) {
        if (stopRequested()) {
            abandon();
            break;
        }
        if (!connectStation()) {
            if (connectionAttempt_ > maxConnectionAttempts) {
                result_.end = SessionEnd::attemptsUsedUp;
                leaveMark();
                finish();
                break;
            }
            result_.attempts.push_back({{}, AttemptEnd::notConnected});
            continue;
        }
        AttemptResult &attempt = result_.attempts.emplace_back();
        const SwitchStage stage = passSwitchStage();
        if (stage == SwitchStage::givenUp) {
            giveUpSwitch();
            break;
        }
        if (stage == SwitchStage::attemptFailed)
            continue;
        attempt.end = readLoggers(attempt);
        if (attempt.end == AttemptEnd::allRead) {
            endNormally();
            break;
        }
        const bool endsHere =
            attempt.end == AttemptEnd::stopped || attempt.end == AttemptEnd::loggerGivenUp;
        if (endsHere && stopRequested()) {
            abandon();
            break;
        }
        if (endsHere) {
            // giveUpLogger has already released the logger and hung up the line.
            result_.end = SessionEnd::loggerGivenUp;
            leaveMark();
            finish();
            break;
        }
        releaseAll();
    }
    return std::move(result_);
}

void Session::start() {
    result_.markBefore = station_.dailyMarks.at(request_.dailyMarkIndex + 1, request_.device);
    if (journal_ != nullptr)
        journal_->sessionStarted(request_);
    // The windows hold back stores of this device from the first wait on.
    SessionState &session = station_.session;
    session.device = request_.device;
    ProgressSink &progress = station_.progress();
    progress.openWindow();
    progress.detail(std::string(sessionText::preparingConnection) + " " +
                    std::to_string(request_.device));
    pauses(2, 1);
    session.sessionRunning = true;
    session.communicating = true;
    callUp_ = false;
    connectionAttempt_ = 0;
    switchPass_ = 0;
    presentModules_ = 0;
    savedPositions_ = 0;
    lineTakenAt_.reset();
}

// One connection attempt up to the switch stage; false when the attempt failed (or was the
// one too many).
bool Session::connectStation() {
    station_.line().usePort(station_.linePortNumber);
    ++connectionAttempt_;
    station_.progress().service(connectionAttempt + std::to_string(connectionAttempt_));
    if (connectionAttempt_ > maxConnectionAttempts)
        return false;
    // The line stays this program's until the session ends, so that another station sharing
    // the device never puts its bytes between two of ours: held elsewhere, it is a port in use.
    const int line = station_.linePortNumber;
    if (const PortError error = station_.port().hold(line); error == PortError::portBusy) {
        station_.progress().detail(describe(station_.port(), line, error));
        result_.stepLetter = SessionStatus::modem;
        return false;
    }
    if (!lineTakenAt_)
        lineTakenAt_ = station_.clock().monotonicSeconds();
    const DeviceRecord &device = request_.record;
    if (device.connectionKind() == ConnectionKind::local)
        return true;
    if (device.connectionKind() == ConnectionKind::modem) {
        if (!dialStation())
            return false;
        presentModules_ = 0;
    }
    connect_.selectNetworkSection(device.networkNumber(), device.sectionNumber());
    return true;
}

bool Session::dialStation() {
    StepOutcome outcome = modem_.check();
    if (outcome.succeeded)
        outcome = modem_.dial({request_.dialNumber,
                               scheduleTimeText(station_.scheduleTimes, request_.scheduleTime()),
                               connectionAttempt_});
    callUp_ = outcome.succeeded;
    leaveLetter(outcome);
    return outcome.succeeded;
}

void Session::leaveLetter(const StepOutcome &outcome) {
    if (outcome.status)
        result_.stepLetter = *outcome.status;
    if (!outcome.problem.empty())
        result_.lineProblems.push_back(outcome.problem);
}

// The switch stage; its passes count over the whole session. A remote station's failed pass
// hangs up, and with it the connection attempt: only a new call can go on.
Session::SwitchStage Session::passSwitchStage() {
    ProgressSink &progress = station_.progress();
    for (;;) {
        ++switchPass_;
        const std::string attemptText = connectionAttempt + std::to_string(switchPass_);
        progress.service(attemptText);
        if (switchPass_ > maxSwitchPasses)
            return SwitchStage::givenUp;
        StepOutcome outcome = StepOutcome::success();
        if (usesSwitch()) {
            outcome = connectSwitch();
            progress.service(attemptText);
            for (int i = 1; i <= switchSettleSeconds; ++i) {
                progress.detail(std::string(linkText::switchConnected) + " " + std::to_string(i));
                station_.wait(1);
            }
        } else {
            // A station without a switch has one logger.
            presentModules_ = 1;
        }
        if (outcome.succeeded)
            return SwitchStage::passed;
        progress.service(connectionFailed);
        connect_.disconnectSwitch();
        station_.wait(1);
        station_.wait(3);
        if (isRemote()) {
            hangUp();
            return SwitchStage::attemptFailed;
        }
    }
}

// The modules the switch reports present replace those known; a switch that failed leaves them.
StepOutcome Session::connectSwitch() {
    const SwitchConnection connection = connect_.connectSwitch();
    leaveLetter(connection.outcome);
    if (connection.outcome.succeeded)
        presentModules_ = connection.modules;
    return connection.outcome;
}

// A position saved in an earlier attempt is passed over like an absent one: its file, alarms
// and forwarding happen once a session.
AttemptEnd Session::readLoggers(AttemptResult &attempt) {
    for (int position = 1; position <= maxLoggers; ++position) {
        if (stopRequested())
            return AttemptEnd::stopped;
        reconnectSwitch();
        if ((presentModules_ & positionBit(position)) == 0 ||
            (savedPositions_ & positionBit(position)) != 0)
            continue;
        const AttemptEnd end = readLogger(attempt, position);
        if (end != AttemptEnd::allRead)
            return end;
    }
    return AttemptEnd::allRead;
}

// Every position starts from a released and freshly woken switch, whatever the station.
void Session::reconnectSwitch() {
    station_.progress().service(disconnectingSwitch);
    connect_.disconnectSwitch();
    pauses(2, 0.1);
    (void)connectSwitch();
    station_.progress().service(connectingToSwitch);
}

AttemptEnd Session::readLogger(AttemptResult &attempt, int position) {
    if (usesSwitch())
        connect_.selectLogger(position);
    LoggerConnection connection =
        connect_.connectLogger(request_.record, position,
                               callUp_ ? LoggerLine::modemCall : LoggerLine::direct, samplingCode_);
    if (connection.parameters)
        samplingCode_ = connection.parameters->parameters.samplingCode;
    if (!connection.outcome.succeeded) {
        // A logger that answered but cannot be read, or is another one, ends the session; one
        // that did not answer is tried again in the next attempt.
        if (connection.outcome.status)
            giveUpLogger(*connection.outcome.status);
        station_.progress().service(connectionFailed);
        return connection.outcome.status ? AttemptEnd::loggerGivenUp : AttemptEnd::loggerSilent;
    }
    commandAnswers_ = connection.commandAnswers;
    LoggerResult &logger = attempt.loggers.emplace_back();
    logger.position = position;
    logger.parameters = std::move(connection.parameters->parameters);
    logger.rainFactor = std::move(connection.parameters->rainFactor);

    station_.progress().service(transferToFile);
    dataFile_.transferAndSave(request_, logger,
                              journal_ != nullptr ? journal_->savedUpTo(request_, logger)
                                                  : std::nullopt);
    showDataFolder();
    if (journal_ != nullptr)
        journal_->loggerTransferred(request_, logger);
    checkAndErase(logger);
    releaseLogger();
    sendAlarms(logger);
    // A memory that did not reach its file in full is read again: nothing was erased.
    switch (logger.saved) {
    case MemorySaved::inFile:
        savedPositions_ |= positionBit(position);
        forwardDataFile(logger);
        return AttemptEnd::allRead;
    case MemorySaved::transferIncomplete:
        return AttemptEnd::transferIncomplete;
    case MemorySaved::notWritten:
        break;
    }
    return AttemptEnd::dataNotSaved;
}

// A blank data folder became the program's own; the windows show it, unless the operator has
// given the device a folder meanwhile.
void Session::showDataFolder() {
    std::string &shown = station_.devices.at(request_.device)[field::dataDirectory];
    if (trim(shown).empty())
        shown = request_.record[field::dataDirectory];
}

// The limits are those of the station being read and no other: a file that cannot be read
// leaves it without channel alarms, and says so.
void Session::checkAndErase(LoggerResult &logger) {
    ChannelSetup setup;
    if (const ConfigError error =
            ChannelSetupFile(station_).loadSessionSetup(request_.device, setup);
        error.failed()) {
        station_.progress().failure(describe(error) + noChannelAlarms);
        setup_.reset();
    } else {
        setup_ = std::move(setup);
    }
    station_.progress().service(alarmAbsolute);
    append(logger.alarms,
           forwarding_.checkAbsoluteAlarms(request_, setup_ ? &*setup_ : nullptr, logger));
    if (!request_.record.flag(field::eraseMemory))
        return;
    const bool saved = logger.saved == MemorySaved::inFile;
    const bool taken = commands_.eraseLoggerMemory(saved, commandAnswers_);
    logger.erase = !saved  ? EraseOutcome::skipped
                   : taken ? EraseOutcome::erased
                           : EraseOutcome::refused;
}

// The read-back, the acceleration check on it, and the logger's own limit alarm.
void Session::sendAlarms(LoggerResult &logger) {
    const std::vector<Reading> &history = historyOf(logger);
    station_.progress().service(alarmAcc);
    append(logger.alarms, forwarding_.checkAccelerationAlarms(request_, setup_ ? &*setup_ : nullptr,
                                                              logger, history));
    if (request_.record.flag(field::alarmEnabled) && logger.limitCrossed) {
        station_.progress().detail(forwardingHardwareAlarm);
        station_.wait(1);
        append(logger.alarms, forwarding_.sendLimitAlarm(request_, logger));
    }
}

// A new file of only the new records is too short a history to look back on: the journal
// holds the logger's earlier readings.
const std::vector<Reading> &Session::historyOf(LoggerResult &logger) {
    const bool newRecordsFile = journal_ != nullptr && journal_->collectsNewRecords(request_) &&
                                !request_.record.flag(field::savingMode) &&
                                logger.saved == MemorySaved::inFile && setup_;
    if (newRecordsFile &&
        journal_->newestReadings(logger, widestAccelerationWindow(*setup_, logger.position),
                                 journalHistory_))
        return journalHistory_;
    return dataFile_.readBackDataFile(logger);
}

void Session::releaseLogger() {
    station_.progress().service(disconnectingKv);
    connect_.disconnectLogger(samplingCode_);
    station_.progress().service(disconnectingSwitch);
    connect_.disconnectSwitch();
    station_.wait(3);
}

void Session::giveUpLogger(SessionStatus status) {
    const ReleasePauses pauses =
        status == SessionStatus::serialMismatch ? afterSerialMismatch : afterUnreadableParameters;
    connect_.disconnectLogger(samplingCode_);
    station_.wait(pauses.beforeHangUp);
    hangUp();
    station_.wait(pauses.afterHangUp);
    station_.session.communicating = false;
    station_.session.sessionRunning = false;
    result_.stepLetter = status;
}

// The release at the end of a failed connection attempt.
void Session::releaseAll() {
    connect_.disconnectLogger(samplingCode_);
    station_.wait(3);
    if (usesSwitch())
        connect_.disconnectSwitch();
    station_.wait(2);
    if (isRemote())
        hangUp();
    station_.wait(2);
}

void Session::hangUp() {
    modem_.hangUp();
    callUp_ = false;
}

void Session::forwardDataFile(LoggerResult &logger) {
    station_.progress().service("");
    station_.wait(1.5);
    const DeviceRecord &device = request_.record;
    if (!device.flag(field::forwardEnabled))
        return;
    if (valInt(device[field::forwardKind]) == 0) {
        logger.forwarded = forwarding_.sendDataMail(request_, logger);
    } else if (valInt(device[field::forwardKind]) == 1) {
        logger.forwarded = forwarding_.sendDataFtp(request_, logger);
        station_.wait(1);
    }
}

void Session::endNormally() {
    result_.end = SessionEnd::allRead;
    leaveMark();
    if (usesSwitch())
        connect_.disconnectSwitch();
    station_.wait(2);
    if (isRemote())
        hangUp();
    station_.wait(2);
    finish();
}

void Session::giveUpSwitch() {
    result_.end = SessionEnd::switchGivenUp;
    leaveMark();
    station_.wait(4);
    if (isRemote())
        hangUp();
    station_.wait(1);
    finish();
}

// The program is ending: leave the station as a finished session would (logger and switch
// released, line hung up), and the mark as it was before, so an unfinished device stays due.
void Session::abandon() {
    station_.progress().detail(sessionText::sessionStopped);
    result_.end = SessionEnd::abandoned;
    connect_.disconnectLogger(samplingCode_);
    if (usesSwitch())
        connect_.disconnectSwitch();
    if (isRemote() || callUp_)
        hangUp();
    leaveMark();
    finish();
}

void Session::leaveMark() {
    result_.mark = sessionMark(result_);
    station_.dailyMarks.at(request_.dailyMarkIndex + 1, request_.device) = result_.mark;
    const bool failedDelivery = result_.mark == letterOf(SessionStatus::notForwarded) ||
                                result_.mark == letterOf(SessionStatus::alarmNotSent);
    const std::pair<int, int> time{request_.scheduleTime(), request_.device};
    if (failedDelivery && result_.retriedFromOutbox())
        station_.retriedFromOutbox.insert(time);
    else if (result_.end != SessionEnd::abandoned)
        station_.retriedFromOutbox.erase(time);
    DailyMarksFile marks(station_);
    if (const ConfigError error = marks.writeDailyMark(request_.device, request_.dailyMarkIndex);
        error.failed())
        station_.progress().detail(describe(error));
}

void Session::finish() {
    station_.port().release();
    noteLineTime();
    // The line is free again before a silent-station alarm goes out.
    if (journal_ != nullptr)
        journal_->sessionEnded(request_, result_,
                               std::min(connectionAttempt_, maxConnectionAttempts));
    if (ended_)
        ended_(request_, result_);
    SessionState &session = station_.session;
    session.sessionRunning = false;
    session.communicating = false;
    session.device = 0;
    station_.progress().closeWindow();
}

void Session::timeEnded(int device) {
    if (journal_ != nullptr)
        journal_->timeEnded(device);
}

void Session::noteLineTime() {
    if (!lineTakenAt_)
        return;
    result_.lineSeconds = station_.clock().monotonicSeconds() - *lineTakenAt_;
    if (journal_ == nullptr || !journal_->newRecordsOnly())
        return;
    char text[64];
    std::snprintf(text, sizeof text, lineTimeFormat, *result_.lineSeconds);
    station_.progress().detail(text);
}

} // namespace vantrell
