#include "cycle/Session.h"

#include "config/ScheduleFiles.h"
#include "config/SetupFiles.h"
#include "cycle/SessionTexts.h"
#include "cycle/StationJournal.h"
#include "general/Progress.h"
#include "general/Text.h"
#include "link/LinkTexts.h"

#include <algorithm>

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
} // namespace

Session::Session(Station &station, Forwarding &forwarding, StationJournal *journal)
    : station_(station), forwarding_(forwarding), journal_(journal), conversions_(station),
      commands_(station), dataFile_(station), modem_(station), connect_(station, *this) {}

void Session::pauses(int count, double seconds) {
    for (int pause = 0; pause < count; ++pause)
        station_.wait(seconds);
}

bool Session::isRemote() const {
    return station_.devices.at(station_.cycleDevice).connectionKind() == ConnectionKind::modem;
}

void Session::readDevice() {
    start();
    Outcome lastAttempt = Outcome::notConnected;
    for (;;) {
        if (stopRequested()) {
            abandon();
            return;
        }
        if (!connectStation()) {
            if (station_.session.connectionAttempt > maxConnectionAttempts) {
                giveUpAttempts(lastAttempt);
                return;
            }
            lastAttempt = Outcome::notConnected;
            continue;
        }
        if (!passSwitchStage()) {
            giveUpSwitch();
            return;
        }
        lastAttempt = readLoggers();
        switch (lastAttempt) {
        case Outcome::allRead:
            endNormally();
            return;
        case Outcome::stopSession:
            if (stopRequested())
                abandon();
            else
                endAfterLoggerFault();
            return;
        default:
            releaseAll();
            break;
        }
    }
}

void Session::start() {
    if (journal_ != nullptr)
        journal_->sessionStarted();
    markBefore_ = station_.currentStatus();
    ProgressSink &progress = station_.progress();
    progress.openWindow();
    progress.detail(std::string(sessionText::preparingConnection) + " " +
                    std::to_string(station_.cycleDevice));
    pauses(2, 1);
    SessionState &session = station_.session;
    callUp_ = false;
    station_.data.loggerLimitAlarm = false;
    session.sessionRunning = true;
    session.communicating = true;
    session.connectionAttempt = 0;
    session.switchAttempt = 0;
}

// One connection attempt up to the switch stage; false when the attempt failed (or was the
// one too many).
bool Session::connectStation() {
    SessionState &session = station_.session;
    station_.link.portNumber = station_.linePortNumber;
    ++session.connectionAttempt;
    station_.progress().service(connectionAttempt + std::to_string(session.connectionAttempt));
    if (session.connectionAttempt > maxConnectionAttempts)
        return false;
    // The line stays this program's until the session ends, so that another station sharing
    // the device never puts its bytes between two of ours: held elsewhere, it is a port in use.
    const int line = station_.link.portNumber;
    if (const PortError error = station_.port().hold(line); error == PortError::portBusy) {
        station_.progress().detail(describe(station_.port(), line, error));
        station_.recordStatus(SessionStatus::modem);
        return false;
    }
    const DeviceRecord &device = station_.devices.at(station_.cycleDevice);
    if (device.connectionKind() == ConnectionKind::local)
        return true;
    if (device.connectionKind() == ConnectionKind::modem) {
        if (!dialStation())
            return false;
        session.presentModules = 0;
    }
    connect_.selectNetworkSection(device.networkNumber(), device.sectionNumber());
    return true;
}

bool Session::dialStation() {
    const SessionState &session = station_.session;
    StepOutcome outcome = modem_.check();
    if (outcome.succeeded)
        outcome =
            modem_.dial({session.dialNumber,
                         scheduleTimeText(station_.scheduleTimes, session.dailyMarkIndex / 2 + 1),
                         session.connectionAttempt});
    callUp_ = outcome.succeeded;
    leaveLetter(outcome);
    return outcome.succeeded;
}

void Session::leaveLetter(const StepOutcome &outcome) {
    if (outcome.status)
        station_.recordStatus(*outcome.status);
}

