#include "link/Modem.h"

#include "config/SessionStatus.h"
#include "config/Tables.h"
#include "general/Clock.h"
#include "general/Dialogs.h"
#include "general/Progress.h"
#include "general/SerialPort.h"
#include "general/Text.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vantrell {

namespace {
constexpr const char *modemInitializing = "Modem Initialazing...";
constexpr const char *initializingPrefix = "Initialazing modem ...";
constexpr const char *dialingNumber = "Dialing number... ";
constexpr const char *dialElapsed = "Elapsed time:  ";
constexpr const char *dialSeconds = " seconds.";
constexpr const char *dialScheduled = "Scheduled: ";
constexpr const char *dialTrial = "    Trial no.: ";
constexpr const char *modemPrefix = "Modem ";
constexpr const char *modemDisconnecting = "Modem Disconnecting...";
constexpr const char *modemDisconnected = "Modem Disconnected";
constexpr const char *modemErrorTitle = "Modem error";
constexpr const char *modemInUse = "Modem already in use";

constexpr int checkTries = 2;
// How long the check listens for the answer to "AT"; more than four characters are enough.
constexpr double checkAnswerWindow = 1.5;
constexpr std::size_t checkAnswerLength = 5;
// "ATE0" must be answered before the seconds counter passes this, counted from before the
// one-second settling pause.
constexpr int echoOffLimit = 4;
constexpr std::size_t echoOffAnswerLength = 6;
// Every initialisation string goes out once the counter is above this.
constexpr int initSpacing = 1;
// A modem answers an initialisation string within milliseconds; five seconds allows for a slow
// one that reloads its profile, and a modem silent that long is not going to answer.
constexpr double initAnswerLimit = 5.0;
// With echo off the answer is CR LF "OK" CR LF.
constexpr std::size_t initAnswerLength = 6;
constexpr Field initOk{2, 2};
// The modem gets this long (counter above) after the last initialisation string.
constexpr int settleBeforeDial = 2;
// After the dial command the port is closed for this long, then reopened empty.
constexpr double afterDialPause = 1.0;
// Dialling, ringing and the carrier handshake must be over by then.
constexpr int dialLimit = 70;
constexpr int connectSettle = 1;
constexpr double connectPause = 1.0;
// A modem sends a result code as one burst; a line quiet for this long (about 48 characters at
// 9600 baud) has finished its answer.
constexpr double answerTailGap = 0.05;
constexpr double shortestWait = 0.001;
// No modem answer comes near this; a line that keeps talking is not a modem answering.
constexpr std::size_t maxModemAnswer = 256;
// A Hayes modem takes "+++" as an escape only with its guard time (register S12, 1 second by
// default) of silence before the first "+" and after the last, and with the three characters
// less than the guard time apart. 1.5 seconds of silence before clears a guard time set a
// little longer than the default; 0.1 second between the characters stays well inside it.
// The silence after is the wait for the answer below, which is longer than the guard time.
constexpr double escapeGuard = 1.5;
constexpr double escapeCharacterGap = 0.1;
constexpr std::size_t escapeAnswerLength = 2;
constexpr double escapeAnswerLimit = 3.0;
constexpr double hangUpAnswerLimit = 1.0;
// Room for the modem to act on one command and send its result before the next one arrives:
// a modem that is still answering drops what it hears meanwhile.
constexpr double commandGap = 0.5;

constexpr std::string_view connectCode = "CONNECT";
constexpr std::size_t dialAnswerLength = 16;
constexpr std::size_t connectSearchLength = 5;
// The result codes with which a modem ends a dial attempt.
constexpr std::array<std::string_view, 7> finalDialCodes = {
    "OK", "ERROR", "BUSY", "NO CARRIER", "NO DIALTONE", "NO DIAL TONE", "NO ANSWER"};
// Answers to the escape that say the modem is listening for commands.
constexpr std::array<std::string_view, 3> escapeAnswers = {"OK", "NO CARRIER", "BUSY"};

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// True when a line of `answer` that has already ended is a result code that ends a dial.
bool holdsFinalDialCode(std::string_view answer) {
    std::size_t start = 0;
    for (std::size_t end = answer.find_first_of("\r\n"); end != std::string_view::npos;
         start = end + 1, end = answer.find_first_of("\r\n", start)) {
        const std::string_view line = answer.substr(start, end - start);
        if (line.starts_with(connectCode) ||
            std::find(finalDialCodes.begin(), finalDialCodes.end(), line) != finalDialCodes.end())
            return true;
    }
    return false;
}
} // namespace

// The modem's result code starts after its line ends, so "CONNECT" is looked for from the
// first "C" among the first five characters.
DialVerdict judgeDialAnswer(std::string_view answer) {
    if (answer.size() < dialAnswerLength && !holdsFinalDialCode(answer))
        return DialVerdict::waiting;
    const std::size_t c = answer.substr(0, connectSearchLength).find('C');
    const std::size_t from = c == std::string_view::npos ? connectSearchLength : c;
    const bool connected = from < answer.size() && answer.substr(from).starts_with(connectCode);
    return connected ? DialVerdict::connected : DialVerdict::notConnected;
}

