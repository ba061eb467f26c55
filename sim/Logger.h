// A data logger on the far end of the line. It sleeps until woken, then answers the station's
// single-byte requests (clock, parameter block) and its text commands (erase, set clock, send
// records), with the timing of a 9600-baud line and, when asked, with the faults of a real one.
// It keeps a log of what happened to it so that a test can check, say, that the memory was
// erased only once and only after a complete transfer.
#pragma once

#include "sim/Device.h"
#include "sim/LoggerDescription.h"
#include "sim/World.h"

#include <cstddef>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace vantrell::sim {

// What the logger's own line protocol is made of.
namespace loggerCodes {
inline constexpr unsigned char wake = 0x8E;
inline constexpr unsigned char readClock = 0x9E;
inline constexpr unsigned char readParameters = 0x9F;
inline constexpr unsigned char attention = 0x80;
inline constexpr unsigned char sleep = 0x93;
inline constexpr unsigned char sleepLong = 0x8D; // the sign-off for the slower sampling codes
inline constexpr unsigned char preamble = 0x92;
inline constexpr char carriageReturn = '\r';
inline constexpr char attentionAnswer = '!';
inline constexpr char wrongWakeAnswer = '*';
// The logger's answer to a completed erase, followed by CR.
inline constexpr std::string_view eraseAnswer = "OK";
inline constexpr std::string_view eraseCommand = "e0001";
} // namespace loggerCodes

struct LoggerEvent {
    enum class Kind {
        woken,
        wrongWake, // answered the wake-up with the wrong character (fault)
        clockSent,
        parametersSent,
        erased,
        clockSet,    // detail: the new logger time, "YY-MM-DD HH:MM:SS"
        recordsSent, // detail: "first..last"
        transferCut, // the record stream ended early; detail: the last record sent
        asleep,
        rejected, // a text command the logger does not know; detail: the command
    };
    double time;
    Kind kind;
    std::string detail;
};
std::string describe(const LoggerEvent &event);

class Logger final : public Device {
public:
    // The world must outlive the logger's pending answers; keep both in the same scope.
    Logger(World &world, LoggerDescription description);

    void receive(unsigned char byte) override;

    bool awake() const { return state_ != State::asleep; }
    // The logger as it is now: the memory after an erase, the clock after a setting.
    const LoggerDescription &description() const { return logger_; }
    LocalDateTime clock() const;
    // The logger samples on between two sessions: `records` join its memory after the last one.
    void store(const std::vector<MemoryRecord> &records);

    const std::vector<LoggerEvent> &log() const { return log_; }
    int count(LoggerEvent::Kind kind) const;
    // Called for every new log entry (the command-line simulator prints them).
    void onEvent(std::function<void(const LoggerEvent &)> observer) {
        observer_ = std::move(observer);
    }

private:
    enum class State { asleep, awake, listening };

    void hearAwake(unsigned char byte);
    void hearCommandByte(unsigned char byte);
    void answerWake();
    void answerClock();
    void answerParameters();
    void runCommand(const std::string &command);
    void erase();
    void setClock(const std::string &command);
    void sendRecords(const std::string &command);
    void streamRecord(std::size_t k, std::size_t last, unsigned stream);
    std::string recordBytes(std::size_t k) const;
    void goToSleep();

    void send(std::string bytes);
    void sendCutShort(std::string text);
    std::string noise();
    void note(LoggerEvent::Kind kind, std::string detail = {});
    const Fault *fault(FaultKind kind) const { return findFault(logger_.faults, kind); }

    World &world_;
    LoggerDescription logger_;
    State state_ = State::asleep;
    std::string command_;
    int wakeUps_ = 0;
    unsigned stream_ = 0; // bumped to cut a running record stream
    bool streaming_ = false;
    std::size_t streamFirst_ = 0;
    std::size_t lastSent_ = 0;
    std::mt19937 random_;
    std::vector<LoggerEvent> log_;
    std::function<void(const LoggerEvent &)> observer_;
};

} // namespace vantrell::sim
