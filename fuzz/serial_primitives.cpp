// The byte primitives against a line that answers anything at any time: every primitive ends
// within the virtual time its limits allow, leaves the port closed, keeps its answer within the
// longest it collects, and calls an answer complete only when it is.
#include "FuzzStation.h"

#include "link/Serial.h"

#include <functional>
#include <optional>

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
    // The answer the primitive gave, if it gives one.
    std::function<std::optional<Reply>(Serial &)> run;
    double bound;
    std::size_t completeFrom; // the shortest answer the primitive may call complete
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::FuzzInput in(data, size);
    fuzz::FuzzStation bench;
    const LoggerLine line = in.takeBool() ? LoggerLine::modemCall : LoggerLine::direct;
    const AnswerExpected answer = in.takeBool() ? AnswerExpected::yes : AnswerExpected::no;
    const std::string command = in.takeText(8);
    fuzz::ScriptedDevice device(bench.world, in);
    bench.port.attach(device);
    Serial serial(bench.station.line());

    const auto exchange = [&](Exchange (Serial::*step)(std::string_view, AnswerExpected)) {
        return [&, step](Serial &s) -> std::optional<Reply> {
            return (s.*step)(command, answer).reply;
        };
    };
    LoggerClock clock;
    const Primitive primitives[] = {
        {"wakeLogger",
         [&](Serial &s) -> std::optional<Reply> {
             (void)s.wakeLogger(line);
             return std::nullopt;
         },
         wakeBound, 0},
        {"exchangeLogger", exchange(&Serial::exchangeLogger), exchangeBound, 0},
        {"readParameterBlock",
         [](Serial &s) -> std::optional<Reply> { return s.readParameterBlock(); },
         fixedRequestBound, parameterMinimum},
        {"readClock",
         [&](Serial &s) -> std::optional<Reply> {
             clock = s.readClock();
             return clock.reply;
         },
         fixedRequestBound, clockMinimum},
        {"wakeSwitch",
         [](Serial &s) -> std::optional<Reply> {
             (void)s.wakeSwitch();
             return std::nullopt;
         },
         wakeBound, 0},
        {"exchangeSwitch", exchange(&Serial::exchangeSwitch), exchangeBound, 0},
        {"flushInput",
         [](Serial &s) -> std::optional<Reply> {
             s.flushInput();
             return std::nullopt;
         },
         writeAllowance, 0},
    };
    for (const Primitive &p : primitives) {
        const double start = bench.now();
        const std::optional<Reply> reply = p.run(serial);
        require(bench.now() - start <= p.bound, p.name);
        require(!bench.port.isOpen(), "the port is left closed");
        if (!reply)
            continue;
        require(reply->text.size() <= maxAnswerLength, "an answer stays within its longest");
        if (reply->complete)
            require(reply->text.size() >= p.completeFrom,
                    "an answer is complete only past its minimum");
    }
    require(clock.date.size() <= clockTextWidth && clock.time.size() <= clockTextWidth,
            "the clock texts keep their width");
    return 0;
}
