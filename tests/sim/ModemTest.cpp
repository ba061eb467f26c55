// The simulated modems. The Hayes modem: its answers in command mode, the outcomes of a dial,
// the data mode in between and the escape that only silence around "+++" makes. The GSM modem:
// text-mode messages.
#include "sim/GsmModem.h"
#include "sim/HayesModem.h"

#include "SimBench.h"

#include <gtest/gtest.h>

namespace vantrell::sim {
namespace {

using namespace modemAnswers;
using testing::parts;
using testing::SimBench;

// The far end of the call: keeps what it hears and says what a test tells it to.
class FarEnd final : public Device {
public:
    void receive(unsigned char byte) override { heard += static_cast<char>(byte); }
    void say(std::string_view bytes) const { answer(bytes); }
    std::string heard;
};

struct ModemBench : SimBench {
    explicit ModemBench(std::vector<Fault> faults = {}) : modem(world, far, std::move(faults)) {
        attach(modem);
    }
    // Echo off, dial, and wait for the call to be answered.
    std::string dialAndWait() {
        ask("ATE0\r");
        return ask("ATDT0211234567\r", modem.dialDelay + 1.0);
    }
    // Writes each part after its pause; returns everything that came back meanwhile.
    std::string script(const std::vector<std::pair<double, std::string>> &steps) {
        std::string answers;
        for (const auto &[pause, bytes] : steps) {
            world.runFor(pause);
            answers += port.read(0);
            EXPECT_TRUE(port.write(bytes));
        }
        world.runFor(2 * modem.guardTime);
        return answers + port.read(0);
    }