// The switch stage; its passes count over the whole session. False after the last pass.
bool Session::passSwitchStage() {
    SessionState &session = station_.session;
    ProgressSink &progress = station_.progress();
    for (;;) {
        ++session.switchAttempt;
        const std::string attemptText = connectionAttempt + std::to_string(session.switchAttempt);
        progress.service(attemptText);
        if (session.switchAttempt > maxSwitchPasses)
            return false;
        StepOutcome outcome = StepOutcome::success();
        if (station_.cycleRecord().flag(field::useSwitch)) {
            outcome = connectSwitch();
            progress.service(attemptText);
            for (int i = 1; i <= switchSettleSeconds; ++i) {
                progress.detail(std::string(linkText::switchConnected) + " " + std::to_string(i));
                station_.wait(1);
            }
        } else {
            // A station without a switch has one logger.
            session.presentModules = 1;
        }
        if (outcome.succeeded)
            return true;
        progress.service(connectionFailed);
        connect_.disconnectSwitch();
        station_.wait(1);
        station_.wait(3);
        if (isRemote())
            hangUp();
    }
}

// The modules the switch reports present replace those known; a switch that failed leaves them.
StepOutcome Session::connectSwitch() {
    const SwitchConnection connection = connect_.connectSwitch();
    leaveLetter(connection.outcome);
    if (connection.outcome.succeeded)
        station_.session.presentModules = connection.modules;
    return connection.outcome;
}

Session::Outcome Session::readLoggers() {
    SessionState &session = station_.session;
    for (session.loggerIndex = 1; session.loggerIndex <= maxLoggers; ++session.loggerIndex) {
        if (stopRequested())
            return Outcome::stopSession;
        reconnectSwitch();
        if (!session.modulePresent(session.loggerIndex))
            continue;
        const Outcome outcome = readLogger();
        if (outcome != Outcome::allRead)
            return outcome;
    }
    return Outcome::allRead;
}

// Every position starts from a released and freshly woken switch, whatever the station.
void Session::reconnectSwitch() {
    station_.progress().service(disconnectingSwitch);
    connect_.disconnectSwitch();
    pauses(2, 0.1);
    (void)connectSwitch();
    station_.progress().service(connectingToSwitch);
}

Session::Outcome Session::readLogger() {
    SessionState &session = station_.session;
    if (station_.cycleRecord().flag(field::useSwitch))
        connect_.selectLogger(session.loggerIndex);
    const LoggerConnection connection = connect_.connectLogger(
        session.loggerIndex, callUp_ ? LoggerLine::modemCall : LoggerLine::direct);
    if (!connection.outcome.succeeded) {
        // A logger that answered but cannot be read, or is another one, ends the session; one
        // that did not answer is tried again in the next attempt.
        if (connection.outcome.status)
            giveUpLogger(*connection.outcome.status);
        station_.progress().service(connectionFailed);
        return connection.outcome.status ? Outcome::stopSession : Outcome::loggerSilent;
    }
    commandAnswers_ = connection.commandAnswers;
    station_.progress().service(transferToFile);
    const MemorySaved saved = dataFile_.transferAndSave(session.loggerIndex);
    // Before the read-back replaces the transfer's readings with the whole file.
    if (journal_ != nullptr)
        journal_->loggerTransferred(saved);
    checkAndErase(saved);
    releaseLogger();
    dataFile_.readBackDataFile();
    station_.progress().service(alarmAcc);
    forwarding_.checkAccelerationAlarms(saved == MemorySaved::inFile);
    if (station_.cycleRecord().flag(field::alarmEnabled) && station_.data.loggerLimitAlarm) {
        station_.progress().detail(forwardingHardwareAlarm);
        station_.wait(1);
        forwarding_.sendLimitAlarm();
    }
    // A memory that did not reach its file in full is read again: nothing was erased.
    switch (saved) {
    case MemorySaved::inFile:
        forwardDataFile();
        return Outcome::allRead;
    case MemorySaved::transferIncomplete:
        return Outcome::transferIncomplete;
    case MemorySaved::notWritten:
        break;
    }
    return Outcome::dataNotSaved;
}

void Session::checkAndErase(MemorySaved saved) {
    ChannelSetupFile setup(station_);
    setup.chooseSetupFile(station_.cycleDevice);
    if (const ConfigError error = setup.loadChannelSetup(); error.failed())
        station_.progress().detail(describe(error));
    station_.progress().service(alarmAbsolute);
    forwarding_.checkAbsoluteAlarms();
    if (station_.cycleRecord().flag(field::eraseMemory))
        (void)commands_.eraseLoggerMemory(saved == MemorySaved::inFile, commandAnswers_);
}

