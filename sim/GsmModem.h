// A GSM modem on the station's SMS port. It takes text-mode SMS the way a real one does:
// "AT+CMGF=1" selects text mode, "AT+CMGS="<number>"" opens a message with the "> " prompt,
// the text follows and character 26 sends it (27 abandons it), answered "+CMGS: <n>" and "OK"
// at 9600-baud timing. It keeps every message it sent, number and text, for tests. The
// smsRefused fault makes it answer the next n messages with ERROR and send none of them.
#pragma once

#include "sim/Device.h"
#include "sim/Faults.h"
#include "sim/World.h"

#include <string>
#include <string_view>
#include <vector>

namespace vantrell::sim {

namespace gsmAnswers {
inline constexpr std::string_view ok = "\r\nOK\r\n";
inline constexpr std::string_view error = "\r\nERROR\r\n";
inline constexpr std::string_view prompt = "\r\n> ";
inline constexpr std::string_view messageReference = "\r\n+CMGS: ";
} // namespace gsmAnswers

struct SmsMessage {
    double time; // when the modem took it (character 26)
    std::string number;
    std::string text; // 8-bit, as it arrived
};

class GsmModem final : public Device {
public:
    // The world must outlive the modem's pending answers; keep both in the same scope.
    explicit GsmModem(World &world, const std::vector<Fault> &faults = {});

    void receive(unsigned char byte) override;

    const std::vector<SmsMessage> &messages() const { return messages_; }
    // Every command line heard, without its CR.
    const std::vector<std::string> &commands() const { return commands_; }
    bool textMode() const { return textMode_; }
    int abandoned() const { return abandoned_; }

    // Seconds from the CR of a command to its answer.
    double resultDelay = 0.02;
    // Seconds the network takes to accept a message: a station gives it one second.
    double sendDelay = 0.5;

private:
    enum class Mode { command, message };

    void hearCommandByte(unsigned char byte);
    void runCommand(const std::string &line);
    bool openMessage(const std::string &arguments);
    void hearMessageByte(unsigned char byte);
    void later(double delay, std::string bytes);

    World &world_;
    Mode mode_ = Mode::command;
    bool echo_ = true;
    bool textMode_ = false;
    std::string line_;
    std::string number_;
    std::string text_;
    int reference_ = 0;
    int abandoned_ = 0;
    int refusalsLeft_ = 0;
    std::vector<SmsMessage> messages_;
    std::vector<std::string> commands_;
};

} // namespace vantrell::sim
