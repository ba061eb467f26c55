// The logger on the line: every answer byte for byte, its timing, and what it remembers.
#include "sim/Logger.h"

#include "SimBench.h"
#include "sim/LoggerEncoding.h"

#include <gtest/gtest.h>

#include <functional>

namespace vantrell::sim {
namespace {

using testing::bytes;
using testing::hexOf;
using testing::SimBench;

constexpr char CR = '\r';
const std::string wake = bytes({0x8E});
const std::string attention = bytes({0x80});

LoggerDescription threeRecordLogger() {
    LoggerDescription d;
    d.serial = "KV12345678";
    d.modelByte = 1;
    d.memory = makeMemory(3, {2026, 2, 3, 8, 0, 0}, 600);
    return d;
}

LoggerDescription erased(LoggerDescription d) {
    d.memory.clear();
    return d;
}

std::string recordsOf(const LoggerDescription &d, std::initializer_list<int> numbers) {
    std::string out;
    for (int k : numbers)
        out += encodeRecord(k <= int(d.memory.size()) ? d.memory[std::size_t(k - 1)]
                                                      : MemoryRecord::emptyRecord(),
                            d) +
               CR;
    return out;
}

TEST(Logger, AnswersEachRequestByteForByte) {
    const LoggerDescription d = threeRecordLogger();
    struct Row {
        const char *legend;
        std::function<void(LoggerDescription &)> setUp;
        std::vector<std::string> requests; // each answered before the next is sent
        std::string expected;              // the answer to the last request
    };
    const Row rows[] = {
        {"wake-up", {}, {wake}, "?"},
        {"wake-up with another answer character", [](auto &l) { l.wakeAnswer = '['; }, {wake}, "["},
        {"preamble bytes pass a sleeping logger by",
         {},
         {bytes({0x0D, 0x92, ' ', ' ', 0x8E})},
         "?"},
        {"asleep: no clock", {}, {bytes({0x9E})}, ""},
        {"asleep: no parameter block", {}, {bytes({0x9F})}, ""},
        {"asleep: no attention", {}, {attention}, ""},
        {"clock from the world's time",
         {},
         {wake, bytes({0x92, 0x9E})},
         std::string("26/02/03 09:05:00") + CR},
        {"clock an hour and a day ahead",
         [](auto &l) { l.clockOffsetSeconds = 90000; },
         {wake, bytes({0x9E})},
         std::string("26/02/04 10:05:00") + CR},
        {"parameter block", {}, {wake, bytes({0x9F})}, encodeParameterBlock(d) + CR},
        {"attention", {}, {wake, attention}, "!"},
        {"erase acknowledged", {}, {wake, attention, "e0001\r"}, std::string("OK") + CR},
        {"erased memory: pointer 1",
         {},
         {wake, attention, "e0001\r", bytes({0x9F})},
         encodeParameterBlock(erased(d)) + CR},
        {"clock setting is not answered", {}, {wake, attention, "h26-12-31 23:59:59\r"}, ""},
        {"clock after setting",
         {},
         {wake, attention, "h26-12-31 23:59:59\r", bytes({0x9E})},
         std::string("26/12/31 23:59:") + "59" + CR},
        {"records 1 to 3", {}, {wake, attention, "L00010003\r"}, recordsOf(d, {1, 2, 3})},
        {"records 2 to 2", {}, {wake, attention, "L00020002\r"}, recordsOf(d, {2})},
        {"records past the memory read as erased",
         {},
         {wake, attention, "L00030005\r"},
         recordsOf(d, {3, 4, 5})},
        {"no records asked for", {}, {wake, attention, "L00010000\r"}, ""},
        {"lower-case hex is not a command", {}, {wake, attention, "L0001000a\r"}, ""},
        {"unknown command", {}, {wake, attention, "x\r"}, ""},
        {"a repeated attention starts the command over",
         {},
         {wake, attention, "L00" + attention, "L00010001\r"},
         recordsOf(d, {1})},
        {"0x93 puts it to sleep", {}, {wake, bytes({0x93, 0x9E})}, ""},
        {"0x8D puts it to sleep", {}, {wake, bytes({0x8D, 0x9E})}, ""},
        {"woken again after sleep", {}, {wake, bytes({0x93}), wake}, "?"},
    };
    for (const auto &row : rows) {
        SimBench bench;
        LoggerDescription description = d;
        if (row.setUp)
            row.setUp(description);
        Logger logger(bench.world, description);
        bench.attach(logger);
        std::string answer;
        for (const auto &request : row.requests)
            answer = bench.ask(request, 0.3);
        EXPECT_EQ(hexOf(answer), hexOf(row.expected)) << row.legend;
    }
}

TEST(Logger, AnswersAfterAShortDelayAtLineSpeed) {
    SimBench bench;
    Logger logger(bench.world, threeRecordLogger());
    bench.attach(logger);
    bench.ask(wake);
    const double asked = bench.world.now();
    bench.ask(bytes({0x9F}));
    std::vector<double> arrivals;
    for (const auto &t : bench.port.traffic())
        if (t.direction == Direction::toStation && t.time > asked)
            arrivals.push_back(t.time);
    ASSERT_EQ(arrivals.size(), 152u);
    const double heard = asked + byteTime;
    EXPECT_NEAR(arrivals.front(), heard + 0.005 + byteTime, 1e-9);
    EXPECT_NEAR(arrivals.back() - arrivals.front(), 151 * byteTime, 1e-9);
}

TEST(Logger, StreamsAFullMemoryAtLineSpeed) {
    LoggerDescription d;
    d.modelByte = 3;
    d.memory = makeMemory(16400, {2026, 1, 1, 0, 0, 0}, 600);
    SimBench bench;
    Logger logger(bench.world, d);
    bench.attach(logger);
    bench.ask(wake);
    bench.ask(attention);
    const double start = bench.world.now();
    const std::string answer = bench.ask("L00014010\r", 400.0);
    ASSERT_EQ(answer.size(), 16400u * 17u);
    EXPECT_EQ(answer.substr(16399 * 17), encodeRecord(d.memory.back(), d) + CR);
    const auto &sent = logger.log().back();
    EXPECT_EQ(describe(sent), "records 1..16400 sent");
    // 278 800 bytes at ten bits each take a little over 290 seconds at 9600 baud.
    EXPECT_NEAR(sent.time - start, 16400 * 17 * byteTime, 0.1);
}

TEST(Logger, KeepsALogOfWhatHappened) {
    SimBench bench;
    Logger logger(bench.world, threeRecordLogger());
    bench.attach(logger);
    for (const char *request :
         {"\x8E", "\x9E", "\x9F", "\x80", "L00010003\r", "\x80", "h26-02-03 09:20:00\r", "\x80",
          "e0001\r", "\x80", "e0002\r", "\x93"})
        bench.ask(request, 0.3);
    std::vector<std::string> seen;
    for (const auto &event : logger.log())
        seen.push_back(describe(event));
    const std::vector<std::string> expected{"woken",
                                            "clock sent: 26/02/03 09:05:00",
                                            "parameter block sent",
                                            "records 1..3 sent",
                                            "clock set to 26-02-03 09:20:00",
                                            "memory erased",
                                            "unknown command: e0002",
                                            "asleep"};
    EXPECT_EQ(seen, expected);
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
    bench.ask(wake);
    bench.ask(attention);
    bench.ask("L00010064\r", 0.05);
    const std::string tail = bench.ask(bytes({0x93}), 5.0);
    EXPECT_LT(tail.size(), 20u * 9u);
    EXPECT_EQ(logger.count(LoggerEvent::Kind::transferCut), 1);
    EXPECT_EQ(logger.count(LoggerEvent::Kind::recordsSent), 0);
}

} // namespace
} // namespace vantrell::sim
