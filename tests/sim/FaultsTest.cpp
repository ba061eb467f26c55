// Each named fault does to the line what its name says, and names read back as written.
#include "sim/Faults.h"

#include "SimBench.h"
#include "sim/Logger.h"
#include "sim/LoggerEncoding.h"

#include <gtest/gtest.h>

namespace vantrell::sim {
namespace {

using testing::bytes;
using testing::hexOf;
using testing::parts;
using testing::SimBench;

LoggerDescription loggerWith(std::vector<Fault> faults) {
    LoggerDescription d;
    d.modelByte = 1;
    d.memory = makeMemory(5, {2026, 2, 3, 8, 0, 0}, 600);
    d.faults = std::move(faults);
    return d;
}

std::string record(const LoggerDescription &d, int k) {
    return encodeRecord(d.memory[std::size_t(k - 1)], d) + '\r';
}

TEST(Faults, LoggerScenariosChangeTheAnswers) {
    const LoggerDescription plain = loggerWith({});
    const std::string block = encodeParameterBlock(plain);
    const struct {
        const char *legend;
        Fault fault;
        const char *requests; // answers are collected over all of them
        std::string expected;
    } rows[] = {
        {"silent: no wake-up answer", Fault{FaultKind::silent}, "\x8E|\x8E", ""},
        {"wrong wake-up twice, then the right one", Fault{FaultKind::wrongWake, 2},
         "\x8E|\x8E|\x8E", "**?"},
        {"a wrong wake-up leaves it asleep", Fault{FaultKind::wrongWake, 1}, "\x8E|\x9E", "*"},
        {"no parameter block", Fault{FaultKind::emptyParameters}, "\x8E|\x9F", "?"},
        {"parameter block cut after 10 characters", Fault{FaultKind::cutShort, 10}, "\x8E|\x9F",
         "?" + block.substr(0, 10)},
        {"clock cut after 10 characters", Fault{FaultKind::cutShort, 10}, "\x8E|\x9E",
         "?26/02/03 0"},
        {"transfer stops after record 2", Fault{FaultKind::stopsAfterRecord, 2},
         "\x8E\x80|L00010005\r", "?!" + record(plain, 1) + record(plain, 2)},
        {"record 2 one byte short", Fault{FaultKind::garbledRecord, 2}, "\x8E\x80|L00010003\r",
         "?!" + record(plain, 1) + record(plain, 2).erase(7, 1) + record(plain, 3)},
    };
    for (const auto &row : rows) {
        SimBench bench;
        Logger logger(bench.world, loggerWith({row.fault}));
        bench.attach(logger);
        std::string answers;
        for (const auto &request : parts(row.requests))
            answers += bench.ask(request, 10.0);
        EXPECT_EQ(hexOf(answers), hexOf(row.expected)) << row.legend;
    }
}

TEST(Faults, NoiseIsRandomButRepeatable) {
    auto wakeAnswer = [](unsigned seed) {
        SimBench bench;
        LoggerDescription d = loggerWith({{FaultKind::noise, 3}});
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

TEST(Faults, NamesParseAsWritten) {
    const struct {
        const char *text;
        std::optional<Fault> expected;
    } rows[] = {
        {"silent", Fault{FaultKind::silent, 0}},
        {"wrongWake:3", Fault{FaultKind::wrongWake, 3}},
        {"wrongWake", Fault{FaultKind::wrongWake, 1}},
        {"cutShort:0", Fault{FaultKind::cutShort, 0}},
        {"garbledRecord:250", Fault{FaultKind::garbledRecord, 250}},
        {"emptyModuleStatus", Fault{FaultKind::emptyModuleStatus, 0}},
        {"wrongwake:3", std::nullopt},
        {"cutShort:", std::nullopt},
        {"cutShort:-1", std::nullopt},
        {"cutShort:4x", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &row : rows)
        EXPECT_EQ(parseFault(row.text), row.expected) << row.text;
    for (const auto &info : allFaults()) {
        const Fault fault{info.kind, 4};
        EXPECT_EQ(parseFault(describe(fault))->kind, info.kind) << info.name;
    }
}

} // namespace
} // namespace vantrell::sim