void Modem::show(const std::string &text) {
    line_.progress().detail(text);
}

bool Modem::send(std::string_view bytes) {
    return line_.port().isOpen() && serial_.write(bytes);
}

std::string Modem::takeWaiting() {
    SerialPort &port = line_.port();
    return port.isOpen() ? port.read(0) : std::string();
}

std::string Modem::collect(std::size_t count, double limit) {
    const Deadline deadline(line_.clock(), limit);
    std::string got;
    while (got.size() < count && serial_.waitForData(deadline.remaining()))
        got += takeWaiting();
    while (!got.empty() && got.size() < maxModemAnswer && serial_.waitForData(answerTailGap))
        got += takeWaiting();
    return got;
}

void Modem::resetSecondsCounter() {
    counterStart_ = line_.clock().monotonicSeconds();
}

int Modem::secondsCounter() const {
    return int(std::floor(line_.clock().monotonicSeconds() - counterStart_));
}

// Never nothing: where rounding puts the clock a hair short of the next second, the wait must
// still move it on.
double Modem::secondsToNextCount() const {
    const double left = counterStart_ + secondsCounter() + 1 - line_.clock().monotonicSeconds();
    return std::max(left, shortestWait);
}

void Modem::waitUntilCounterAbove(int seconds) {
    const double left = counterStart_ + seconds + 1 - line_.clock().monotonicSeconds();
    if (left > 0)
        line_.wait(left);
}

StepOutcome Modem::check() {
    if (const PortError error = serial_.reopen(); error != PortError::none)
        return failCheck(error);
    line_.port().discardInput();
    for (int attempt = 1; attempt <= checkTries; ++attempt) {
        const Attention attention = tryAttention();
        if (attention == Attention::answered) {
            modemAnswer_.clear();
            return StepOutcome::success();
        }
        if (attention == Attention::portFailed)
            return failCheck(PortError::ioError);
        if (!line_.port().isOpen()) {
            if (const PortError error = serial_.reopen(); error != PortError::none)
                return failCheck(error);
        }
        if (!send(modemCommand::factorySettings))
            return failCheck(PortError::ioError);
    }
    serial_.closePort();
    return StepOutcome::failure(SessionStatus::modem);
}

// A modem with echo on may not have sent its "OK" yet: the echo alone shows it is there.
Modem::Attention Modem::tryAttention() {
    if (!send(modemCommand::attention))
        return Attention::portFailed;
    modemAnswer_ = collect(checkAnswerLength, checkAnswerWindow);
    return contains(modemAnswer_, "OK") || contains(modemAnswer_, "AT") ? Attention::answered
                                                                        : Attention::silent;
}

// A port that does not exist is something the operator must fix, so it is said as a failure
// (no box: nobody may be there to click it, and the schedule must go on); a port in use is most
// likely the station's own, still held, and needs no message.
StepOutcome Modem::failCheck(PortError error) {
    serial_.closePort();
    if (error != PortError::noSuchPort)
        return StepOutcome::failure(SessionStatus::modem);
    std::string problem =
        std::string(modemErrorTitle) + ": " + describe(line_.port(), line_.portNumber(), error);
    line_.progress().failure(problem);
    return StepOutcome::failure(SessionStatus::modem, std::move(problem));
}

StepOutcome Modem::dial(const DialRequest &request) {
    if (const PortError error = serial_.reopen(); error != PortError::none)
        return failDial(error);
    show(modemInitializing);
    show("");
    resetSecondsCounter();
    waitUntilCounterAbove(0);
    bool initRefused = false;
    if (const std::optional<StepOutcome> failed = prepareModem(initRefused))
        return *failed;
    resetSecondsCounter();
    show(std::string(initializingPrefix) + " 4 of 4");
    waitUntilCounterAbove(settleBeforeDial);
    if (const std::optional<StepOutcome> failed = dialNumber(request))
        return *failed;
    std::string answer;
    if (awaitDialAnswer(request, answer) != DialVerdict::connected)
        return callFailed();
    callConnected(answer);
    if (initRefused)
        return {true, SessionStatus::modem, {}};
    return StepOutcome::success();
}

// Echo off, then the initialisation strings. A modem that does not answer "ATE0" is not going
// to dial: the attempt ends here with "M". Nothing when the dial may go ahead.
std::optional<StepOutcome> Modem::prepareModem(bool &initRefused) {
    if (!send(modemCommand::echoOff))
        return failDial(PortError::ioError);
    const double echoOffWindow =
        counterStart_ + echoOffLimit + 1 - line_.clock().monotonicSeconds();
    if (collect(echoOffAnswerLength, echoOffWindow).size() < echoOffAnswerLength)
        return endDial(SessionStatus::modem);
    int step = 1;
    for (std::string_view init : modemCommand::initStrings) {
        show(std::string(initializingPrefix) + " " + std::to_string(step++) + " of 4");
        if (!sendInitString(init))
            initRefused = true;
    }
    return std::nullopt;
}