void Session::releaseLogger() {
    station_.progress().service(disconnectingKv);
    connect_.disconnectLogger();
    station_.progress().service(disconnectingSwitch);
    connect_.disconnectSwitch();
    station_.wait(3);
}

void Session::giveUpLogger(SessionStatus status) {
    const ReleasePauses pauses =
        status == SessionStatus::serialMismatch ? afterSerialMismatch : afterUnreadableParameters;
    connect_.disconnectLogger();
    station_.wait(pauses.beforeHangUp);
    hangUp();
    station_.wait(pauses.afterHangUp);
    station_.session.communicating = false;
    station_.session.sessionRunning = false;
    station_.recordStatus(status);
}

// The release at the end of a failed connection attempt.
void Session::releaseAll() {
    connect_.disconnectLogger();
    station_.wait(3);
    if (station_.cycleRecord().flag(field::useSwitch))
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

void Session::forwardDataFile() {
    station_.progress().service("");
    station_.wait(1.5);
    const DeviceRecord &device = station_.cycleRecord();
    if (!device.flag(field::forwardEnabled))
        return;
    if (valInt(device[field::forwardKind]) == 0) {
        forwarding_.sendDataMail();
    } else if (valInt(device[field::forwardKind]) == 1) {
        forwarding_.sendDataFtp();
        station_.wait(1);
    }
}

void Session::endNormally() {
    station_.recordStatus(SessionStatus::done);
    writeDailyMark();
    if (station_.cycleRecord().flag(field::useSwitch))
        connect_.disconnectSwitch();
    station_.wait(2);
    if (isRemote())
        hangUp();
    station_.wait(2);
    finish();
}

void Session::giveUpAttempts(Outcome lastAttempt) {
    station_.restoreMark(letterAfterLastAttempt(lastAttempt, station_.currentStatus()));
    writeDailyMark();
    finish();
}

// Records read but not saved, or not read in full, say so whatever a step wrote on the way (a
// switchless station's probe of a switch leaves "S"). A logger that never answered gets a
// letter only where no step left one; an attempt whose modem step failed keeps that letter.
std::string Session::letterAfterLastAttempt(Outcome lastAttempt, const std::string &mark) {
    switch (lastAttempt) {
    case Outcome::dataNotSaved:
        return std::string(letterOf(SessionStatus::dataNotSaved));
    case Outcome::transferIncomplete:
        return std::string(letterOf(SessionStatus::transferIncomplete));
    case Outcome::loggerSilent:
        return trim(mark).empty() ? std::string(letterOf(SessionStatus::loggerSilent)) : mark;
    default:
        return mark;
    }
}

void Session::giveUpSwitch() {
    writeDailyMark();
    station_.wait(4);
    if (isRemote())
        hangUp();
    station_.wait(1);
    finish();
}

// giveUpLogger has already released the logger and hung up the line.
void Session::endAfterLoggerFault() {
    writeDailyMark();
    finish();
}

// The program is ending: leave the station as a finished session would (logger and switch
// released, line hung up), and the mark as it was before, so an unfinished device stays due —
// a letter a step left on the way (a switch that did not answer at one position) is no verdict
// on a session that did not end.
void Session::abandon() {
    station_.progress().detail(sessionText::sessionStopped);
    station_.restoreMark(markBefore_);
    connect_.disconnectLogger();
    if (station_.cycleRecord().flag(field::useSwitch))
        connect_.disconnectSwitch();
    if (isRemote() || callUp_)
        hangUp();
    writeDailyMark();
    finish(true);
}

void Session::writeDailyMark() {
    DailyMarksFile marks(station_);
    if (const ConfigError error =
            marks.writeDailyMark(station_.cycleDevice, station_.session.dailyMarkIndex);
        error.failed())
        station_.progress().detail(describe(error));
}

void Session::finish(bool abandoned) {
    station_.port().release();
    // The line is free again before a silent-station alarm goes out.
    if (journal_ != nullptr)
        journal_->sessionEnded(abandoned,
                               std::min(station_.session.connectionAttempt, maxConnectionAttempts));
    station_.session.sessionRunning = false;
    station_.session.communicating = false;
    station_.progress().closeWindow();
}

} // namespace vantrell
