// The line switch in front of a station's loggers: it connects one logger position at a time
// to the line and can route a network and a section. Bytes meant for the switch are taken off
// the line; everything else reaches the connected logger, and only that logger's answers come
// back. Any Device can sit at a position, so a switch can also stand behind a modem.
#pragma once

#include "sim/Device.h"
#include "sim/Faults.h"
#include "sim/World.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace vantrell::sim {

namespace switchCodes {
inline constexpr unsigned char wake = 0x91;
inline constexpr unsigned char attention = 0x82;
inline constexpr unsigned char select = 0x81; // followed by 0x82 + position
inline constexpr unsigned char release = 0x8C;
inline constexpr unsigned char disableAll = 0xFF;
inline constexpr unsigned char firstNetwork = 0xE0; // network N is 0xDF + N
inline constexpr unsigned char lastNetwork = 0xEF;
inline constexpr unsigned char firstSection = 0xF0; // section S is 0xEF + S
inline constexpr unsigned char lastSection = 0xFE;
inline constexpr char wakeAnswer = '@';
inline constexpr char attentionAnswer = '!';
inline constexpr std::string_view statusCommand = "B00";
// The status answer is 44 characters: this filler, then two hex digits of present positions
// (positions 5..8, then 1..4, bit 0 for the lowest).
inline constexpr char statusFiller = '0';
inline constexpr std::size_t statusLength = 44;
} // namespace switchCodes

struct SwitchEvent {
    enum class Kind {
        woken,
        statusSent,
        selected, // number: the position (an empty position is selected all the same)
        released,
        allDisabled,
        network,  // number: the network routed
        section,  // number: the section routed
        rejected, // detail: the text command the switch does not know
    };
    double time;
    Kind kind;
    int number = 0;
    std::string detail;
};
std::string describe(const SwitchEvent &event);

class LineSwitch final : public Device {
public:
    static constexpr int positions = 8;

    explicit LineSwitch(World &world, std::vector<Fault> faults = {});

    // Puts `device` at `position` (1..8); it stays owned by the caller.
    void place(int position, Device &device);

    void receive(unsigned char byte) override;

    int connectedPosition() const { return connected_; } // 0: none
    int routedNetwork() const { return network_; }       // 0: none yet
    int routedSection() const { return section_; }
    // The status answer without its CR.
    std::string moduleStatus() const;

    const std::vector<SwitchEvent> &log() const { return log_; }
    void onEvent(std::function<void(const SwitchEvent &)> observer) {
        observer_ = std::move(observer);
    }

    // Seconds between a request and the switch's answer.
    double reactionDelay = 0.005;

private:
    enum class State { idle, selecting, listening };

    bool hearOwnByte(unsigned char byte);
    void hearCommandByte(unsigned char byte);
    void runCommand(const std::string &command);
    void connect(int position);
    void passAnswer(int position, std::string_view bytes);
    void send(std::string bytes);
    void note(SwitchEvent::Kind kind, int number = 0, std::string detail = {});
    bool hasFault(FaultKind kind) const { return findFault(faults_, kind) != nullptr; }

    World &world_;
    std::vector<Fault> faults_;
    std::array<Device *, positions> devices_{};
    State state_ = State::idle;
    std::string command_;
    int connected_ = 0;
    int network_ = 0;
    int section_ = 0;
    std::vector<SwitchEvent> log_;
    std::function<void(const SwitchEvent &)> observer_;
};

} // namespace vantrell::sim