// True when the modem answered "OK".
bool Modem::sendInitString(std::string_view text) {
    if (text.empty())
        return true;
    resetSecondsCounter();
    waitUntilCounterAbove(initSpacing);
    const bool sent = send(std::string(text) + code::carriageReturn);
    const std::string answer = sent ? collect(initAnswerLength, initAnswerLimit) : std::string();
    return cut(answer, initOk) == "OK";
}

// The port is closed while the modem dials, so that it opens again with nothing in it.
std::optional<StepOutcome> Modem::dialNumber(const DialRequest &request) {
    const std::string dial =
        std::string(modemCommand::dialPrefix) + request.number + code::carriageReturn;
    if (!send(dial))
        return failDial(PortError::ioError);
    serial_.closePort();
    line_.wait(afterDialPause);
    if (const PortError error = serial_.reopen(); error != PortError::none)
        return failDial(error);
    resetSecondsCounter();
    (void)takeWaiting();
    return std::nullopt;
}

// Waits for the modem's verdict; a result code that ends the dial is taken at once (with the
// rest of its line), and silence ends the attempt after the dial limit.
DialVerdict Modem::awaitDialAnswer(const DialRequest &request, std::string &answer) {
    std::string shown;
    for (;;) {
        answer += takeWaiting();
        if (judgeDialAnswer(answer) != DialVerdict::waiting) {
            while (answer.size() < maxModemAnswer && serial_.waitForData(answerTailGap))
                answer += takeWaiting();
            return judgeDialAnswer(answer);
        }
        (void)serial_.waitForData(secondsToNextCount());
        showDialProgress(request, shown);
        if (secondsCounter() > dialLimit)
            return DialVerdict::notConnected;
    }
}

void Modem::showDialProgress(const DialRequest &request, std::string &shown) {
    const std::string progress = dialingNumber + request.number + "\r\n" + dialElapsed +
                                 std::to_string(secondsCounter()) + dialSeconds + "\r\n" +
                                 dialScheduled + request.scheduledTime + dialTrial +
                                 std::to_string(request.attempt);
    if (progress != shown)
        show(progress);
    shown = progress;
}

void Modem::callConnected(const std::string &answer) {
    show(modemPrefix + answer);
    resetSecondsCounter();
    line_.wait(connectPause);
    waitUntilCounterAbove(connectSettle);
    resetSecondsCounter();
}

StepOutcome Modem::callFailed() {
    serial_.closePort();
    show(modemDisconnected);
    hangUp();
    return StepOutcome::failure(SessionStatus::connection);
}

StepOutcome Modem::failDial(PortError error) {
    if (error == PortError::portBusy) {
        std::string problem = std::string(modemErrorTitle) + ": " + modemInUse;
        line_.progress().failure(problem);
        StepOutcome outcome = endDial(SessionStatus::modem);
        outcome.problem = std::move(problem);
        return outcome;
    }
    return endDial(SessionStatus::connection);
}

StepOutcome Modem::endDial(SessionStatus status) {
    serial_.closePort();
    return StepOutcome::failure(status);
}

// Port errors are of no interest here: every operation that fails is skipped, and the port is
// left closed whatever happened.
void Modem::hangUp() {
    SerialPort &port = line_.port();
    show(modemDisconnecting);
    if (!port.isOpen())
        (void)port.open(line_.portNumber());
    escapeToCommandMode();
    modemAnswer_ = collect(escapeAnswerLength, escapeAnswerLimit);
    const bool answered =
        std::any_of(escapeAnswers.begin(), escapeAnswers.end(),
                    [this](std::string_view a) { return contains(modemAnswer_, a); });
    if (answered)
        (void)send(modemCommand::hangUpAcknowledged);
    show(modemDisconnected);
    (void)send(modemCommand::hangUp);
    if (!modemAnswer_.empty())
        (void)takeWaiting();
    else
        (void)serial_.waitForData(hangUpAnswerLimit);
    (void)send(modemCommand::factorySettings);
    line_.wait(commandGap);
    (void)send(modemCommand::hangUp);
    line_.wait(commandGap);
    (void)send(modemCommand::factorySettings);
    show(modemDisconnected);
    serial_.closePort();
}

void Modem::escapeToCommandMode() {
    const std::string plus(1, modemCommand::escapeCharacter);
    line_.wait(escapeGuard);
    (void)send(plus);
    line_.wait(escapeCharacterGap);
    (void)send(plus);
    line_.wait(escapeCharacterGap);
    (void)send(plus);
}

} // namespace vantrell
