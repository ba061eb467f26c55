#include "sim/GsmModem.h"
#include "SimBench.h"

namespace vantrell::sim {
namespace {

using testing::parts;
using testing::SimBench;

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
