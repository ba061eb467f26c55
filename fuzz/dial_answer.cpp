// The modem's answer to the dial, judged as it grows byte by byte the way the dial loop sees it:
// never a read past its end, never "waiting" once it is long enough to judge, and "connected"
// only where the modem puts its result code. Then the whole check and dial-up against a modem
// that answers anything at any time: it ends, and a call is up only with the port open.
#include "FuzzStation.h"

#include "link/Modem.h"

#include <algorithm>
#include <memory>

namespace {

using namespace vantrell;
using fuzz::require;

constexpr std::size_t judgedLength = 16;
// A result code starts at the first "C" among the first five characters, or right after them.
constexpr std::size_t resultCodeSearch = 5;
constexpr std::string_view connectCode = "CONNECT";
// The dial loop stops collecting well before this; longer answers add nothing.
constexpr std::size_t longestGrowth = 300;
// Two attention checks, echo off, three initialisation strings, the 70-second dial limit and
// the pauses between them come to well under this.
constexpr double longestDialUp = 200.0;

void checkVerdict(std::string_view answer) {
    const DialVerdict verdict = judgeDialAnswer(answer);
    if (answer.size() >= judgedLength)
        require(verdict != DialVerdict::waiting, "a long enough answer is judged");
    if (verdict == DialVerdict::connected) {
        const std::size_t at = answer.find(connectCode);
        require(at != std::string_view::npos && at <= resultCodeSearch,
                "connected only with CONNECT where the result code starts");
    }
}

void checkDialUp(const std::uint8_t *data, std::size_t size) {
    fuzz::FuzzInput in(data, size);
    fuzz::FuzzStation bench;
    const DialRequest request{in.takeText(12), "08:00", 1};
    fuzz::ScriptedDevice modem(bench.world, in);
    bench.port.attach(modem);
    Modem steps(bench.station.line());
    StepOutcome outcome = steps.check();
    if (outcome.succeeded)
        outcome = steps.dial(request);
    require(bench.now() <= longestDialUp, "the check and dial-up end");
    require(outcome.succeeded || outcome.status, "a failed check or dial leaves its letter");
    if (outcome.succeeded)
        require(bench.port.isOpen(), "a call is up only on an open port");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view answer = fuzz::asText(data, size);
    checkVerdict(answer);
    // Each prefix gets a buffer of its own size, so that a read past its end is caught too.
    for (std::size_t n = 0; n < std::min(answer.size(), longestGrowth); ++n) {
        const std::unique_ptr<char[]> prefix(new char[n]);
        std::copy_n(answer.data(), n, prefix.get());
        checkVerdict(std::string_view(prefix.get(), n));
    }
    checkDialUp(data, size);
    return 0;
}
