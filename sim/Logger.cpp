#include "sim/Logger.h"

#include "general/Text.h"
#include "sim/LoggerEncoding.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>

namespace vantrell::sim {

using namespace loggerCodes;

namespace {

// The logger's command buffer; anything longer cannot be a command it knows.
constexpr std::size_t maxCommandLength = 64;

bool isUpperHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

bool isDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

int number(std::string_view text, std::size_t offset) {
    return std::atoi(std::string(cut(text, {offset, 2})).c_str());
}

// "hYY-MM-DD HH:MM:SS"; nothing when the text is not a valid time.
std::optional<LocalDateTime> parseClockCommand(std::string_view command) {
    constexpr std::string_view shape = "h##-##-## ##:##:##";
    if (command.size() != shape.size())
        return std::nullopt;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool fits = shape[i] == '#' ? isDigits(command.substr(i, 1)) : command[i] == shape[i];
        if (!fits)
            return std::nullopt;
    }
    const LocalDateTime t{2000 + number(command, 1), number(command, 4),  number(command, 7),
                          number(command, 10),       number(command, 13), number(command, 16)};
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
        t.second > 59)
        return std::nullopt;
    return t;
}

std::string dashedTime(const LocalDateTime &t) {
    return zeroPad(t.year % 100, 2) + "-" + zeroPad(t.month, 2) + "-" + zeroPad(t.day, 2) + " " +
           zeroPad(t.hour, 2) + ":" + zeroPad(t.minute, 2) + ":" + zeroPad(t.second, 2);
}

} // namespace

std::string describe(const LoggerEvent &event) {
    using Kind = LoggerEvent::Kind;
    switch (event.kind) {
    case Kind::woken:
        return "woken";
    case Kind::wrongWake:
        return "answered the wake-up wrongly";
    case Kind::clockSent:
        return "clock sent: " + event.detail;
    case Kind::parametersSent:
        return "parameter block sent";
    case Kind::erased:
        return "memory erased";
    case Kind::clockSet:
        return "clock set to " + event.detail;
    case Kind::recordsSent:
        return "records " + event.detail + " sent";
    case Kind::transferCut:
        return "record stream cut after record " + event.detail;
    case Kind::asleep:
        return "asleep";
    case Kind::rejected:
        return "unknown command: " + event.detail;
    }
    return {};
}

Logger::Logger(World &world, LoggerDescription description)
    : world_(world), logger_(std::move(description)), random_(logger_.noiseSeed) {}

LocalDateTime Logger::clock() const {
    return world_.clock().localNow().plusSeconds(logger_.clockOffsetSeconds);
}

void Logger::store(const std::vector<MemoryRecord> &records) {
    logger_.memory.insert(logger_.memory.end(), records.begin(), records.end());
}

int Logger::count(LoggerEvent::Kind kind) const {
    return int(std::count_if(log_.begin(), log_.end(),
                             [kind](const LoggerEvent &e) { return e.kind == kind; }));
}

void Logger::receive(unsigned char byte) {
    if (fault(FaultKind::silent) != nullptr)
        return;
    switch (state_) {
    case State::asleep:
        // Preamble, blanks and stray bytes pass a sleeping logger by; only the wake-up counts.
        if (byte == wake)
            answerWake();
        return;
    case State::awake:
        hearAwake(byte);
        return;
    case State::listening:
        hearCommandByte(byte);
        return;
    }
}

void Logger::hearAwake(unsigned char byte) {
    switch (byte) {
    case wake:
        answerWake();
        return;
    case readClock:
        answerClock();
        return;
    case readParameters:
        answerParameters();
        return;
    case attention:
        state_ = State::listening;
        command_.clear();
        send(std::string(1, attentionAnswer));
        return;
    case sleep:
    case sleepLong:
        goToSleep();
        return;
    default:
        return;
    }
}

// Command bytes are printable; a request byte in the middle of a command starts over, as the
// station does when it repeats an exchange.
void Logger::hearCommandByte(unsigned char byte) {
    if (byte == static_cast<unsigned char>(carriageReturn)) {
        state_ = State::awake;
        runCommand(command_);
        return;
    }
    if (byte >= 0x80) {
        state_ = State::awake;
        hearAwake(byte);
        return;
    }
    if (command_.size() <= maxCommandLength)
        command_ += static_cast<char>(byte);
}

void Logger::answerWake() {
    ++wakeUps_;
    const Fault *wrong = fault(FaultKind::wrongWake);
    if (wrong != nullptr && wakeUps_ <= wrong->count) {
        note(LoggerEvent::Kind::wrongWake);
        send(std::string(1, wrongWakeAnswer));
        return;
    }
    state_ = State::awake;
    note(LoggerEvent::Kind::woken);
    send(std::string(1, logger_.wakeAnswer));
}

