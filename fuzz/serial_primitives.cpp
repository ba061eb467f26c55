// The byte primitives against a line that answers anything at any time: every primitive ends
// within the virtual time its limits allow, leaves the port closed, keeps its answer within the
// longest it collects, and calls an answer complete only when it is.
#include "FuzzStation.h"

#include "link/Serial.h"

#include <functional>

namespace {

using namespace vantrell;
using fuzz::require;

constexpr int wakeAttempts = 4;
constexpr double longestWakeLimit = 5.0;
constexpr int exchangeAttempts = 2;
constexpr std::size_t maxAnswerLength = 1024;
constexpr std::size_t parameterMinimum = 33;
constexpr std::size_t clockMinimum = 17;
constexpr std::size_t clockTextWidth = 8;
// Room for the bytes the station itself puts on the line during a primitive.
constexpr double writeAllowance = 1.0;

// Each waited-for byte may take a full answer limit.
constexpr double wakeBound = wakeAttempts * longestWakeLimit + writeAllowance;
constexpr double exchangeBound =
    exchangeAttempts * (maxAnswerLength + 2) * answerLimit + writeAllowance;
constexpr double fixedRequestBound = (maxAnswerLength + 1) * answerLimit + writeAllowance;

struct Primitive {
    const char *name;
    std::function<void(Serial &)> run;
    double bound;
    std::size_t completeFrom; // the shortest answer the primitive may call complete
};

void checkLink(const LinkState &link) {
    require(link.handshakeOk == 0 || link.handshakeOk == 1, "the handshake is a flag");
    require(link.replyComplete == "0" || link.replyComplete == "1", "completeness is a flag");
    require(link.reply.size() <= maxAnswerLength, "an answer stays within its longest");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::FuzzInput in(data, size);
    fuzz::FuzzStation bench;
    LinkState &link = bench.station.link;
    link.remoteLinkUp = in.takeBool();
    const bool handshakeBeforeExchange = in.takeBool();
    const std::string command = in.takeText(8);
    fuzz::ScriptedDevice device(bench.world, in);
    bench.port.attach(device);
    Serial serial(bench.station);

    const auto exchange = [&](bool (Serial::*step)()) {
        return [&, step](Serial &s) {
            link.command = command;
            link.handshakeOk = handshakeBeforeExchange ? 1 : 0;
            static_cast<void>((s.*step)());
        };
    };
    const Primitive primitives[] = {
        {"wakeLogger", [](Serial &s) { s.wakeLogger(); }, wakeBound, 0},
        {"exchangeLogger", exchange(&Serial::exchangeLogger), exchangeBound, 0},
        {"readParameterBlock", [](Serial &s) { s.readParameterBlock(); }, fixedRequestBound,
         parameterMinimum},
        {"readClock", [](Serial &s) { s.readClock(); }, fixedRequestBound, clockMinimum},
        {"wakeSwitch", [](Serial &s) { s.wakeSwitch(); }, wakeBound, 0},
        {"exchangeSwitch", exchange(&Serial::exchangeSwitch), exchangeBound, 0},
        {"flushInput", [](Serial &s) { s.flushInput(); }, writeAllowance, 0},
    };
    for (const Primitive &p : primitives) {
        const double start = bench.now();
        p.run(serial);
        require(bench.now() - start <= p.bound, p.name);
        require(!bench.port.isOpen(), "the port is left closed");
        checkLink(link);
        if (link.replyComplete == "1")
            require(link.reply.size() >= p.completeFrom,
                    "an answer is complete only past its minimum");
    }
    require(link.loggerDate.size() <= clockTextWidth && link.loggerTime.size() <= clockTextWidth,
            "the clock texts keep their width");
    return 0;
}
