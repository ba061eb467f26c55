// Text descriptions of a station read into the loggers and switch they describe, and the
// names of the faults as they read back.
#include "sim/SimStation.h"
#include "sim/Faults.h"

#include "SimBench.h"

#include <gtest/gtest.h>

#include <tuple>

namespace vantrell::sim {
namespace {

using testing::bytes;
using testing::SimBench;

const LocalDateTime now{2026, 2, 3, 9, 5, 0};

TEST(LoggerText, KeysSetTheDescription) {
    const auto result = readLoggerText("serial=KV12345678,model=3,records=200,interval=600,"
                                       "offset=-30,position=4,ch2=34:Hum:A:2:0:100,enabled=1100,"
                                       "alarms=0100,high2=80,low2=-5.5,wake=],rain=0.5,"
                                       "fault=wrongWake:2,fault=noise,seed=9",
                                       now);
    ASSERT_TRUE(result.plan) << result.error;
    EXPECT_EQ(result.plan->position, 4);
    const LoggerDescription &d = result.plan->description;
    EXPECT_EQ(std::tie(d.serial, d.modelByte, d.clockOffsetSeconds, d.samplingCode),
              std::make_tuple("KV12345678", 3, -30, 5));
    EXPECT_EQ(d.memory.size(), 200u);
    EXPECT_EQ(d.memory.back().time, (LocalDateTime{2026, 2, 3, 8, 55, 0}))
        << "the last record one interval before now";
    const auto &c = d.channels[1];
    EXPECT_EQ(std::tie(c.unitIndex, c.name, c.rangeCode, c.decimals, c.scaleEnd, c.limitAlarm),
              std::make_tuple(34, "Hum", 'A', '2', "100", true));
    EXPECT_EQ(c.highLimit, ChannelValue::engineering(80));
    EXPECT_EQ(c.lowLimit, ChannelValue::engineering(-5.5));
    EXPECT_FALSE(d.channels[2].enabled);
    EXPECT_EQ(std::tie(d.wakeAnswer, d.rainFactor, d.noiseSeed), std::make_tuple(']', "0.5", 9u));
    EXPECT_EQ(d.faults, (std::vector<Fault>{{FaultKind::wrongWake, 2}, {FaultKind::noise, 1}}));

    const auto fast = readLoggerText("records=3,interval=20,start=2026-01-31T23:59:50", now);
    ASSERT_TRUE(fast.plan) << fast.error;
    EXPECT_EQ(fast.plan->description.samplingCode, 1) << "20-second interval";
    EXPECT_EQ(fast.plan->description.memory[1].time, (LocalDateTime{2026, 2, 1, 0, 0, 10}));
    const auto given = readLoggerText("interval=10,sampling=7", now);
    ASSERT_TRUE(given.plan) << given.error;
    EXPECT_EQ(given.plan->description.samplingCode, 7) << "an explicit code wins";
}

TEST(LoggerText, RefusesWhatItCannotBuild) {
    const char *rows[] = {
        "serial=KV123",           // not ten characters
        "model=256",              // not a byte
        "position=9",             // only eight positions
        "records=-1",             // negative count
        "interval=0",             // records at one instant
        "start=2045-01-01T00:00", // the record cannot hold the year
        "wake=x",                 // not a wake-up answer
        "enabled=11",             // four channels
        "ch5=0:T:1:1:0:1",        // no channel 5
        "ch1=0:Toolong:1:1:0:1",  // names have five characters
        "fault=silentSwitch",     // not a logger fault
        "colour=red",             // unknown key
        "serial",                 // no value
    };
    for (const char *text : rows) {
        const auto result = readLoggerText(text, now);
        EXPECT_FALSE(result.plan) << text;
        EXPECT_FALSE(result.error.empty()) << text;
    }
}

TEST(StationPlan, PositionsAreGivenOutAndChecked) {
    auto plan = [](bool withSwitch, std::vector<int> positions) {
        StationPlan p;
        p.withSwitch = withSwitch;
        for (int position : positions)
            p.loggers.push_back({position, {}});
        return p;
    };
    StationPlan mixed = plan(true, {0, 1, 0});
    EXPECT_EQ(completePlan(mixed), "");
    EXPECT_EQ(mixed.loggers[0].position, 2);
    EXPECT_EQ(mixed.loggers[2].position, 3);

    // No logger, two without a switch, one position twice, nine loggers.
    for (StationPlan bad : {plan(true, {}), plan(false, {1, 2}), plan(true, {3, 3}),
                            plan(true, std::vector<int>(9, 0))})
        EXPECT_NE(completePlan(bad), "");
}

TEST(SimStation, FaultsReachTheLoggersOrTheSwitch) {
    SimBench bench;
    StationPlan plan;
    plan.withSwitch = true;
    plan.loggers = {{1, {}}, {2, {}}};
    plan.faults = {{FaultKind::emptyModuleStatus}, {FaultKind::wrongWake, 1}};
    ASSERT_EQ(completePlan(plan), "");
    SimStation station(bench.world, plan);
    bench.attach(station.front());
    EXPECT_EQ(bench.ask(bytes({0x82}) + "B00\r"), "!\r");
    EXPECT_EQ(bench.ask(bytes({0x81, 0x83, 0x8E, 0x8E})), "*?");
    EXPECT_EQ(bench.ask(bytes({0x81, 0x84, 0x8E})), "*");
    EXPECT_EQ(station.loggerAt(2)->count(LoggerEvent::Kind::wrongWake), 1);
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
