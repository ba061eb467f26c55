#include "link/Connect.h"

#include "general/Clock.h"
#include "general/Progress.h"
#include "general/Text.h"

namespace vantrell {

namespace {
constexpr char preamble = char(0x92);
constexpr char loggerReleaseFast = char(0x93); // sampling every 10, 20 or 30 seconds
constexpr char loggerRelease = char(0x8D);
constexpr char switchRelease = char(0x8C);
constexpr char selectPrefix = char(0x81);
constexpr int selectBase = 0x82;
constexpr int disableAllModules = 0xFF;
constexpr int networkBase = 223;
constexpr int sectionBase = 239;
constexpr int fastSamplingCodes = 3;
const std::string blanks400(400, ' ');
// A logger clock up to this many minutes ahead of the PC is left alone.
constexpr int toleratedMinutesAhead = 14;
constexpr int parameterAttempts = 2;
// Positions of the two hexadecimal module digits in the switch's status answer.
constexpr std::size_t highModulesAt = 43;
constexpr std::size_t lowModulesAt = 44;
} // namespace

void Connect::send(const std::string &bytes) {
    station_.link.command = bytes;
    serial_.sendOnly();
}

void Connect::show(const std::string &text) {
    station_.progress().report(text);
}

void Connect::connectLogger() {
    SessionState &session = station_.session;
    LinkState &link = station_.link;
    for (int attempt = 1;; ++attempt) {
        if (attempt > parameterAttempts) {
            giveUpLogger(10, 10, SessionStatus::parametersUnreadable);
            return;
        }
        show(text::korvaneConnecting);
        sendLoggerPreamble();
        serial_.wakeLogger();
        if (link.handshakeOk == 0) {
            session.stepFailed = true;
            return;
        }
        session.stepFailed = false;
        show(text::korvaneConnected);
        send(std::string(1, preamble));
        readLoggerClock();
        if (station_.cycleRecord().flag(field::setClock) && loggerClockIsOff())
            steps_.setLoggerClock();
        station_.logger.parameterReadFailed = false;
        show(text::readingParameters);
        serial_.pause1s();
        steps_.decodeParameters();
        if (!station_.logger.parameterReadFailed) {
            if (station_.cycleRecord().serialNumber(session.loggerIndex) !=
                station_.logger.loggerSerial)
                giveUpLogger(4, 1, SessionStatus::serialMismatch);
            return;
        }
        show(text::readingParametersFailed);
        serial_.pause1s();
        disconnectLogger();
    }
}

void Connect::sendLoggerPreamble() {
    send("\r");
    send(std::string(1, preamble));
    serial_.pause100ms();
    send(blanks400 + preamble);
    serial_.pause1s();
    send(std::string(1, preamble));
    serial_.pause100ms();
}

void Connect::readLoggerClock() {
    show(text::readingDateTime);
    serial_.readClock();
    serial_.pause1s();
    show(std::string(text::readingPrefix) + station_.link.loggerDate + " " +
         station_.link.loggerTime);
    serial_.pause1s();
}

// Another day is always corrected; on the same day only a logger running ahead by more than
// the tolerance is, since a logger behind the PC loses no reading.
bool Connect::loggerClockIsOff() const {
    const LocalDateTime now = station_.clock().localNow();
    const std::string &date = station_.link.loggerDate;
    if (zeroPad(now.day, 2) != cut(date, {0, 2}) || zeroPad(now.month, 2) != cut(date, {3, 2}) ||
        zeroPad(now.year % 100, 2) != cut(date, {6, 2}))
        return true;
    const std::string &time = station_.link.loggerTime;
    const long long loggerMinutes = valInt(cut(time, {0, 2})) * 60 + valInt(cut(time, {3, 2}));
    const long long pcMinutes = now.hour * 60LL + now.minute;
    return loggerMinutes - pcMinutes > toleratedMinutesAhead;
}

void Connect::giveUpLogger(double firstWait, double secondWait, SessionStatus status) {
    disconnectLogger();
    station_.wait(firstWait);
    modem_.hangUpModem();
    station_.wait(secondWait);
    station_.session.communicating = false;
    station_.session.sessionRunning = false;
    station_.session.stepFailed = true;
    station_.recordStatus(status);
}

void Connect::disconnectLogger() {
    station_.wait(1);
    show(text::korvaneDisconnecting);
    send(std::string(1, station_.logger.samplingCode < fastSamplingCodes ? loggerReleaseFast
                                                                         : loggerRelease));
}

void Connect::connectSwitch() {
    SessionState &session = station_.session;
    LinkState &link = station_.link;
    show(text::switchConnecting);
    send(blanks400);
    serial_.pause1s();
    serial_.wakeSwitch();
    if (link.handshakeOk == 0) {
        send(std::string(1, switchRelease));
        serial_.pause500ms();
        session.stepFailed = true;
        station_.recordStatus(SessionStatus::switchSilent);
        return;
    }
    session.stepFailed = false;
    show(text::switchGettingMnc);
    link.command = "B00";
    link.handshakeOk = 1;
    serial_.exchangeSwitch();
    serial_.pause1s();
    if (!decodeModuleFlags()) {
        session.stepFailed = true;
        station_.recordStatus(SessionStatus::switchStatusEmpty);
        return;
    }
    show(text::switchConnected);
}

// An answer too short to carry the module digits says no more about the station than an empty
// one: the switch is not usable and the flags stay as they are.
bool Connect::decodeModuleFlags() {
    const std::optional<unsigned> modules = decodeModuleDigits(station_.link.reply);
    if (!modules)
        return false;
    for (int module = 1; module <= 8; ++module)
        station_.session.mncFlags[module] = (*modules >> (module - 1)) & 1;
    return true;
}

// Any character is a digit by its code (above 58: code - 55, else code - 48), of which only bits
// 0..3 count: a lower-case "f" (102 - 55 = 0x2F) gives the same modules as "F".
std::optional<unsigned> decodeModuleDigits(std::string_view reply) {
    if (reply.size() < lowModulesAt)
        return std::nullopt;
    const auto digit = [](char c) {
        const int code = static_cast<unsigned char>(c);
        return static_cast<unsigned>(code > 58 ? code - 55 : code - 48) & 0xFu;
    };
    return digit(reply[highModulesAt - 1]) << 4 | digit(reply[lowModulesAt - 1]);
}

void Connect::disconnectSwitch() {
    show(text::switchDisconnecting);
    send(std::string(1, switchRelease));
    serial_.pause1s();
}

void Connect::selectLogger() {
    const int index = station_.session.loggerIndex;
    show(text::selectingKorvane + std::to_string(index) + "...");
    send(std::string(1, selectPrefix));
    serial_.pause300ms();
    send(std::string(1, char(selectBase + index)));
    serial_.pause1s();
}

// A code beyond one byte cannot be formed; the command last sent (disable all modules) goes out
// again in its place, which routes nothing and does no harm.
void Connect::selectNetworkSection() {
    const auto routeCode = [](int code) {
        return std::string(1, char(code > 0xFF || code < 0 ? disableAllModules : code));
    };
    const std::string disableText = std::string(text::disablingModules) + " 255";
    serial_.flushInput();
    show(disableText);
    send(routeCode(disableAllModules));
    serial_.pause1s();
    const int network = networkBase + station_.session.networkNumber;
    show(std::string(text::sendingNetwork) + " " + std::to_string(network));
    send(routeCode(network));
    serial_.pause1s();
    serial_.pause100ms();
    show(disableText);
    send(routeCode(disableAllModules));
    serial_.pause1s();
    serial_.pause1s();
    const int section = sectionBase + station_.session.sectionNumber;
    show(std::string(text::sendingSection) + " " + std::to_string(section));
    send(routeCode(section));
    serial_.pause1s();
}

void Connect::disconnectAll() {
    disconnectLogger();
    station_.wait(3);
    if (station_.cycleRecord().flag(field::useSwitch))
        disconnectSwitch();
    station_.wait(2);
    if (station_.cycleRecord().connectionKind() == ConnectionKind::modem)
        modem_.hangUpModem();
    station_.wait(2);
}

} // namespace vantrell
