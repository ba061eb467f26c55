// The modem steps against a simulated Hayes modem with a logger behind it, in virtual time:
// what goes on the line, the outcomes and letters, and how long each outcome takes; and how
// the GSM modem's answers to a message are judged.
#include "link/Modem.h"
#include "link/SmsModem.h"

#include "StationBench.h"
#include "sim/HayesModem.h"
#include "sim/Logger.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using testing::StationBench;

const std::string preparation = "AT\rATE0\rAT&DO&K0\rATX1\rAT&R1\r";
const std::string dialCommand = "atdt0211234567\r";

struct ModemBench : StationBench {
    explicit ModemBench(std::vector<sim::Fault> faults = {})
        : logger(world, sim::LoggerDescription{}), modem(world, logger, std::move(faults)) {
        port.attach(modem);
    }
    // The check, then the dial when the modem answered, as a session makes them.
    StepOutcome checkAndDial() {
        const StepOutcome checked = steps.check();
        return checked.succeeded ? steps.dial({"0211234567", "08:00", 2}) : checked;
    }

    sim::Logger logger;
    sim::HayesModem modem;
    Modem steps{station.line()};
};

TEST(Modem, DialAnswersAreJudgedWhereTheModemPutsThem) {
    const struct {
        const char *legend;
        std::string answer;
        DialVerdict expected;
    } cases[] = {
        {"connect with its speed", "\r\nCONNECT 9600\r\n", DialVerdict::connected},
        {"connect without a speed, ended", "\r\nCONNECT\r\n", DialVerdict::connected},
        {"connect still arriving", "\r\nCONNECT 96", DialVerdict::waiting},
        {"busy", "\r\nBUSY\r\n", DialVerdict::notConnected},
        {"no carrier", "\r\nNO CARRIER\r\n", DialVerdict::notConnected},
        {"no dial tone", "\r\nNO DIALTONE\r\n", DialVerdict::notConnected},
        {"error", "\r\nERROR\r\n", DialVerdict::notConnected},
        {"no carrier still arriving", "\r\nNO CARR", DialVerdict::waiting},
        {"nothing yet", "", DialVerdict::waiting},
        {"connect at the start of a long answer", "CONNECT 9600/ARQ", DialVerdict::connected},
        {"connect too far in for a long answer", "garbage!CONNECT 9600\r\n",
         DialVerdict::notConnected},
    };
    for (const auto &c : cases)
        EXPECT_EQ(judgeDialAnswer(c.answer), c.expected) << c.legend;
}

TEST(Modem, ACallIsPreparedDialledAndConnected) {
    ModemBench b;
    const StepOutcome outcome = b.checkAndDial();
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_FALSE(outcome.status);
    EXPECT_EQ(b.port.sentBytes(), preparation + dialCommand);
    EXPECT_TRUE(b.port.isOpen()) << "the call keeps the port";
    EXPECT_TRUE(b.modem.connected());
    EXPECT_EQ(b.modem.dialledNumber(), "0211234567");

    const std::vector<std::string> texts = b.progress.texts(ProgressLine::detail);
    std::vector<std::string> preparing = {"Modem Initialazing...", ""};
    for (int k = 1; k <= 4; ++k)
        preparing.push_back("Initialazing modem ... " + std::to_string(k) + " of 4");
    ASSERT_GT(texts.size(), preparing.size());
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 6), preparing);
    const std::string dialing = "Dialing number... 0211234567\r\nElapsed time:  ";
    const std::string scheduled = " seconds.\r\nScheduled: 08:00    Trial no.: 2";
    EXPECT_EQ(texts[6], dialing + "1" + scheduled);
    EXPECT_TRUE(b.progress.contains(dialing + "14" + scheduled));
    EXPECT_EQ(texts.back(), "Modem \r\nCONNECT 9600\r\n");
}

