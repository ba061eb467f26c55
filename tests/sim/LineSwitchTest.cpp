// The line switch: its own answers, what it routes, and that only the selected logger is heard.
#include "sim/LineSwitch.h"

#include "SimBench.h"
#include "sim/Logger.h"

#include <gtest/gtest.h>

#include <deque>

namespace vantrell::sim {
namespace {

using testing::bytes;
using testing::hexOf;
using testing::SimBench;

const std::string attention = bytes({0x82});
const std::string statusRequest = attention + "B00\r";

// The status answer carries the present positions' bits as characters 43 and 44.
std::string status(const char *digits) {
    return "!" + std::string(42, '0') + digits + "\r";
}

TEST(LineSwitch, AnswersItsOwnRequests) {
    const struct {
        const char *legend;
        std::vector<Fault> faults;
        std::vector<int> positions; // of its loggers
        std::string request, expected;
    } rows[] = {
        {"wake-up", {}, {}, bytes({0x91}), "@"},
        {"attention", {}, {}, attention, "!"},
        {"status: no logger", {}, {}, statusRequest, status("00")},
        {"status: positions 1 to 4, 5 and 6", {}, {1, 2, 3, 4, 5, 6}, statusRequest, status("3F")},
        {"status: position 8 only", {}, {8}, statusRequest, status("80")},
        {"status: positions 2 and 7", {}, {2, 7}, statusRequest, status("42")},
        {"unknown command", {}, {}, attention + "B01\r", "!"},
        {"attention restarts", {}, {}, attention + "B0" + statusRequest, "!" + status("00")},
        {"silent switch: no wake-up answer", {{FaultKind::silentSwitch}}, {}, bytes({0x91}), ""},
        {"silent switch: no status", {{FaultKind::silentSwitch}}, {}, statusRequest, ""},
        {"empty module status", {{FaultKind::emptyModuleStatus}}, {}, statusRequest, "!\r"},
    };
    for (const auto &row : rows) {
        SimBench bench;
        std::deque<Logger> loggers;
        LineSwitch lineSwitch(bench.world, row.faults);
        for (int p : row.positions)
            lineSwitch.place(p, loggers.emplace_back(bench.world, LoggerDescription{}));
        bench.attach(lineSwitch);
        EXPECT_EQ(hexOf(bench.ask(row.request)), hexOf(row.expected)) << row.legend;
    }
}

TEST(LineSwitch, PassesBytesToTheSelectedLoggerOnlyAndCutsItOffWhenReleased) {
    SimBench bench;
    LineSwitch lineSwitch(bench.world);
    LoggerDescription first;
    first.wakeAnswer = '[';
    first.memory = makeMemory(200, {2026, 2, 3, 0, 0, 0}, 60);
    LoggerDescription second;
    second.wakeAnswer = ']';
    Logger one(bench.world, first);
    Logger two(bench.world, second);
    lineSwitch.place(1, one);
    lineSwitch.place(2, two);
    bench.attach(lineSwitch);

    EXPECT_EQ(bench.ask(bytes({0x8E})), "") << "nothing connected yet";
    EXPECT_EQ(bench.ask(bytes({0x81, 0x84, 0x8E})), "]") << "position 2 selected";
    EXPECT_FALSE(one.awake());
    EXPECT_EQ(bench.ask(bytes({0x81, 0x83, 0x8E})), "[") << "position 1 selected";
    EXPECT_EQ(bench.ask(bytes({0x8C, 0x8E})), "") << "released";
    EXPECT_EQ(bench.ask(bytes({0x81, 0x85, 0x8E})), "") << "empty position 3 selected";
    EXPECT_EQ(bench.ask(bytes({0x81, 0x84, 0xFF, 0x8E})), "") << "all modules disabled";
    EXPECT_EQ(one.count(LoggerEvent::Kind::woken), 1);
    EXPECT_EQ(two.count(LoggerEvent::Kind::woken), 1);

    bench.ask(bytes({0x81, 0x83, 0x80}));
    EXPECT_FALSE(bench.ask("L000100C8\r", 0.1).empty());
    EXPECT_LE(bench.ask(bytes({0x8C}), 5.0).size(), 9u) << "at most the record on its way";
    EXPECT_EQ(one.count(LoggerEvent::Kind::recordsSent), 1) << "the logger went on sending";
}

} // namespace
} // namespace vantrell::sim
