#include "sim/GsmModem.h"

#include "general/Text.h"

namespace vantrell::sim {

using namespace gsmAnswers;

namespace {
// A modem's command line buffer; longer lines are cut, as a real one does.
constexpr std::size_t maxLineLength = 256;
// A text-mode SMS holds 160 characters; a longer text is cut when it is sent.
constexpr std::size_t maxMessageLength = 160;
constexpr unsigned char sendMessage = 26;
constexpr unsigned char abandonMessage = 27;

} // namespace

GsmModem::GsmModem(World &world, const std::vector<Fault> &faults) : world_(world) {
    if (const Fault *refused = findFault(faults, FaultKind::smsRefused))
        refusalsLeft_ = refused->count;
}

void GsmModem::receive(unsigned char byte) {
    if (mode_ == Mode::message)
        hearMessageByte(byte);
    else
        hearCommandByte(byte);
}

void GsmModem::hearCommandByte(unsigned char byte) {
    if (echo_)
        answer(std::string(1, static_cast<char>(byte)));
    if (byte == '\r') {
        const std::string line = std::move(line_);
        line_.clear();
        runCommand(line);
        return;
    }
    if (byte != '\n' && line_.size() < maxLineLength)
        line_ += static_cast<char>(byte);
}

// Anything before "AT" (a stray character, a cut command) is not part of the command.
void GsmModem::runCommand(const std::string &line) {
    const std::size_t at = toUpper(line).find("AT");
    if (at == std::string::npos)
        return;
    commands_.push_back(line.substr(at));
    const std::string command = line.substr(at + 2);
    const std::string c = toUpper(command);
    if (c.empty()) {
        later(resultDelay, std::string(ok));
    } else if (c == "E0" || c == "E1") {
        echo_ = c == "E1";
        later(resultDelay, std::string(ok));
    } else if (c == "+CMGF=1" || c == "+CMGF=0") {
        textMode_ = c == "+CMGF=1";
        later(resultDelay, std::string(ok));
    } else if (c.starts_with("+CMGS=") && openMessage(command.substr(6))) {
        later(resultDelay, std::string(prompt));
    } else {
        later(resultDelay, std::string(error));
    }
}

// In text mode the argument is the number in double quotes.
bool GsmModem::openMessage(const std::string &arguments) {
    if (!textMode_ || arguments.size() < 3 || arguments.front() != '"')
        return false;
    const std::size_t close = arguments.find('"', 1);
    if (close == std::string::npos || close == 1)
        return false;
    number_ = arguments.substr(1, close - 1);
    text_.clear();
    mode_ = Mode::message;
    return true;
}

void GsmModem::hearMessageByte(unsigned char byte) {
    if (byte == abandonMessage) {
        mode_ = Mode::command;
        ++abandoned_;
        later(resultDelay, std::string(ok));
        return;
    }
    if (byte == sendMessage) {
        mode_ = Mode::command;
        if (refusalsLeft_ > 0) {
            --refusalsLeft_;
            later(sendDelay, std::string(error));
            return;
        }
        messages_.push_back({world_.now(), number_, text_.substr(0, maxMessageLength)});
        later(sendDelay,
              std::string(messageReference) + std::to_string(++reference_) + std::string(ok));
        return;
    }
    if (echo_)
        answer(std::string(1, static_cast<char>(byte)));
    text_ += static_cast<char>(byte);
    if (byte == '\r')
        answer(prompt.substr(1));
}

void GsmModem::later(double delay, std::string bytes) {
    world_.after(delay, [this, bytes = std::move(bytes)] { answer(bytes); });
}

} // namespace vantrell::sim
