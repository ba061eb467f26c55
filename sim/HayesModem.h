// A Hayes-compatible dial-up modem between the station's port and a remote station. In command
// mode it echoes what it hears (until told "ATE0"), answers AT commands with result codes and
// dials; once connected it passes bytes both ways until the "+++" escape, framed by a guard time
// of silence, brings it back to command mode, where "ATH0" ends the call. Timing runs on the
// World, and a log of what happened lets a test check, say, that the call was really hung up.
#pragma once

#include "sim/Device.h"
#include "sim/Faults.h"
#include "sim/World.h"

#include <functional>
#include <string>
#include <vector>

namespace vantrell::sim {

namespace modemAnswers {
inline constexpr std::string_view ok = "\r\nOK\r\n";
inline constexpr std::string_view error = "\r\nERROR\r\n";
inline constexpr std::string_view connect = "\r\nCONNECT 9600\r\n";
inline constexpr std::string_view busy = "\r\nBUSY\r\n";
inline constexpr std::string_view noCarrier = "\r\nNO CARRIER\r\n";
} // namespace modemAnswers

struct ModemEvent {
    enum class Kind {
        heard,        // detail: a command line, without its CR
        factoryReset, // "AT&F"
        dialled,      // detail: the number
        connected,
        refused,     // detail: the result code the dial got (BUSY, NO CARRIER)
        dialAborted, // a byte arrived while dialling
        escaped,     // "+++" recognised: back in command mode with the call up
        hungUp,
    };
    double time;
    Kind kind;
    std::string detail;
};
std::string describe(const ModemEvent &event);

class HayesModem final : public Device {
public:
    // `remote` is what answers the call (a logger, a line switch); it stays owned by the caller.
    // The world must outlive the modem's pending answers; keep both in the same scope.
    HayesModem(World &world, Device &remote, std::vector<Fault> faults = {});

    void receive(unsigned char byte) override;

    // A call is up from CONNECT to the hang-up, in data mode and after the escape alike.
    bool connected() const { return callUp_; }
    bool inDataMode() const { return mode_ == Mode::data; }
    bool echoOn() const { return echo_; }
    const std::string &dialledNumber() const { return dialled_; }

    const std::vector<ModemEvent> &log() const { return log_; }
    int count(ModemEvent::Kind kind) const;
    void onEvent(std::function<void(const ModemEvent &)> observer) {
        observer_ = std::move(observer);
    }

    // Seconds from the CR of a command to its result code.
    double resultDelay = 0.02;
    // Seconds from the dial command to the far end's verdict (ringing, answer, busy).
    double dialDelay = 15.0;
    // One-way delay of the telephone line between the two modems.
    double lineDelay = 0.05;
    // Register S12: the silence the escape needs before and after "+++", and the longest gap
    // between its characters.
    double guardTime = 1.0;

private:
    enum class Mode { command, dialling, data };

    void hearCommandByte(unsigned char byte);
    void runCommand(const std::string &line);
    void dial(const std::string &number);
    void finishDial(unsigned call);
    void hangUp();
    void hearDataByte(unsigned char byte);
    void countEscape(unsigned char byte);
    void checkEscape(unsigned escape);
    void passAnswer(unsigned call, std::string_view bytes);
    void result(std::string_view code);
    bool silenced() const;
    bool hasFault(FaultKind kind) const { return findFault(faults_, kind) != nullptr; }
    void note(ModemEvent::Kind kind, std::string detail = {});

    World &world_;
    Device &remote_;
    std::vector<Fault> faults_;
    Mode mode_ = Mode::command;
    bool callUp_ = false;
    bool echo_ = true;
    std::string line_;
    std::string dialled_;
    int commandsHeard_ = 0;
    unsigned call_ = 0; // bumped by every dial and hang-up, so late events of an old call die
    double lastHeard_ = -1e9;
    int pluses_ = 0;
    unsigned escape_ = 0; // bumped by every byte heard in data mode
    std::vector<ModemEvent> log_;
    std::function<void(const ModemEvent &)> observer_;
};

} // namespace vantrell::sim