    FarEnd far;
    HayesModem modem;
};

TEST(HayesModem, AnswersCommandsAsAHayesModemDoes) {
    const std::string s(ok), e(error);
    const std::vector<std::string> init = {"ATE0\r", "AT&DO&K0\r", "ATX1\r", "AT&R1\r"};
    const std::vector<Fault> none;
    const struct {
        const char *legend;
        std::vector<Fault> faults;
        std::vector<std::string> commands;
        std::string expected;
    } rows[] = {
        {"echo on: the command comes back, then OK", none, {"AT\r"}, "AT\r" + s},
        {"ATE0 turns the echo off", none, {"ATE0\r", "AT\r"}, "ATE0\r" + s + s},
        {"AT&F brings it back", none, {"ATE0\r", "AT&F\r", "AT\r"}, "ATE0\r" + s + s + "AT\r" + s},
        {"initialisation strings", none, init, "ATE0\r" + s + s + s + s},
        {"initialisation refused", {{FaultKind::modemInitError}}, init, "ATE0\r" + s + e + e + e},
        {"any other command", none, {"ATE0\r", "ATS0=0\r"}, "ATE0\r" + s + s},
        {"a stray line feed before AT", none, {"ATE0\r", "\nATH0\r"}, "ATE0\r" + s + s},
        {"no AT, no command", none, {"ATE0\r", "hello\r"}, "ATE0\r" + s},
        {"silent modem", {{FaultKind::modemSilent}}, {"AT\r"}, ""},
        {"silent after one", {{FaultKind::modemStopsAfter, 1}}, {"AT\r", "ATE0\r"}, "AT\r" + s},
    };
    for (const auto &row : rows) {
        ModemBench b(row.faults);
        std::string answers;
        for (const auto &command : row.commands)
            answers += b.ask(command);
        EXPECT_EQ(answers, row.expected) << row.legend;
    }
}

TEST(HayesModem, AKeyWhileDiallingEndsTheAttempt) {
    ModemBench b({{FaultKind::modemNoDialAnswer}});
    b.ask("ATE0\r");
    b.ask("ATDT123\r", 5.0);
    EXPECT_EQ(b.ask("+"), noCarrier);
    EXPECT_EQ(b.modem.count(ModemEvent::Kind::dialAborted), 1);
    EXPECT_EQ(b.ask("AT\r"), ok) << "back in command mode";
}

TEST(HayesModem, EscapeNeedsSilenceAroundThePluses) {
    const struct {
        const char *legend;
        std::vector<std::pair<double, std::string>> steps;
        bool escaped;
    } rows[] = {
        {"guard time, +++, guard time", {{1.2, "+"}, {0.1, "+"}, {0.1, "+"}}, true},
        {"+++ in one burst", {{1.2, "+++"}}, true},
        {"too soon after data", {{1.2, "x"}, {0.2, "+"}, {0.1, "+"}, {0.1, "+"}}, false},
        {"pluses too far apart", {{1.2, "+"}, {1.1, "+"}, {0.1, "+"}}, false},
        {"a byte right after", {{1.2, "+++"}, {0.5, "x"}}, false},
        {"four pluses", {{1.2, "++++"}}, false},
    };
    for (const auto &row : rows) {
        ModemBench b;
        ASSERT_EQ(b.dialAndWait(), connect) << row.legend;
        b.far.heard.clear();
        const std::string answers = b.script(row.steps);
        EXPECT_EQ(answers, row.escaped ? std::string(ok) : "") << row.legend;
        EXPECT_EQ(b.modem.inDataMode(), !row.escaped) << row.legend;
        EXPECT_TRUE(b.modem.connected()) << row.legend;
        EXPECT_NE(b.far.heard.find("+++"), std::string::npos) << "pluses are data until escaped";
    }
}

TEST(HayesModem, HangingUpCutsTheFarEndOff) {
    ModemBench b;
    ASSERT_EQ(b.dialAndWait(), connect);
    ASSERT_EQ(b.script({{1.2, "+++"}}), ok);
    b.far.heard.clear();
    EXPECT_EQ(b.ask("ATH0\r"), ok);
    EXPECT_FALSE(b.modem.connected());
    EXPECT_EQ(b.far.heard, "") << "commands do not reach the far end";
    b.far.say("?");
    EXPECT_EQ(b.ask("", 1.0), "");
    using K = ModemEvent::Kind;
    std::vector<K> logged;
    for (const auto &e : b.modem.log())
        logged.push_back(e.kind);
    EXPECT_EQ(logged, (std::vector<K>{K::heard, K::heard, K::dialled, K::connected, K::escaped,
                                      K::heard, K::hungUp}));
    EXPECT_EQ(b.modem.log()[1].detail, "ATDT0211234567");
}

TEST(GsmModem, TakesTextModeMessagesAsARealOneDoes) {
    const struct {
        const char *legend;
        const char *steps;   // sent one after the other, three seconds apart
        std::string answers; // everything that came back
        const char *sent;    // the messages it sent, as number: text
        int refused = 0;     // of the next messages, by the smsRefused fault
    } cases[] = {
        {"text mode, number, text and character 26",
         "AT+CMGF=1\r|AT+CMGS=\"+4911\"\r|Level; Channel 2\x1A",
         "AT+CMGF=1\r\r\nOK\r\nAT+CMGS=\"+4911\"\r\r\n> Level; Channel 2\r\n+CMGS: 1\r\nOK\r\n",
         "+4911: Level; Channel 2"},
        {"without text mode the message is refused", "ATE0\r|AT+CMGS=\"+4911\"\r|x\x1A",
         "ATE0\r\r\nOK\r\n\r\nERROR\r\n", ""},
        {"character 27 abandons the message", "ATE0\rAT+CMGF=1\r|AT+CMGS=\"+4911\"\r|x\x1B",
         "ATE0\r\r\nOK\r\n\r\nOK\r\n\r\n> \r\nOK\r\n", ""},
        {"a number without quotes is refused", "ATE0\rAT+CMGF=1\r|AT+CMGS=+4911\r",
         "ATE0\r\r\nOK\r\n\r\nOK\r\n\r\nERROR\r\n", ""},
        {"two messages get two references",
         "ATE0\rAT+CMGF=1\r|AT+CMGS=\"+1\"\r|a\x1A|AT+CMGS=\"+2\"\r|b\x1A",
         "ATE0\r\r\nOK\r\n\r\nOK\r\n\r\n> \r\n+CMGS: 1\r\nOK\r\n\r\n> \r\n+CMGS: 2\r\nOK\r\n",
         "+1: a|+2: b"},
        {"smsRefused:1 refuses the first message only",
         "ATE0\rAT+CMGF=1\r|AT+CMGS=\"+1\"\r|a\x1A|AT+CMGS=\"+2\"\r|b\x1A",
         "ATE0\r\r\nOK\r\n\r\nOK\r\n\r\n> \r\nERROR\r\n\r\n> \r\n+CMGS: 1\r\nOK\r\n", "+2: b", 1},
    };
    for (const auto &c : cases) {
        SimBench b;
        GsmModem modem(b.world, {{FaultKind::smsRefused, c.refused}});
        b.attach(modem);
        std::string answers;
        for (const std::string &step : parts(c.steps))
            answers += b.ask(step, 3.0);
        EXPECT_EQ(answers, c.answers) << c.legend;
        std::string sent;
        for (const SmsMessage &m : modem.messages())
            sent += (sent.empty() ? "" : "|") + m.number + ": " + m.text;
        EXPECT_EQ(sent, c.sent) << c.legend;
    }
}

} // namespace
} // namespace vantrell::sim
