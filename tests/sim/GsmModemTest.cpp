#include "sim/GsmModem.h"
#include "SimBench.h"

namespace vantrell::sim {
namespace {

using testing::SimBench;

TEST(GsmModem, TakesTextModeMessagesAsARealOneDoes) {
    const struct {
        const char *legend;
        std::vector<std::string> steps; // each sent, then three seconds pass
        std::string answers;            // everything that came back
        std::vector<std::string> numbersSent;
        std::vector<std::string> textsSent;
        std::vector<Fault> faults = {};
    } cases[] = {
        {"text mode, number, text and character 26",
         {"AT+CMGF=1\r", "AT+CMGS=\"+4911\"\r", "Level; Channel 2\x1A"},
         "AT+CMGF=1\r\r\nOK\r\nAT+CMGS=\"+4911\"\r\r\n> Level; Channel 2\r\n+CMGS: 1\r\nOK\r\n",
         {"+4911"},
         {"Level; Channel 2"}},
        {"without text mode the message is refused",
         {"ATE0\r", "AT+CMGS=\"+4911\"\r", "x\x1A"},
         "ATE0\r\r\nOK\r\n\r\nERROR\r\n",
         {},
         {}},
        {"character 27 abandons the message",
         {"ATE0\rAT+CMGF=1\r", "AT+CMGS=\"+4911\"\r", "x\x1B"},
         "ATE0\r\r\nOK\r\n\r\nOK\r\n\r\n> \r\nOK\r\n",
         {},
         {}},
        {"a number without quotes is refused",
         {"ATE0\rAT+CMGF=1\r", "AT+CMGS=+4911\r"},
         "ATE0\r\r\nOK\r\n\r\nOK\r\n\r\nERROR\r\n",
         {},
         {}},
        {"two messages get two references",
         {"ATE0\rAT+CMGF=1\r", "AT+CMGS=\"+1\"\r", "a\x1A", "AT+CMGS=\"+2\"\r", "b\x1A"},
         "ATE0\r\r\nOK\r\n\r\nOK\r\n\r\n> \r\n+CMGS: 1\r\nOK\r\n\r\n> \r\n+CMGS: 2\r\nOK\r\n",
         {"+1", "+2"},
         {"a", "b"}},
        {"smsRefused:1 refuses the first message only",
         {"ATE0\rAT+CMGF=1\r", "AT+CMGS=\"+1\"\r", "a\x1A", "AT+CMGS=\"+2\"\r", "b\x1A"},
         "ATE0\r\r\nOK\r\n\r\nOK\r\n\r\n> \r\nERROR\r\n\r\n> \r\n+CMGS: 1\r\nOK\r\n",
         {"+2"},
         {"b"},
         {{FaultKind::smsRefused, 1}}},
    };
    for (const auto &c : cases) {
        SimBench b;
        GsmModem modem(b.world, c.faults);
        b.attach(modem);
        std::string answers;
        for (const std::string &step : c.steps)
            answers += b.ask(step, 3.0);
        EXPECT_EQ(answers, c.answers) << c.legend;
        std::vector<std::string> numbers, texts;
        for (const SmsMessage &m : modem.messages()) {
            numbers.push_back(m.number);
            texts.push_back(m.text);
        }
        EXPECT_EQ(numbers, c.numbersSent) << c.legend;
        EXPECT_EQ(texts, c.textsSent) << c.legend;
    }
}

} // namespace
} // namespace vantrell::sim
