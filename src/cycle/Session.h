// The reading session of one device: open the connection (dial a remote station, route a
// network and section), pass the switch stage, then walk the logger positions 1..8 — identify
// each present logger, transfer its memory into its data file, check alarms, erase, release,
// read the file back and forward it — and leave a status letter in the device's done mark at
// every end. Connection attempts, switch passes and parameter reads are all bounded, so a
// session always ends, and one that ends after its last attempt always leaves a letter: an
// empty mark would make the schedule read the device again on every tick.
#pragma once

#include "config/Station.h"
#include "forwarding/Forwarding.h"
#include "link/Connect.h"
#include "link/Modem.h"
#include "loggerdata/Conversions.h"
#include "loggerdata/DataFile.h"
#include "loggerdata/LoggerCommands.h"

namespace vantrell {

class StationJournal;

class Session final : private LoggerSteps {
public:
    // With `journal`, every session and the readings of every data file it writes are
    // recorded there.
    Session(Station &station, Forwarding &forwarding, StationJournal *journal = nullptr);

    // Reads device CycleDevice for the schedule time of dailyMarkIndex.
    void readDevice();
    // The release at the end of a failed connection attempt: logger, switch, and the modem of a
    // remote station.
    void releaseAll();

private:
    // How a connection attempt ended. The three failures of a present logger lead to the next
    // attempt; notConnected is an attempt whose modem step failed (and left its letter).
    enum class Outcome {
        allRead,
        notConnected,
        loggerSilent,
        transferIncomplete,
        dataNotSaved,
        stopSession,
    };

    static std::string letterAfterLastAttempt(Outcome lastAttempt, const std::string &mark);

    bool readParameters() override { return conversions_.readParameters(); }
    void setLoggerClock() override { (void)commands_.setLoggerClock(); }

    void start();
    bool connectStation();
    bool dialStation();
    bool passSwitchStage();
    StepOutcome connectSwitch();
    void leaveLetter(const StepOutcome &outcome);
    Outcome readLoggers();
    Outcome readLogger();

    void reconnectSwitch();
    void checkAndErase(MemorySaved saved);
    void releaseLogger();
    void giveUpLogger(SessionStatus status);
    void hangUp();
    void forwardDataFile();
    void endNormally();
    void giveUpAttempts(Outcome lastAttempt);
    void giveUpSwitch();
    void endAfterLoggerFault();
    void abandon();
    void writeDailyMark();
    // `abandoned`: the program is ending, and the session leaves no verdict.
    void finish(bool abandoned = false);
    // `count` pauses of `seconds` each, one after the other.
    void pauses(int count, double seconds);
    bool isRemote() const;
    bool stopRequested() const { return station_.session.stopRequested; }

    Station &station_;
    Forwarding &forwarding_;
    StationJournal *journal_;
    Conversions conversions_;
    LoggerCommands commands_;
    DataFile dataFile_;
    Modem modem_;
    Connect connect_;
    std::string markBefore_;
    // A modem call is up: from a dial that connected to the next hang-up.
    bool callUp_ = false;
    // Whether the logger's answer to the erase command is awaited, as its connection left it.
    AnswerExpected commandAnswers_ = AnswerExpected::yes;
};

} // namespace vantrell
