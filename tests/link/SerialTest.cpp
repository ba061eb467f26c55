#include "link/Serial.h"

#include "StationBench.h"
#include "sim/Logger.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using testing::bytes;
using testing::StationBench;

struct SerialBench : StationBench {
    explicit SerialBench(sim::LoggerDescription description = {},
                         LocalDateTime start = {2026, 2, 3, 9, 5, 0})
        : StationBench(start), logger(world, std::move(description)) {
        port.attach(logger);
    }

    sim::Logger logger;
    Serial serial{station.line()};
};

sim::LoggerDescription answering(char wakeAnswer) {
    sim::LoggerDescription d;
    d.wakeAnswer = wakeAnswer;
    return d;
}

sim::LoggerDescription withFault(sim::FaultKind kind, int count = 0) {
    sim::LoggerDescription d;
    d.faults = {{kind, count}};
    return d;
}

TEST(Serial, WakeLoggerRetriesWrongAnswersButNotSilence) {
    using enum sim::FaultKind;
    const struct {
        const char *legend;
        sim::LoggerDescription logger;
        bool remote, expectedAnswered;
        std::size_t expectedWakes;
        bool finalCarriageReturn;
        double expectedSeconds; // of virtual time, roughly
    } cases[] = {
        {"answers at once", answering('?'), false, true, 1, false, 0.02},
        {"answers with a bracket", answering('['), false, true, 1, false, 0.02},
        {"answers with the other bracket", answering(']'), false, true, 1, false, 0.02},
        {"three wrong, then right", withFault(wrongWake, 3), false, true, 4, false, 0.05},
        {"four wrong: give up with CR", withFault(wrongWake, 4), false, false, 4, true, 0.05},
        {"silent: one try of 3 s", withFault(silent), false, false, 1, false, 3.0},
        {"silent over a modem: 5 s", withFault(silent), true, false, 1, false, 5.0},
    };
    for (const auto &c : cases) {
        SerialBench b(c.logger);
        const double start = b.now();
        EXPECT_EQ(b.serial.wakeLogger(c.remote ? LoggerLine::modemCall : LoggerLine::direct),
                  c.expectedAnswered)
            << c.legend;
        EXPECT_EQ(b.sent(code::wakeLogger), c.expectedWakes) << c.legend;
        EXPECT_EQ(b.sent('\r'), c.finalCarriageReturn ? 1u : 0u) << c.legend;
        EXPECT_NEAR(b.now() - start, c.expectedSeconds, 0.05) << c.legend;
        EXPECT_FALSE(b.port.isOpen()) << c.legend;
    }
}

TEST(Serial, PrimitivesCollectTheirAnswers) {
    sim::LoggerDescription d;
    d.memory = sim::makeMemory(12, {2024, 6, 1, 0, 0, 0}, 600); // pointer 13 = byte 0x0D
    SerialBench b(d, {2024, 6, 15, 8, 30, 5});
    ASSERT_TRUE(b.serial.wakeLogger(LoggerLine::direct));
    const LoggerClock clock = b.serial.readClock();
    EXPECT_EQ(clock.reply.text, "24/06/15 08:30:05");
    EXPECT_EQ(clock.date + " " + clock.time, "15-06-24 08:30:05");
    const Reply block = b.serial.readParameterBlock();
    ASSERT_TRUE(block.complete);
    ASSERT_EQ(block.text.size(), 151u);
    EXPECT_EQ(block.text[6], '\r') << "an early carriage return is data";
    EXPECT_EQ(block.text.substr(141), "0001KV0126");
    const Exchange answered = b.serial.exchangeLogger("e0001", AnswerExpected::yes);
    EXPECT_TRUE(answered.reply.complete);
    EXPECT_EQ(answered.reply.text, "OK");
}

// A silent logger gets two attempts of 3 s; a cut answer keeps what came.
TEST(Serial, SilenceAndCutAnswers) {
    SerialBench silent(withFault(sim::FaultKind::silent));
    const Exchange unanswered = silent.serial.exchangeLogger("e0001", AnswerExpected::yes);
    EXPECT_FALSE(unanswered.taken);
    EXPECT_FALSE(unanswered.reply.complete);
    EXPECT_EQ(unanswered.reply.text, "");
    EXPECT_EQ(silent.port.sentBytes(), bytes({0x80, 0x80}));
    EXPECT_NEAR(silent.now(), 6.0, 0.05);

    SerialBench cut(withFault(sim::FaultKind::cutShort, 5));
    ASSERT_TRUE(cut.serial.wakeLogger(LoggerLine::direct));
    const LoggerClock cutClock = cut.serial.readClock();
    EXPECT_FALSE(cutClock.reply.complete);
    EXPECT_EQ(cutClock.date + " " + cutClock.time, "-02-26 ::");
}

TEST(Serial, APortThatCannotBeOpenedFailsEveryPrimitive) {
    SerialBench b;
    b.station.line().usePort(2);
    EXPECT_FALSE(b.serial.wakeLogger(LoggerLine::direct));
    EXPECT_EQ(b.serial.reopen(), PortError::noSuchPort);
    EXPECT_FALSE(b.serial.exchangeLogger("e0001", AnswerExpected::yes).taken);
    EXPECT_FALSE(b.serial.readParameterBlock().complete);
    b.port.setBusy(true);
    b.station.line().usePort(1);
    b.serial.send("x");
    EXPECT_EQ(b.serial.reopen(), PortError::portBusy);
    EXPECT_FALSE(b.port.isOpen());
    EXPECT_TRUE(b.port.sentBytes().empty());
}

// A line that never stops talking must not keep an exchange going for ever.
class Babbler final : public sim::Device {
public:
    explicit Babbler(sim::World &world) : world_(world) {}
    void receive(unsigned char byte) override {
        if (byte == 0x80)
            answer("!");
        else if (byte == '\r')
            babble();
    }

private:
    void babble() {
        answer(std::string(64, char(0xFF)));
        world_.after(0.05, [this] { babble(); });
    }
    sim::World &world_;
};

TEST(Serial, AnEndlessAnswerEndsTheExchange) {
    StationBench b;
    Babbler babbler(b.world);
    b.port.attach(babbler);
    Serial serial(b.station.line());
    const Exchange e = serial.exchangeLogger("B00", AnswerExpected::yes);
    EXPECT_FALSE(e.reply.complete);
    EXPECT_LE(e.reply.text.size(), 1024u);
    EXPECT_LT(b.now(), 60.0);
}

} // namespace
} // namespace vantrell
