#include "link/Connect.h"

#include "StationBench.h"
#include "general/Text.h"
#include "sim/LineSwitch.h"
#include "sim/Logger.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace vantrell {
namespace {

using testing::bytes;
using testing::StationBench;

// Stands in for the layers above the link: reads the block and takes only what Connect needs.
class FakeSteps final : public LoggerSteps {
public:
    explicit FakeSteps(Line &line) : serial_(line) {}
    std::optional<DecodedParameters> readParameters() override {
        const std::string reply = serial_.readParameterBlock().text;
        if (trim(reply).empty())
            return std::nullopt;
        DecodedParameters read;
        read.parameters.loggerSerial = std::string(cut(reply, {141, 10}));
        read.parameters.samplingCode = reply.size() >= 5 ? (unsigned char)reply[4] : 0;
        return read;
    }
    void setLoggerClock() override { ++clockSets; }

    int clockSets = 0;

private:
    Serial serial_;
};

struct ConnectBench : StationBench {
    explicit ConnectBench(sim::LoggerDescription description = {})
        : logger(world, std::move(description)) {
        port.attach(logger);
        station.devices[1].serialNumber(1) = "0001KV0126";
        station.devices[1][field::connection] = "locl0000";
    }
    sim::Logger logger;
    FakeSteps steps{station.line()};
    Connect connect{station.line(), steps};
};

TEST(Connect, ALoggerThatAnswersIsConnectedWithItsPreambleAndTexts) {
    ConnectBench b;
    const LoggerConnection connection =
        b.connect.connectLogger(b.station.devices[1], 1, LoggerLine::direct, 0);
    EXPECT_TRUE(connection.outcome.succeeded);
    EXPECT_FALSE(connection.outcome.status);
    EXPECT_EQ(connection.commandAnswers, AnswerExpected::yes);
    const std::string expectedStart =
        "\r" + bytes({0x92}) + std::string(400, ' ') + bytes({0x92, 0x92, 0x8E, 0x92, 0x9E, 0x9F});
    EXPECT_EQ(b.port.sentBytes(), expectedStart);
    const std::vector<std::string> expectedTexts = {
        "Korvane Connecting...", "Korvane Connected", "Korvane Connected...reading date/time",
        "Korvane Connected...reading 03-02-26 09:05:01", "Korvane Connected...reading parameters"};
    EXPECT_EQ(b.progress.texts(ProgressLine::detail), expectedTexts);
}

// A correction is logged with the deviation found, and the logger named as the device expects it
// (its own serial number is read after the clock).
TEST(Connect, LoggerClockIsSetOnAnotherDayOrWhenTooFarAhead) {
    const struct {
        const char *legend;
        long long offsetSeconds;
        const char *setClock;
        std::string correction; // the log line between "clock of " and "; set", or none
        const char *configuredSerial = "0001KV0126";
    } cases[] = {
        {"10 minutes ahead: kept", 10 * 60, "1", ""},
        {"15 minutes ahead: corrected", 15 * 60, "1", "0001KV0126 was 15 min 0 s fast"},
        {"20 min 3 s ahead: corrected", 20 * 60 + 3, "1", "0001KV0126 was 20 min 3 s fast"},
        {"an hour behind on the same day: kept", -3600, "1", ""},
        {"another day of the month", 86400, "1", "0001KV0126 was 1 d 0 h 0 min 0 s fast"},
        {"another month, same day", 28 * 86400, "1", "0001KV0126 was 28 d 0 h 0 min 0 s fast"},
        {"days behind", -(2 * 86400 + 3 * 3600 + 5), "1", "0001KV0126 was 2 d 3 h 0 min 5 s slow"},
        {"ten hours behind, the day before", -10 * 3600, "1", "0001KV0126 was 10 h 0 min 0 s slow"},
        {"another day but setting off: kept", 86400, "0", ""},
        {"no serial number configured at the position", 20 * 60 + 3, "1",
         "the logger at position 1 was 20 min 3 s fast", " "},
    };
    for (const auto &c : cases) {
        sim::LoggerDescription d;
        d.clockOffsetSeconds = c.offsetSeconds;
        ConnectBench b(d);
        b.station.devices[1][field::setClock] = c.setClock;
        b.station.devices[1].serialNumber(1) = c.configuredSerial;
        const LoggerConnection connection =
            b.connect.connectLogger(b.station.devices[1], 1, LoggerLine::direct, 0);
        const bool set = !c.correction.empty();
        EXPECT_EQ(b.steps.clockSets, set ? 1 : 0) << c.legend;
        EXPECT_EQ(b.progress.notes(),
                  std::vector<std::string>(set, "clock of " + c.correction + "; set"))
            << c.legend;
        EXPECT_EQ(connection.outcome.succeeded, std::string(c.configuredSerial) != " ") << c.legend;
        // The logger does not answer the clock command, nor is it waited on after it.
        EXPECT_EQ(connection.commandAnswers, set ? AnswerExpected::no : AnswerExpected::yes)
            << c.legend;
    }
}

// The session releases a logger it gives up on (Session tests); the connection only says why.
TEST(Connect, FailuresReturnTheirLetters) {
    using enum sim::FaultKind;
    using enum SessionStatus;
    const struct {
        const char *legend;
        std::vector<sim::Fault> faults;
        const char *configuredSerial;
        std::optional<SessionStatus> expectedStatus;
        std::size_t expectedParameterRequests;
    } cases[] = {
        {"silent logger: no letter, no retry", {{silent}}, "0001KV0126", std::nullopt, 0},
        {"empty block twice", {{emptyParameters}}, "0001KV0126", parametersUnreadable, 2},
        {"other serial number", {}, "KV00000002", serialMismatch, 1},
        {"trailing blank does not match", {}, "0001KV0126 ", serialMismatch, 1},
    };
    for (const auto &c : cases) {
        sim::LoggerDescription d;
        d.faults = c.faults;
        ConnectBench b(d);
        b.station.devices[1].serialNumber(1) = c.configuredSerial;
        const LoggerConnection connection =
            b.connect.connectLogger(b.station.devices[1], 1, LoggerLine::direct, 0);
        EXPECT_FALSE(connection.outcome.succeeded) << c.legend;
        EXPECT_EQ(connection.outcome.status, c.expectedStatus) << c.legend;
        const bool retried = c.expectedParameterRequests == 2;
        EXPECT_EQ(b.sent(code::parameterRequest), c.expectedParameterRequests) << c.legend;
        EXPECT_EQ(b.sent(code::wakeLogger), retried ? 2u : 1u) << c.legend;
        EXPECT_EQ(b.progress.contains("Korvane Connected...reading parameters...failed"), retried)
            << c.legend;
        EXPECT_EQ(b.port.sentBytes().find("+++"), std::string::npos) << c.legend << ": no hang-up";
        if (retried) {
            // Two attempts of preamble, clock and parameter time-out, each ended by a release.
            EXPECT_GT(b.now(), 2 * 3.0 + 6.0) << c.legend;
            EXPECT_LT(b.now(), 25.0) << c.legend;
        }
    }
}

struct SwitchBench : StationBench {
    explicit SwitchBench(std::vector<sim::Fault> faults = {}) : line(world, std::move(faults)) {
        port.attach(line);
        for (int position : {1, 2, 3, 4, 5, 6}) {
            sim::LoggerDescription d;
            d.serial = "KV0000000" + std::to_string(position);
            loggers.push_back(std::make_unique<sim::Logger>(world, d));
            line.place(position, *loggers.back());
        }
    }
    sim::LineSwitch line;
    std::vector<std::unique_ptr<sim::Logger>> loggers;
    FakeSteps steps{station.line()};
    Connect connect{station.line(), steps};
};

TEST(Connect, ModuleDigitsAreTakenByTheirCharacterCodes) {
    const std::string filler(42, '0');
    const struct {
        const char *legend;
        std::string reply;
        std::optional<unsigned> expected;
    } cases[] = {
        {"upper-case digits", filler + "3F", 0x3Fu},
        {"lower case means the same", filler + "3f", 0x3Fu},
        {"a colon is ten by its code", filler + "0:", 0x0Au},
        {"G is sixteen: bits 0..3 are empty", filler + "G1", 0x01u},
        {"one character short: no modules, the switch is not set", filler + "3", std::nullopt},
        {"longer answers keep the digits at offsets 42 and 43", filler + "81\r\n", 0x81u},
    };
    for (const auto &c : cases)
        EXPECT_EQ(decodeModuleDigits(c.reply), c.expected) << c.legend;
}

TEST(Connect, SwitchReportsItsModulesOrLeavesItsLetter) {
    using enum sim::FaultKind;
    const struct {
        const char *legend;
        std::vector<sim::Fault> faults;
        std::optional<SessionStatus> expectedStatus;
        std::size_t expectedReleases;
        unsigned expectedModules;
    } cases[] = {
        {"six modules", {}, std::nullopt, 0, 0x3Fu},
        {"no answer to the wake-up", {{silentSwitch}}, SessionStatus::switchSilent, 1, 0},
        {"empty module status", {{emptyModuleStatus}}, SessionStatus::switchStatusEmpty, 0, 0},
    };
    for (const auto &c : cases) {
        SwitchBench b(c.faults);
        const SwitchConnection connection = b.connect.connectSwitch();
        EXPECT_EQ(connection.outcome.succeeded, !c.expectedStatus) << c.legend;
        EXPECT_EQ(connection.outcome.status, c.expectedStatus) << c.legend;
        EXPECT_EQ(connection.modules, c.expectedModules) << c.legend;
        EXPECT_EQ(b.progress.contains("Switch Connected"), !c.expectedStatus) << c.legend;
        EXPECT_EQ(b.sent(char(0x8C)), c.expectedReleases) << c.legend;
    }
}

TEST(Connect, SelectingALoggerConnectsItThroughTheSwitch) {
    SwitchBench b;
    b.connect.selectLogger(3);
    EXPECT_EQ(b.port.sentBytes(), bytes({0x81, 0x85}));
    EXPECT_TRUE(b.progress.contains("Selecting Korvane no.3..."));
    EXPECT_EQ(b.line.connectedPosition(), 3);
    b.station.devices[1].serialNumber(3) = "KV00000003";
    const LoggerConnection third =
        b.connect.connectLogger(b.station.devices[1], 3, LoggerLine::direct, 0);
    EXPECT_TRUE(third.outcome.succeeded);
    EXPECT_EQ(third.parameters->parameters.loggerSerial, "KV00000003");
}

TEST(Connect, NetworkAndSectionAreRouted) {
    const struct {
        const char *legend;
        int network, section;
        std::string expectedBytes;
        const char *networkText;
        int routedNetwork;
    } cases[] = {
        {"network 2, section 1", 2, 1, bytes({0xFF, 0xE1, 0xFF, 0xF0}), "Sending Network... 225",
         2},
        {"network beyond one byte sends the last code again", 99, 1,
         bytes({0xFF, 0xFF, 0xFF, 0xF0}), "Sending Network... 322", 0},
    };
    for (const auto &c : cases) {
        SwitchBench b;
        b.connect.selectNetworkSection(c.network, c.section);
        EXPECT_EQ(b.port.sentBytes(), c.expectedBytes) << c.legend;
        EXPECT_TRUE(b.progress.contains(c.networkText)) << c.legend;
        EXPECT_TRUE(b.progress.contains("Disabling all modules... 255")) << c.legend;
        EXPECT_TRUE(b.progress.contains("Sending Section... 240")) << c.legend;
        b.settle();
        EXPECT_EQ(b.line.routedNetwork(), c.routedNetwork) << c.legend;
        EXPECT_EQ(b.line.routedSection(), 1) << c.legend;
    }
}

} // namespace
} // namespace vantrell
