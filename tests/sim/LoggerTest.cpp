// The logger on the line: every answer byte for byte, its timing, and what it remembers.
#include "sim/Logger.h"

#include "SimBench.h"
#include "sim/LoggerEncoding.h"

#include <gtest/gtest.h>

#include <functional>

namespace vantrell::sim {
namespace {

using testing::hexOf;
using testing::parts;
using testing::SimBench;

LoggerDescription threeRecordLogger() {
    LoggerDescription d;
    d.serial = "KV12345678";
    d.modelByte = 1;
    d.memory = makeMemory(3, {2026, 2, 3, 8, 0, 0}, 600);
    return d;
}

// Records first..last as the logger sends them; past its memory they read as erased cells.
std::string recordsOf(const LoggerDescription &d, std::size_t first, std::size_t last) {
    std::string out;
    for (std::size_t k = first; k <= last; ++k)
        out +=
            encodeRecord(k <= d.memory.size() ? d.memory[k - 1] : MemoryRecord::emptyRecord(), d) +
            '\r';
    return out;
}

TEST(Logger, AnswersEachRequestByteForByte) {
    const LoggerDescription d = threeRecordLogger();
    const std::string block = encodeParameterBlock(d) + '\r';
    LoggerDescription erased = d;
    erased.memory.clear();
    const std::string emptyBlock = encodeParameterBlock(erased) + '\r';
    const struct {
        const char *legend;
        std::function<void(LoggerDescription &)> setUp;
        std::string requests; // each answered before the next is sent
        std::string expected; // the answer to the last request
    } rows[] = {
        {"wake-up", nullptr, "\x8E", "?"},
        {"wake-up with another answer character", [](auto &l) { l.wakeAnswer = '['; }, "\x8E", "["},
        {"preamble bytes pass a sleeping logger by", nullptr, "\r\x92  \x8E", "?"},
        {"asleep: no clock, no parameter block, no attention", nullptr, "\x9E\x9F\x80", ""},
        {"clock from the world", nullptr, "\x8E|\x92\x9E", "26/02/03 09:05:00\r"},
        {"clock an hour and a day ahead", [](auto &l) { l.clockOffsetSeconds = 90000; },
         "\x8E|\x9E", "26/02/04 10:05:00\r"},
        {"parameter block", nullptr, "\x8E|\x9F", block},
        {"attention", nullptr, "\x8E|\x80", "!"},
        {"erase acknowledged", nullptr, "\x8E|\x80|e0001\r", "OK\r"},
        {"erased: pointer 1", nullptr, "\x8E|\x80|e0001\r|\x9F", emptyBlock},
        {"clock setting is not answered", nullptr, "\x8E|\x80|h26-12-31 23:59:59\r", ""},
        {"clock once set", nullptr, "\x8E|\x80|h26-12-31 23:59:59\r|\x9E", "26/12/31 23:59:59\r"},
        {"records 1 to 3", nullptr, "\x8E|\x80|L00010003\r", recordsOf(d, 1, 3)},
        {"records 2 to 2", nullptr, "\x8E|\x80|L00020002\r", recordsOf(d, 2, 2)},
        {"past the memory: erased cells", nullptr, "\x8E|\x80|L00030005\r", recordsOf(d, 3, 5)},
        {"no records asked for", nullptr, "\x8E|\x80|L00010000\r", ""},
        {"lower-case hex is not a command", nullptr, "\x8E|\x80|L0001000a\r", ""},
        {"unknown command", nullptr, "\x8E|\x80|x\r", ""},
        {"a repeated attention starts over", nullptr, "\x8E|\x80|L00\x80|L00010001\r",
         recordsOf(d, 1, 1)},
        {"0x93 puts it to sleep", nullptr, "\x8E|\x93\x9E", ""},
        {"0x8D puts it to sleep", nullptr, "\x8E|\x8D\x9E", ""},
        {"woken again after sleep", nullptr, "\x8E|\x93|\x8E", "?"},
    };
    for (const auto &row : rows) {
        SimBench bench;
        LoggerDescription description = d;
        if (row.setUp)
            row.setUp(description);
        Logger logger(bench.world, description);
        bench.attach(logger);
        std::string answer;
        for (const auto &request : parts(row.requests))
            answer = bench.ask(request, 0.3);
        EXPECT_EQ(hexOf(answer), hexOf(row.expected)) << row.legend;
    }
}

// The first answer byte follows the request's last byte and the reaction delay; the answer then
// runs at line speed.
TEST(Logger, AnswersAfterAShortDelayAtLineSpeedAndKeepsALogOfWhatHappened) {
    SimBench bench;
    Logger logger(bench.world, threeRecordLogger());
    bench.attach(logger);
    bench.ask("\x8E", 0.3);
    bench.ask("\x9E", 0.3);
    const double asked = bench.world.now();
    bench.ask("\x9F", 0.3);
    std::vector<double> arrivals;
    for (const auto &t : bench.port.traffic())
        if (t.direction == Direction::toStation && t.time > asked)
            arrivals.push_back(t.time);
    ASSERT_EQ(arrivals.size(), 152u);
    const double heard = asked + byteTime;
    EXPECT_NEAR(arrivals.front(), heard + 0.005 + byteTime, 1e-9);
    EXPECT_NEAR(arrivals.back() - arrivals.front(), 151 * byteTime, 1e-9);

    for (const char *request : {"\x80", "L00010003\r", "\x80", "h26-02-03 09:20:00\r", "\x80",
                                "e0001\r", "\x80", "e0002\r", "\x93"})
        bench.ask(request, 0.3);
    std::string seen;
    for (const auto &event : logger.log())
        seen += describe(event) + "|";
    EXPECT_EQ(seen, "woken|clock sent: 26/02/03 09:05:00|parameter block sent|records 1..3 sent|"
                    "clock set to 26-02-03 09:20:00|memory erased|unknown command: e0002|asleep|");
    EXPECT_TRUE(logger.description().memory.empty());
    EXPECT_EQ(logger.clock(), (LocalDateTime{2026, 2, 3, 9, 20, 2}))
        << "set at 1.8 s, read at 3.6 s: the clock ran on by two whole seconds";
}

TEST(Logger, SleepCutsARunningTransfer) {
    SimBench bench;
    LoggerDescription d = threeRecordLogger();
    d.memory = makeMemory(100, {2026, 2, 3, 8, 0, 0}, 60);
    Logger logger(bench.world, d);
    bench.attach(logger);
    bench.ask("\x8E");
    bench.ask("\x80");
    bench.ask("L00010064\r", 0.05);
    const std::string tail = bench.ask("\x93", 5.0);
    EXPECT_LT(tail.size(), 20u * 9u);
    EXPECT_EQ(logger.count(LoggerEvent::Kind::transferCut), 1);
    EXPECT_EQ(logger.count(LoggerEvent::Kind::recordsSent), 0);
}

TEST(Faults, NoiseIsRandomButRepeatable) {
    auto wakeAnswer = [](unsigned seed) {
        SimBench bench;
        LoggerDescription d = threeRecordLogger();
        d.faults = {{FaultKind::noise, 3}};
        d.noiseSeed = seed;
        Logger logger(bench.world, d);
        bench.attach(logger);
        return bench.ask("\x8E");
    };
    const std::string first = wakeAnswer(7);
    ASSERT_EQ(first.size(), 4u);
    EXPECT_EQ(first.back(), '?');
    EXPECT_EQ(wakeAnswer(7), first) << "same seed, same noise";
    EXPECT_NE(wakeAnswer(8), first) << "another seed, other noise";
}

} // namespace
} // namespace vantrell::sim
