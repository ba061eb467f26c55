#include "link/Serial.h"

#include "StationBench.h"
#include "sim/Logger.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    std::size_t sent(char code) const {
        const std::string s = port.sentBytes();
        return std::size_t(std::count(s.begin(), s.end(), code));
    }

    sim::Logger logger;
    Serial serial{station};
};

sim::LoggerDescription withFaults(std::vector<sim::Fault> faults) {
    sim::LoggerDescription d;
    d.faults = std::move(faults);
    return d;
}

TEST(Serial, WakeLoggerRetriesWrongAnswersButNotSilence) {
    const struct {
        const char *legend;
        std::vector<sim::Fault> faults;
        bool remote;
        int expectedOk;
        std::size_t expectedWakes;
        bool finalCarriageReturn;
        double expectedSeconds; // of virtual time, roughly
    } cases[] = {
        {"answers at once", {}, false, 1, 1, false, 0.02},
        {"three wrong, then right", {{sim::FaultKind::wrongWake, 3}}, false, 1, 4, false, 0.05},
        {"four wrong: give up with CR", {{sim::FaultKind::wrongWake, 4}}, false, 0, 4, true, 0.05},
        {"silent: one try of 3 s", {{sim::FaultKind::silent, 0}}, false, 0, 1, false, 3.0},
        {"silent over a modem: 5 s", {{sim::FaultKind::silent, 0}}, true, 0, 1, false, 5.0},
    };
    for (const auto &c : cases) {
        SerialBench b(withFaults(c.faults));
        b.station.link.remoteLinkUp = c.remote;
        const double start = b.now();
        b.serial.wakeLogger();
        EXPECT_EQ(b.station.link.handshakeOk, c.expectedOk) << c.legend;
        EXPECT_EQ(b.sent(code::wakeLogger), c.expectedWakes) << c.legend;
        EXPECT_EQ(b.sent('\r'), c.finalCarriageReturn ? 1u : 0u) << c.legend;
        EXPECT_NEAR(b.now() - start, c.expectedSeconds, 0.05) << c.legend;
        EXPECT_FALSE(b.port.isOpen()) << c.legend;
    }
}

TEST(Serial, WakeAnswersTheLoggerMayGive) {
    for (char answer : {'?', '[', ']'}) {
        sim::LoggerDescription d;
        d.wakeAnswer = answer;
        SerialBench b(d);
        b.serial.wakeLogger();
        EXPECT_EQ(b.station.link.handshakeOk, 1) << answer;
    }
}

TEST(Serial, ExchangeWithoutHandshakeSendsTheCommandAndExpectsNoAnswer) {
    SerialBench b;
    b.serial.wakeLogger();
    b.station.link.handshakeOk = 0;
    b.station.link.command = "h26-02-03 09:05:00";
    const double start = b.now();
    b.serial.exchangeLogger();
    EXPECT_EQ(b.station.link.replyComplete, "1");
    EXPECT_EQ(b.station.link.reply, "");
    EXPECT_EQ(b.port.sentBytesSince(start), bytes({0x80}) + "h26-02-03 09:05:00\r");
    b.settle();
    EXPECT_EQ(b.logger.count(sim::LoggerEvent::Kind::clockSet), 1);
}

TEST(Serial, ExchangeCollectsTheAnswerOrGivesUpAfterTwoAttempts) {
    SerialBench b;
    b.serial.wakeLogger();
    b.station.link.command = "e0001";
    b.serial.exchangeLogger();
    EXPECT_EQ(b.station.link.replyComplete, "1");
    EXPECT_EQ(b.station.link.reply, "OK");

    SerialBench silent(withFaults({{sim::FaultKind::silent, 0}}));
    silent.station.link.handshakeOk = 1;
    silent.station.link.command = "e0001";
    const double start = silent.now();
    silent.serial.exchangeLogger();
    EXPECT_EQ(silent.station.link.replyComplete, "0");
    EXPECT_EQ(silent.station.link.reply, "");
    EXPECT_EQ(silent.port.sentBytes(), bytes({0x80, 0x80}));
    EXPECT_NEAR(silent.now() - start, 6.0, 0.05);
}

TEST(Serial, ParameterBlockKeepsAnEarlyCarriageReturnAsData) {
    sim::LoggerDescription d;
    d.memory = sim::makeMemory(12, {2026, 2, 1, 0, 0, 0}, 600); // pointer 13 = byte 0x0D
    SerialBench b(d);
    b.serial.wakeLogger();
    b.serial.readParameterBlock();
    ASSERT_EQ(b.station.link.replyComplete, "1");
    ASSERT_EQ(b.station.link.reply.size(), 151u);
    EXPECT_EQ(b.station.link.reply[6], '\r');
    EXPECT_EQ(b.station.link.reply.substr(141), "0001KV0126");
}

TEST(Serial, ClockAnswerIsSplitIntoDateAndTime) {
    SerialBench b({}, {2024, 6, 15, 8, 30, 5});
    b.serial.wakeLogger();
    b.serial.readClock();
    EXPECT_EQ(b.station.link.reply, "24/06/15 08:30:05");
    EXPECT_EQ(b.station.link.loggerDate, "15-06-24");
    EXPECT_EQ(b.station.link.loggerTime, "08:30:05");

    SerialBench cut(withFaults({{sim::FaultKind::cutShort, 5}}));
    cut.serial.wakeLogger();
    cut.serial.readClock();
    EXPECT_EQ(cut.station.link.replyComplete, "0");
    EXPECT_EQ(cut.station.link.loggerDate, "-02-26");
    EXPECT_EQ(cut.station.link.loggerTime, "::");
}

TEST(Serial, APortThatCannotBeOpenedFailsThroughTheFlags) {
    SerialBench b;
    b.station.link.portNumber = 2;
    b.serial.wakeLogger();
    EXPECT_EQ(b.station.link.handshakeOk, 0);
    EXPECT_EQ(b.station.link.portError, PortError::noSuchPort);
    b.station.link.command = "e0001";
    b.serial.exchangeLogger();
    b.serial.readParameterBlock();
    EXPECT_EQ(b.station.link.replyComplete, "0");
    b.port.setBusy(true);
    b.station.link.portNumber = 1;
    b.serial.sendOnly();
    EXPECT_EQ(b.station.link.portError, PortError::portBusy);
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
    Serial serial(b.station);
    b.station.link.handshakeOk = 1;
    b.station.link.command = "B00";
    serial.exchangeLogger();
    EXPECT_EQ(b.station.link.replyComplete, "0");
    EXPECT_LE(b.station.link.reply.size(), 1024u);
    EXPECT_LT(b.now(), 60.0);
}

} // namespace
} // namespace vantrell
