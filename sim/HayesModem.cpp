#include "sim/HayesModem.h"

#include "general/Text.h"

#include <algorithm>

namespace vantrell::sim {

using namespace modemAnswers;

namespace {
// A modem's command line buffer; longer lines are cut, as a real one does.
constexpr std::size_t maxLineLength = 64;
constexpr char escapeCharacter = '+';
constexpr int escapeLength = 3;
// The strings a station sends to prepare the modem; the init error fault refuses them.
constexpr std::string_view initCommands[] = {"&DO&K0", "X1", "&R1"};

} // namespace

std::string describe(const ModemEvent &event) {
    using Kind = ModemEvent::Kind;
    switch (event.kind) {
    case Kind::heard:
        return "heard " + event.detail;
    case Kind::factoryReset:
        return "factory settings";
    case Kind::dialled:
        return "dialling " + event.detail;
    case Kind::connected:
        return "connected";
    case Kind::refused:
        return "dial refused: " + event.detail;
    case Kind::dialAborted:
        return "dialling aborted by a key";
    case Kind::escaped:
        return "escape: command mode, call up";
    case Kind::hungUp:
        return "hung up";
    }
    return {};
}

HayesModem::HayesModem(World &world, Device &remote, std::vector<Fault> faults)
    : world_(world), remote_(remote), faults_(std::move(faults)) {
    remote_.attachUpstream([this](std::string_view bytes) { passAnswer(call_, bytes); });
}

int HayesModem::count(ModemEvent::Kind kind) const {
    return int(std::count_if(log_.begin(), log_.end(),
                             [kind](const ModemEvent &e) { return e.kind == kind; }));
}

void HayesModem::receive(unsigned char byte) {
    switch (mode_) {
    case Mode::data:
        hearDataByte(byte);
        return;
    case Mode::dialling:
        // Any key ends a dial attempt, as on every Hayes modem.
        mode_ = Mode::command;
        ++call_;
        note(ModemEvent::Kind::dialAborted);
        result(noCarrier);
        return;
    case Mode::command:
        hearCommandByte(byte);
        return;
    }
}

bool HayesModem::silenced() const {
    const Fault *stops = findFault(faults_, FaultKind::modemStopsAfter);
    return hasFault(FaultKind::modemSilent) || (stops != nullptr && commandsHeard_ >= stops->count);
}

void HayesModem::hearCommandByte(unsigned char byte) {
    if (silenced())
        return;
    if (echo_)
        answer(std::string(1, static_cast<char>(byte)));
    if (byte == '\r') {
        const std::string line = std::move(line_);
        line_.clear();
        runCommand(line);
        return;
    }
    if (line_.size() < maxLineLength)
        line_ += static_cast<char>(byte);
}

// Anything before "AT" (a stray line feed, a cut command) is not part of the command.
void HayesModem::runCommand(const std::string &line) {
    const std::size_t at = toUpper(line).find("AT");
    if (at == std::string::npos)
        return;
    ++commandsHeard_;
    note(ModemEvent::Kind::heard, line.substr(at));
    const std::string command = line.substr(at + 2);
    const std::string c = toUpper(command);
    if (c.starts_with("D")) {
        const std::size_t digitsAt = c.starts_with("DT") || c.starts_with("DP") ? 2 : 1;
        dial(command.substr(digitsAt));
        return;
    }
    if (c == "E0" || c == "E1") {
        echo_ = c == "E1";
    } else if (c == "&F") {
        echo_ = true;
        note(ModemEvent::Kind::factoryReset);
    } else if (c == "H" || c == "H0") {
        hangUp();
    } else if (std::find(std::begin(initCommands), std::end(initCommands), c) !=
                   std::end(initCommands) &&
               hasFault(FaultKind::modemInitError)) {
        result(error);
        return;
    }
    result(ok);
}

void HayesModem::dial(const std::string &number) {
    dialled_ = number;
    mode_ = Mode::dialling;
    const unsigned call = ++call_;
    note(ModemEvent::Kind::dialled, number);
    if (!hasFault(FaultKind::modemNoDialAnswer))
        world_.after(dialDelay, [this, call] { finishDial(call); });
}

void HayesModem::finishDial(unsigned call) {
    if (call != call_ || mode_ != Mode::dialling)
        return;
    const bool busy = hasFault(FaultKind::modemBusy);
    if (busy || hasFault(FaultKind::modemNoCarrier)) {
        mode_ = Mode::command;
        note(ModemEvent::Kind::refused, busy ? "BUSY" : "NO CARRIER");
        result(busy ? modemAnswers::busy : noCarrier);
        return;
    }
    mode_ = Mode::data;
    callUp_ = true;
    pluses_ = 0;
    lastHeard_ = world_.now();
    note(ModemEvent::Kind::connected);
    result(connect);
}

void HayesModem::hangUp() {
    mode_ = Mode::command;
    if (!callUp_)
        return;
    callUp_ = false;
    ++call_;
    note(ModemEvent::Kind::hungUp);
}

void HayesModem::hearDataByte(unsigned char byte) {
    countEscape(byte);
    world_.after(lineDelay, [this, call = call_, byte] {
        if (call == call_ && callUp_)
            remote_.receive(byte);
    });
}

// "+++" is an escape only when framed by silence: at least the guard time before the first
// "+", each next "+" within the guard time, and the guard time with nothing after the last.
// Any byte heard meanwhile cancels a pending escape.
void HayesModem::countEscape(unsigned char byte) {
    const double now = world_.now();
    const double gap = now - lastHeard_;
    lastHeard_ = now;
    const unsigned escape = ++escape_;
    if (byte != escapeCharacter) {
        pluses_ = 0;
        return;
    }
    if (pluses_ > 0 && pluses_ < escapeLength && gap < guardTime)
        ++pluses_;
    else
        pluses_ = gap >= guardTime ? 1 : 0;
    if (pluses_ == escapeLength)
        world_.after(guardTime, [this, escape] { checkEscape(escape); });
}

void HayesModem::checkEscape(unsigned escape) {
    if (escape != escape_ || mode_ != Mode::data)
        return;
    mode_ = Mode::command;
    pluses_ = 0;
    line_.clear();
    note(ModemEvent::Kind::escaped);
    result(ok);
}

// The far end's answers reach the station only in data mode and only from the call they
// belong to.
void HayesModem::passAnswer(unsigned call, std::string_view bytes) {
    world_.after(lineDelay, [this, call, text = std::string(bytes)] {
        if (call == call_ && mode_ == Mode::data)
            answer(text);
    });
}

void HayesModem::result(std::string_view code) {
    world_.after(resultDelay, [this, text = std::string(code)] { answer(text); });
}

void HayesModem::note(ModemEvent::Kind kind, std::string detail) {
    log_.push_back({world_.now(), kind, std::move(detail)});
    if (observer_)
        observer_(log_.back());
}

} // namespace vantrell::sim