void Logger::answerClock() {
    const std::string text = encodeClock(clock());
    note(LoggerEvent::Kind::clockSent, text);
    sendCutShort(text);
}

void Logger::answerParameters() {
    if (fault(FaultKind::emptyParameters) != nullptr)
        return;
    note(LoggerEvent::Kind::parametersSent);
    sendCutShort(encodeParameterBlock(logger_));
}

void Logger::runCommand(const std::string &command) {
    if (command == eraseCommand)
        erase();
    else if (startsWith(command, "h"))
        setClock(command);
    else if (startsWith(command, "L"))
        sendRecords(command);
    else
        note(LoggerEvent::Kind::rejected, command);
}

void Logger::erase() {
    logger_.memory.clear();
    note(LoggerEvent::Kind::erased);
    send(std::string(eraseAnswer) + carriageReturn);
}

// The station does not wait for an answer here, so the logger gives none.
void Logger::setClock(const std::string &command) {
    const auto time = parseClockCommand(command);
    if (!time) {
        note(LoggerEvent::Kind::rejected, command);
        return;
    }
    const auto now = world_.clock().localNow();
    logger_.clockOffsetSeconds = (time->toLocalSeconds() - now.toLocalSeconds()).count();
    note(LoggerEvent::Kind::clockSet, dashedTime(*time));
}

// "LSSSSNNNN": records SSSS to NNNN, each followed by CR. Numbers past the end of the memory
// read as erased cells.
void Logger::sendRecords(const std::string &command) {
    if (command.size() != 9 || !isUpperHex(command.substr(1))) {
        note(LoggerEvent::Kind::rejected, command);
        return;
    }
    const auto first = std::max<std::size_t>(std::stoul(command.substr(1, 4), nullptr, 16), 1);
    const auto last = std::stoul(command.substr(5, 4), nullptr, 16);
    const unsigned stream = ++stream_;
    if (first > last) {
        note(LoggerEvent::Kind::recordsSent, std::to_string(first) + ".." + std::to_string(last));
        return;
    }
    world_.after(logger_.reactionDelay, [this, first, last, stream] {
        answer(noise());
        streamFirst_ = first;
        streaming_ = true;
        streamRecord(first, last, stream);
    });
}

void Logger::streamRecord(std::size_t k, std::size_t last, unsigned stream) {
    if (stream != stream_)
        return;
    const Fault *stop = fault(FaultKind::stopsAfterRecord);
    if (stop != nullptr && k > std::size_t(stop->count)) {
        streaming_ = false;
        note(LoggerEvent::Kind::transferCut, std::to_string(k - 1));
        return;
    }
    std::string bytes = recordBytes(k);
    const Fault *garbled = fault(FaultKind::garbledRecord);
    if (garbled != nullptr && k == std::size_t(garbled->count))
        bytes.pop_back();
    bytes += carriageReturn;
    answer(bytes);
    lastSent_ = k;
    if (k == last) {
        streaming_ = false;
        note(LoggerEvent::Kind::recordsSent,
             std::to_string(streamFirst_) + ".." + std::to_string(last));
        return;
    }
    world_.after(double(bytes.size()) * byteTime,
                 [this, k, last, stream] { streamRecord(k + 1, last, stream); });
}

std::string Logger::recordBytes(std::size_t k) const {
    if (k >= 1 && k <= logger_.memory.size())
        return encodeRecord(logger_.memory[k - 1], logger_);
    return encodeRecord(MemoryRecord::emptyRecord(), logger_);
}

void Logger::goToSleep() {
    if (streaming_)
        note(LoggerEvent::Kind::transferCut, std::to_string(lastSent_));
    streaming_ = false;
    ++stream_;
    state_ = State::asleep;
    note(LoggerEvent::Kind::asleep);
}

void Logger::send(std::string bytes) {
    world_.after(logger_.reactionDelay,
                 [this, bytes = noise() + std::move(bytes)] { answer(bytes); });
}

void Logger::sendCutShort(std::string text) {
    const Fault *cut = fault(FaultKind::cutShort);
    if (cut != nullptr)
        send(text.substr(0, std::size_t(cut->count)));
    else
        send(std::move(text) + carriageReturn);
}

std::string Logger::noise() {
    const Fault *noisy = fault(FaultKind::noise);
    std::string bytes;
    for (int i = 0; noisy != nullptr && i < noisy->count; ++i)
        bytes += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random_));
    return bytes;
}

void Logger::note(LoggerEvent::Kind kind, std::string detail) {
    log_.push_back({world_.now(), kind, std::move(detail)});
    if (observer_)
        observer_(log_.back());
}

} // namespace vantrell::sim
