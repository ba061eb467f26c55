#include "link/Connect.h"

#include "general/Clock.h"
#include "general/Progress.h"
#include "general/Text.h"
#include "link/LinkTexts.h"

#include <cctype>
#include <chrono>
#include <cstdlib>

namespace vantrell {

namespace {
constexpr const char *readingDateTime = "Korvane Connected...reading date/time";
constexpr const char *readingPrefix = "Korvane Connected...reading ";
constexpr const char *readingParameters = "Korvane Connected...reading parameters";
constexpr const char *readingParametersFailed = "Korvane Connected...reading parameters...failed";
constexpr const char *korvaneDisconnecting = "Korvane Disconnecting...";
constexpr const char *switchConnecting = "Switch Connecting...";
constexpr const char *switchGettingMnc = "Switch getting MNC...";
constexpr const char *switchDisconnecting = "Switch Disconnecting...";
constexpr const char *selectingKorvane = "Selecting Korvane no.";
constexpr const char *disablingModules = "Disabling all modules...";
constexpr const char *sendingNetwork = "Sending Network...";
constexpr const char *sendingSection = "Sending Section...";

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
constexpr const char *clockOf = "clock of ";
constexpr const char *loggerAtPosition = "the logger at position ";
constexpr const char *clockWas = " was ";
constexpr const char *clockReadAs = " read as \"";
constexpr const char *clockFast = " fast";
constexpr const char *clockSlow = " slow";
constexpr const char *clockSet = "; set";

// A logger clock up to this many minutes ahead of the PC is left alone.
constexpr int toleratedMinutesAhead = 14;
constexpr int parameterAttempts = 2;
// Offsets of the two hexadecimal module digits in the switch's status answer.
constexpr std::size_t highModulesAt = 42;
constexpr std::size_t lowModulesAt = 43;

// Two digits at `at` of `text`; nothing unless both are digits.
std::optional<int> twoDigitsAt(std::string_view text, std::size_t at) {
    const std::string_view digits = cut(text, {at, 2});
    if (digits.size() != 2 || !std::isdigit((unsigned char)digits[0]) ||
        !std::isdigit((unsigned char)digits[1]))
        return std::nullopt;
    return (digits[0] - '0') * 10 + (digits[1] - '0');
}

// The logger's date and time as a local time; nothing for an answer that holds no valid one.
std::optional<LocalDateTime> loggerTime(const LoggerClock &clock) {
    const std::optional<int> parts[] = {twoDigitsAt(clock.date, 6), twoDigitsAt(clock.date, 3),
                                        twoDigitsAt(clock.date, 0), twoDigitsAt(clock.time, 0),
                                        twoDigitsAt(clock.time, 3), twoDigitsAt(clock.time, 6)};
    for (const std::optional<int> &part : parts)
        if (!part)
            return std::nullopt;
    const LocalDateTime t{2000 + *parts[0], *parts[1], *parts[2], *parts[3], *parts[4], *parts[5]};
    const std::chrono::year_month_day day{std::chrono::year(t.year), std::chrono::month(t.month),
                                          std::chrono::day(t.day)};
    if (!day.ok() || t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    return t;
}

// "2 d 3 h 0 min 5 s": days and hours only where there are any.
std::string deviationText(long long seconds) {
    const long long d = seconds / 86400, h = seconds % 86400 / 3600;
    std::string text;
    if (d > 0)
        text += std::to_string(d) + " d ";
    if (d > 0 || h > 0)
        text += std::to_string(h) + " h ";
    return text + std::to_string(seconds % 3600 / 60) + " min " + std::to_string(seconds % 60) +
           " s";
}
} // namespace

void Connect::send(const std::string &bytes) {
    serial_.send(bytes);
}

void Connect::show(const std::string &text) {
    line_.progress().detail(text);
}

LoggerConnection Connect::connectLogger(const DeviceRecord &device, int loggerIndex,
                                        LoggerLine line, int samplingCode) {
    for (int attempt = 1; attempt <= parameterAttempts; ++attempt) {
        show(linkText::korvaneConnecting);
        sendLoggerPreamble();
        if (!serial_.wakeLogger(line))
            return {StepOutcome::failure(), AnswerExpected::yes, std::nullopt};
        show(linkText::korvaneConnected);
        send(std::string(1, preamble));
        const LoggerClock clock = readLoggerClock();
        AnswerExpected commandAnswers = AnswerExpected::yes;
        if (device.flag(field::setClock) && loggerClockIsOff(clock)) {
            steps_.setLoggerClock();
            noteClockCorrection(clock, device, loggerIndex);
            commandAnswers = AnswerExpected::no;
        }
        show(readingParameters);
        serial_.pause1s();
        if (std::optional<DecodedParameters> parameters = steps_.readParameters()) {
            const bool sameLogger =
                device.serialNumber(loggerIndex) == parameters->parameters.loggerSerial;
            return {sameLogger ? StepOutcome::success()
                               : StepOutcome::failure(SessionStatus::serialMismatch),
                    commandAnswers, std::move(parameters)};
        }
        show(readingParametersFailed);
        serial_.pause1s();
        disconnectLogger(samplingCode);
    }
    return {StepOutcome::failure(SessionStatus::parametersUnreadable), AnswerExpected::yes,
            std::nullopt};
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

LoggerClock Connect::readLoggerClock() {
    show(readingDateTime);
    LoggerClock clock = serial_.readClock();
    serial_.pause1s();
    show(std::string(readingPrefix) + clock.date + " " + clock.time);
    serial_.pause1s();
    return clock;
}

// Another day is always corrected; on the same day only a logger running ahead by more than
// the tolerance is, since a logger behind the PC loses no reading.
bool Connect::loggerClockIsOff(const LoggerClock &clock) const {
    const LocalDateTime now = line_.clock().localNow();
    const std::string &date = clock.date;
    if (zeroPad(now.day, 2) != cut(date, {0, 2}) || zeroPad(now.month, 2) != cut(date, {3, 2}) ||
        zeroPad(now.year % 100, 2) != cut(date, {6, 2}))
        return true;
    const std::string &time = clock.time;
    const long long loggerMinutes = valInt(cut(time, {0, 2})) * 60 + valInt(cut(time, {3, 2}));
    const long long pcMinutes = now.hour * 60LL + now.minute;
    return loggerMinutes - pcMinutes > toleratedMinutesAhead;
}

// The logger's serial number is read only after its clock, so the correction names the logger
// the device expects at this position.
void Connect::noteClockCorrection(const LoggerClock &clock, const DeviceRecord &device,
                                  int loggerIndex) {
    const std::string expected = trim(device.serialNumber(loggerIndex));
    std::string text =
        clockOf + (expected.empty() ? loggerAtPosition + std::to_string(loggerIndex) : expected);
    if (const std::optional<LocalDateTime> logger = loggerTime(clock)) {
        const long long ahead = (logger->toLocalSeconds() - clock.askedAt.toLocalSeconds()).count();
        text += clockWas + deviationText(std::llabs(ahead)) + (ahead > 0 ? clockFast : clockSlow);
    } else {
        text += clockReadAs + clock.date + " " + clock.time + "\"";
    }
    line_.progress().note(text + clockSet);
}

void Connect::disconnectLogger(int samplingCode) {
    line_.wait(1);
    show(korvaneDisconnecting);
    send(std::string(1, samplingCode < fastSamplingCodes ? loggerReleaseFast : loggerRelease));
}

// An answer too short to carry the module digits says no more about the station than an empty
// one: the switch is not usable.
SwitchConnection Connect::connectSwitch() {
    show(switchConnecting);
    send(blanks400);
    serial_.pause1s();
    if (!serial_.wakeSwitch()) {
        send(std::string(1, switchRelease));
        serial_.pause500ms();
        return {StepOutcome::failure(SessionStatus::switchSilent)};
    }
    show(switchGettingMnc);
    const Exchange status = serial_.exchangeSwitch("B00", AnswerExpected::yes);
    serial_.pause1s();
    const std::optional<unsigned> modules = decodeModuleDigits(status.reply.text);
    if (!modules)
        return {StepOutcome::failure(SessionStatus::switchStatusEmpty)};
    show(linkText::switchConnected);
    return {StepOutcome::success(), *modules};
}

// Any character is a digit by its code (above 58: code - 55, else code - 48), of which only bits
// 0..3 count: a lower-case "f" (102 - 55 = 0x2F) gives the same modules as "F".
std::optional<unsigned> decodeModuleDigits(std::string_view reply) {
    if (reply.size() <= lowModulesAt)
        return std::nullopt;
    const auto digit = [](char c) {
        const int code = static_cast<unsigned char>(c);
        return static_cast<unsigned>(code > 58 ? code - 55 : code - 48) & 0xFu;
    };
    return digit(reply[highModulesAt]) << 4 | digit(reply[lowModulesAt]);
}

void Connect::disconnectSwitch() {
    show(switchDisconnecting);
    send(std::string(1, switchRelease));
    serial_.pause1s();
}

void Connect::selectLogger(int loggerIndex) {
    show(selectingKorvane + std::to_string(loggerIndex) + "...");
    send(std::string(1, selectPrefix));
    serial_.pause300ms();
    send(std::string(1, char(selectBase + loggerIndex)));
    serial_.pause1s();
}

// A code beyond one byte cannot be formed; the command last sent (disable all modules) goes out
// again in its place, which routes nothing and does no harm.
void Connect::selectNetworkSection(int network, int section) {
    const auto routeCode = [](int code) {
        return std::string(1, char(code > 0xFF || code < 0 ? disableAllModules : code));
    };
    const std::string disableText = std::string(disablingModules) + " 255";
    serial_.flushInput();
    show(disableText);
    send(routeCode(disableAllModules));
    serial_.pause1s();
    const int networkCode = networkBase + network;
    show(std::string(sendingNetwork) + " " + std::to_string(networkCode));
    send(routeCode(networkCode));
    serial_.pause1s();
    serial_.pause100ms();
    show(disableText);
    send(routeCode(disableAllModules));
    serial_.pause1s();
    serial_.pause1s();
    const int sectionCode = sectionBase + section;
    show(std::string(sendingSection) + " " + std::to_string(sectionCode));
    send(routeCode(sectionCode));
    serial_.pause1s();
}

} // namespace vantrell
