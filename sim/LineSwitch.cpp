#include "sim/LineSwitch.h"

#include "general/Text.h"

namespace vantrell::sim {

using namespace switchCodes;

namespace {
// The switch's command buffer; anything longer cannot be a command it knows.
constexpr std::size_t maxCommandLength = 64;
constexpr unsigned char firstPosition = select + 2; // 0x83: position 1
} // namespace

std::string describe(const SwitchEvent &event) {
    using Kind = SwitchEvent::Kind;
    switch (event.kind) {
    case Kind::woken:
        return "switch woken";
    case Kind::statusSent:
        return "module status sent";
    case Kind::selected:
        return "position " + std::to_string(event.number) + " connected";
    case Kind::released:
        return "released";
    case Kind::allDisabled:
        return "all modules disabled";
    case Kind::network:
        return "network " + std::to_string(event.number) + " routed";
    case Kind::section:
        return "section " + std::to_string(event.number) + " routed";
    case Kind::rejected:
        return "unknown command: " + event.detail;
    }
    return {};
}

LineSwitch::LineSwitch(World &world, std::vector<Fault> faults)
    : world_(world), faults_(std::move(faults)) {}

void LineSwitch::place(int position, Device &device) {
    devices_[std::size_t(position - 1)] = &device;
    device.attachUpstream(
        [this, position](std::string_view bytes) { passAnswer(position, bytes); });
}

std::string LineSwitch::moduleStatus() const {
    unsigned low = 0;
    unsigned high = 0;
    for (int p = 0; p < positions; ++p)
        if (devices_[std::size_t(p)] != nullptr)
            (p < 4 ? low : high) |= 1u << (p % 4);
    return std::string(statusLength - 2, statusFiller) + hexDigits(high, 1) + hexDigits(low, 1);
}

void LineSwitch::receive(unsigned char byte) {
    if (hasFault(FaultKind::silentSwitch))
        return;
    if (state_ == State::listening) {
        hearCommandByte(byte);
        return;
    }
    if (state_ == State::selecting) {
        state_ = State::idle;
        if (byte >= firstPosition && byte < firstPosition + positions) {
            connect(byte - firstPosition + 1);
            return;
        }
    }
    if (hearOwnByte(byte))
        return;
    if (connected_ != 0 && devices_[std::size_t(connected_ - 1)] != nullptr)
        devices_[std::size_t(connected_ - 1)]->receive(byte);
}

bool LineSwitch::hearOwnByte(unsigned char byte) {
    switch (byte) {
    case wake:
        note(SwitchEvent::Kind::woken);
        send(std::string(1, wakeAnswer));
        return true;
    case attention:
        state_ = State::listening;
        command_.clear();
        send(std::string(1, attentionAnswer));
        return true;
    case select:
        state_ = State::selecting;
        return true;
    case release:
        connected_ = 0;
        note(SwitchEvent::Kind::released);
        return true;
    case disableAll:
        connected_ = 0;
        note(SwitchEvent::Kind::allDisabled);
        return true;
    default:
        break;
    }
    if (byte >= firstNetwork && byte <= lastNetwork) {
        network_ = byte - firstNetwork + 1;
        note(SwitchEvent::Kind::network, network_);
        return true;
    }
    if (byte >= firstSection && byte <= lastSection) {
        section_ = byte - firstSection + 1;
        note(SwitchEvent::Kind::section, section_);
        return true;
    }
    return false;
}

void LineSwitch::hearCommandByte(unsigned char byte) {
    if (byte == '\r') {
        state_ = State::idle;
        runCommand(command_);
        return;
    }
    if (byte >= 0x80) {
        state_ = State::idle;
        receive(byte);
        return;
    }
    if (command_.size() <= maxCommandLength)
        command_ += static_cast<char>(byte);
}

void LineSwitch::runCommand(const std::string &command) {
    if (command != statusCommand) {
        note(SwitchEvent::Kind::rejected, 0, command);
        return;
    }
    note(SwitchEvent::Kind::statusSent);
    send(hasFault(FaultKind::emptyModuleStatus) ? std::string("\r") : moduleStatus() + '\r');
}

void LineSwitch::connect(int position) {
    connected_ = position;
    note(SwitchEvent::Kind::selected, position);
}

// A logger's answer reaches the line only while its position is connected.
void LineSwitch::passAnswer(int position, std::string_view bytes) {
    if (position == connected_)
        answer(bytes);
}

void LineSwitch::send(std::string bytes) {
    world_.after(reactionDelay, [this, bytes = std::move(bytes)] { answer(bytes); });
}

void LineSwitch::note(SwitchEvent::Kind kind, int number, std::string detail) {
    log_.push_back({world_.now(), kind, number, std::move(detail)});
    if (observer_)
        observer_(log_.back());
}

} // namespace vantrell::sim
