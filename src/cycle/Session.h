// The reading session of one device: open the connection (dial a remote station, route a
// network and section), pass the switch stage, then walk the logger positions 1..8 — identify
// each present logger, transfer its memory into its data file, check alarms, erase, release,
// read the file back and forward it — and leave a status letter in the device's done mark at
// every end. Connection attempts, switch passes and parameter reads are all bounded, so a
// session always ends, and one that ends after its last attempt always leaves a letter: an
// empty mark would make the schedule read the device again on every tick.
//
// A session works on a copy of its request and keeps its account in its result: nothing a step
// produces is left in the Station for another step, and the letter is decided once, at the end,
// from the result.
#pragma once

#include "config/SessionRequest.h"
#include "config/Station.h"
#include "cycle/SessionResult.h"
#include "forwarding/Forwarding.h"
#include "link/Connect.h"
#include "link/Modem.h"
#include "loggerdata/DataFile.h"
#include "loggerdata/LoggerCommands.h"

#include <functional>
#include <optional>
#include <vector>

namespace vantrell {

class StationJournal;

class Session final : private LoggerSteps {
public:
    // With `journal`, every session and the readings of every data file it writes are
    // recorded there.
    Session(Station &station, Forwarding &forwarding, StationJournal *journal = nullptr);

    // Reads the requested device for its schedule time, leaves the letter in its done mark and
    // writes the marks file.
    SessionResult read(SessionRequest request);
    // The schedule time's sessions of `device` are over, its retries included: what waited for
    // the last of them (the silent-station alarm) is judged now.
    void timeEnded(int device);
    // `ended` is told of every session once it has ended, also of one a stop cut short.
    using Ended = std::function<void(const SessionRequest &, const SessionResult &)>;
    void onEnded(Ended ended) { ended_ = std::move(ended); }

private:
    enum class SwitchStage { passed, attemptFailed, givenUp };

    std::optional<DecodedParameters> readParameters() override;
    void setLoggerClock() override { (void)commands_.setLoggerClock(); }

    void start();
    bool connectStation();
    bool dialStation();
    SwitchStage passSwitchStage();
    StepOutcome connectSwitch();
    void leaveLetter(const StepOutcome &outcome);
    AttemptEnd readLoggers(AttemptResult &attempt);
    AttemptEnd readLogger(AttemptResult &attempt, int position);
    void showDataFolder();
    void checkAndErase(LoggerResult &logger);
    void sendAlarms(LoggerResult &logger);
    const std::vector<Reading> &historyOf(LoggerResult &logger);
    void forwardDataFile(LoggerResult &logger);

    void reconnectSwitch();
    void releaseLogger();
    void releaseAll();
    void giveUpLogger(SessionStatus status);
    void hangUp();
    void endNormally();
    void giveUpSwitch();
    void abandon();
    // Decides the letter from the result, puts it into the done mark and writes the marks file.
    void leaveMark();
    void finish();
    void noteLineTime();
    // `count` pauses of `seconds` each, one after the other.
    void pauses(int count, double seconds);
    bool isRemote() const;
    bool usesSwitch() const { return request_.record.flag(field::useSwitch); }
    bool stopRequested() const { return station_.session.stopRequested; }

    Station &station_;
    Forwarding &forwarding_;
    StationJournal *journal_;
    Ended ended_;
    LoggerCommands commands_;
    DataFile dataFile_;
    Modem modem_;
    Connect connect_;

    // The session under way.
    SessionRequest request_;
    SessionResult result_;
    int connectionAttempt_ = 0; // 1..3 within one session
    int switchPass_ = 0;        // passes through the switch stage, over all attempts
    // The switch modules present, one bit each: bit 0 module 1 ... bit 7 module 8.
    unsigned presentModules_ = 0;
    // The positions saved in an earlier attempt, one bit each like presentModules_.
    unsigned savedPositions_ = 0;
    // The channel alarm limits of the station being read; none when its file could not be read.
    std::optional<ChannelSetup> setup_;
    // A modem call is up: from a dial that connected to the next hang-up.
    bool callUp_ = false;
    // When this session took the line, on the station's monotonic clock.
    std::optional<double> lineTakenAt_;
    // The acceleration check's history from the journal, when the data file cannot give it.
    std::vector<Reading> journalHistory_;
    // Whether the logger's answer to the erase command is awaited, as its connection left it.
    AnswerExpected commandAnswers_ = AnswerExpected::yes;
    // The last logger that gave its parameter block samples this often; a release that has no
    // parameter set of its own uses it. It outlives the session, as the logger's line does.
    int samplingCode_ = LoggerParameters{}.samplingCode;
};

} // namespace vantrell