TEST(Modem, CheckAndDialOutcomes) {
    using sim::FaultKind;
    const std::string checkedTwice = "AT\rAT&F\rAT\rAT&F\r";
    const std::string echoOffOnly = "AT\rATE0\r";
    const std::string dialled = preparation + dialCommand;
    const struct {
        const char *legend;
        FaultKind fault;
        int count;
        const char *letter;
        bool failed, linkUp, hangsUp;
        std::string sentStart;         // what the line carries first
        double minSeconds, maxSeconds; // the whole check, in virtual time
    } cases[] = {
        {"silent modem: two tries with a reset between, then M", FaultKind::modemSilent, 0, "M",
         true, false, false, checkedTwice, 3.0, 3.1},
        {"no answer to echo off: M, nothing dialled", FaultKind::modemStopsAfter, 1, "M", true,
         false, false, echoOffOnly, 5.0, 5.1},
        {"initialisation refused: M, but the call is made and succeeds", FaultKind::modemInitError,
         0, "M", false, true, false, dialled, 20.0, 30.0},
        {"busy: C as soon as the modem says so", FaultKind::modemBusy, 0, "C", true, false, true,
         dialled, 20.0, 35.0},
        {"silence after the dial: C after 70 seconds", FaultKind::modemNoDialAnswer, 0, "C", true,
         false, true, dialled, 8.0 + 70.0, 95.0},
        {"silent from the first init string: each waits 5 s (M), the dial 70 s (C)",
         FaultKind::modemStopsAfter, 2, "C", true, false, true, dialled, 3 * 5.0 + 78.0, 110.0},
    };
    for (const auto &c : cases) {
        ModemBench b({{c.fault, c.count}});
        const StepOutcome outcome = b.checkAndDial();
        ASSERT_TRUE(outcome.status) << c.legend;
        EXPECT_EQ(letterOf(*outcome.status), c.letter) << c.legend;
        EXPECT_EQ(!outcome.succeeded, c.failed) << c.legend;
        EXPECT_EQ(b.port.sentBytes().substr(0, c.sentStart.size()), c.sentStart) << c.legend;
        EXPECT_EQ(b.port.sentBytes().find("+++") != std::string::npos, c.hangsUp) << c.legend;
        EXPECT_EQ(b.port.isOpen(), c.linkUp) << c.legend;
        EXPECT_EQ(b.modem.connected(), c.linkUp) << c.legend;
        EXPECT_GE(b.now(), c.minSeconds) << c.legend;
        EXPECT_LE(b.now(), c.maxSeconds) << c.legend;
        EXPECT_TRUE(b.dialogs.shown().empty()) << c.legend;
    }
}

TEST(Modem, AnEchoAloneShowsTheModemIsThere) {
    ModemBench b;
    b.modem.resultDelay = 2.0; // the "OK" comes long after the echo
    EXPECT_TRUE(b.checkAndDial().succeeded);
    EXPECT_EQ(b.port.sentBytes().substr(0, 8), "AT\rATE0\r") << "one try was enough";
}

// No box: nobody may be there to click it, and the schedule must go on.
TEST(Modem, PortTroubleLeavesItsLetterAndProblem) {
    const std::string noSuchPort = "port 2 (simulated line): no such device";
    const struct {
        const char *legend;
        int portNumber;
        double busyAt, unplugAt; // negative: never
        bool writesFail;
        const char *letter;
        std::string problem; // as the session's account and the progress say it, or nothing
    } cases[] = {
        {"port in use at the check: M, no message", 1, 0.0, -1, false, "M", ""},
        {"no such port: M and the port's own description", 2, -1, -1, false, "M",
         "Modem error: " + noSuchPort},
        // Without a letter the device would stay due and be tried again on every tick.
        {"any other port error at the check: M all the same, no message", 1, -1, -1, true, "M", ""},
        {"port taken during the dial-up", 1, 0.5, -1, false, "M",
         "Modem error: Modem already in use"},
        {"adapter pulled during the dial-up: C", 1, -1, 0.5, false, "C", ""},
    };
    for (const auto &c : cases) {
        ModemBench b;
        b.station.line().usePort(c.portNumber);
        if (c.busyAt == 0.0)
            b.port.setBusy(true);
        else if (c.busyAt > 0)
            b.world.at(c.busyAt, [&b] { b.port.setBusy(true); });
        if (c.unplugAt > 0)
            b.world.at(c.unplugAt, [&b] { b.port.unplug(); });
        b.port.setWritesFail(c.writesFail);
        const StepOutcome outcome = b.checkAndDial();
        ASSERT_TRUE(outcome.status) << c.legend;
        EXPECT_EQ(letterOf(*outcome.status), c.letter) << c.legend;
        EXPECT_FALSE(outcome.succeeded) << c.legend;
        EXPECT_FALSE(b.port.isOpen()) << c.legend;
        EXPECT_EQ(outcome.problem, c.problem) << c.legend;
        EXPECT_EQ(c.problem.empty() || b.progress.contains(c.problem), true) << c.legend;
        EXPECT_TRUE(b.dialogs.shown().empty()) << c.legend;
    }
}

TEST(Modem, HangUpBytesDependOnTheEscapeBeingAnswered) {
    const struct {
        const char *legend;
        std::vector<sim::Fault> faults;
        bool call;
        std::string expected;
    } cases[] = {
        {"call up: the escape is answered", {}, true, "+++ATH0\r\nATH0\rAT&F\rATH0\rAT&F\r"},
        {"silent modem", {{sim::FaultKind::modemSilent}}, false, "+++ATH0\rAT&F\rATH0\rAT&F\r"},
    };
    for (const auto &c : cases) {
        ModemBench b(c.faults);
        if (c.call) {
            ASSERT_TRUE(b.checkAndDial().succeeded) << c.legend;
        }
        // A logger release goes out just before, as at the end of a session: only the pause
        // before "+++" gives the modem the silence its escape needs.
        const double start = b.now();
        Serial(b.station.line()).send("\x8D");
        b.steps.hangUp();
        EXPECT_EQ(b.port.sentBytesSince(start), "\x8D" + c.expected) << c.legend;
        EXPECT_FALSE(b.port.isOpen()) << c.legend;
        EXPECT_FALSE(b.modem.connected()) << c.legend;
        EXPECT_EQ(b.modem.count(sim::ModemEvent::Kind::hungUp), c.call ? 1 : 0) << c.legend;
        EXPECT_TRUE(b.progress.contains("Modem Disconnecting...")) << c.legend;
        EXPECT_EQ(b.progress.texts(ProgressLine::detail).back(), "Modem Disconnected") << c.legend;
    }
}

TEST(SmsAnswers, OnlyAConfirmationIsADelivery) {
    const std::string ok = "\r\nOK\r\n", prompt = "\r\n> ", confirmed = "\r\n+CMGS: 7\r\nOK\r\n";
    const std::string error = "\r\nERROR\r\n";
    const std::string unanswered = "no answer from the modem to the message";
    const struct {
        const char *legend;
        std::vector<std::string> answers; // text mode, opening, message
        std::string reason;               // empty: delivered
    } cases[] = {
        {"echo on", {"AT+CMGF=1\r" + ok, "AT+CMGS=\"+1\"\r" + prompt, "x" + confirmed}, ""},
        {"echo off", {ok, prompt, confirmed}, ""},
        {"a confirmation outweighs an earlier silence", {"", "", confirmed}, ""},
        {"a numbered error is named as the modem gave it",
         {ok, prompt, "\r\n+CMS ERROR: 500\r\n"},
         "the modem answered +CMS ERROR: 500 to the message"},
        {"text mode refused", {error, error, error}, "the modem answered ERROR to AT+CMGF=1"},
        {"no prompt", {ok, "", ""}, "no answer from the modem to AT+CMGS"},
        {"a reference without its OK", {ok, prompt, "\r\n+CMGS: 7\r\n"}, unanswered},
        {"an echoed text that reads OK is no confirmation", {ok, prompt, "OK\r\n"}, unanswered},
        {"an OK cut in two is no answer",
         {"\r\nO", "K\r\n> ", "\r\n+CMGS: 7\r\nO"},
         "no answer from the modem to AT+CMGF=1"},
    };
    for (const auto &c : cases) {
        const Delivery delivery = judgeSmsAnswers(c.answers);
        EXPECT_EQ(delivery.delivered(), c.reason.empty()) << c.legend;
        EXPECT_EQ(delivery.reason(), c.reason) << c.legend;
    }
}

} // namespace
} // namespace vantrell
