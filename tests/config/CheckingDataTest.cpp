#include "config/CheckingData.h"

#include "ConfigStation.h"
#include "sim/LoggerDescription.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vantrell {
namespace {

enum class Check { phone, serials };

TEST(CheckingData, Verdicts) {
    const char *phone = "The phone number inserted is not correct";
    const char *none = "No serial number is inserted";
    const char *wrong = "The serial number inserted is not correct";
    const std::string simulated = sim::LoggerDescription{}.serial;
    const struct {
        const char *legend;
        Check check;
        std::string boxes;   // the serial boxes apart by "|"
        const char *message; // nullptr: the check passes
    } cases[] = {
        {"phone: digits only", Check::phone, "0039512345", nullptr},
        {"phone: blanks at the ends", Check::phone, "  12 ", nullptr},
        {"phone: sign", Check::phone, "+39512345", nullptr},
        {"phone: decimal point", Check::phone, "-12.5", nullptr},
        {"phone: exponent with sign", Check::phone, "2e-3", nullptr},
        {"phone: exponent without digits", Check::phone, "12E", phone},
        {"phone: sign alone", Check::phone, "-", phone},
        {"phone: empty", Check::phone, "", phone},
        {"phone: separator dash", Check::phone, "051-2345", phone},
        {"phone: inner blank", Check::phone, "0039 512345", phone},
        {"serial: every model code", Check::serials, "1234KV0125|1234GQ0125|1234HZ0125|1234YR0125",
         nullptr},
        {"serial: lower-case model code", Check::serials, "1234kv0125", wrong},
        {"serial: unknown model code", Check::serials, "1234KX0125", wrong},
        {"serial: letter in the number", Check::serials, "12A4KV0125", wrong},
        {"serial: two trailing digits", Check::serials, "1234KV01", nullptr},
        {"serial: nothing after the model code", Check::serials, "1234KV", wrong},
        {"serial: eleven characters, the last ignored", Check::serials, "1234KV0125Z", nullptr},
        {"serial: a delete after the tenth character of a later box", Check::serials,
         "1234KV0125|5678HZ1124\x7F", wrong},
        {"serial: leading blank shifts the model code", Check::serials, " 1234KV0125", wrong},
        {"serial: blanks only count as empty", Check::serials, "   |1234KV0125", nullptr},
        {"serial: gap between filled boxes", Check::serials, "1234KV0125||5678HZ1124", nullptr},
        {"serial: a later box wrong", Check::serials, "1234KV0125|5678HZ11x4", wrong},
        {"serial: all blanks", Check::serials, " |  |||||   ", none},
        {"serial: the simulator's default logger", Check::serials, simulated, nullptr},
    };
    for (const auto &c : cases) {
        test::ConfigStation s;
        std::array<std::string, maxLoggers> boxes;
        std::istringstream split(c.boxes);
        for (std::string &box : boxes)
            std::getline(split, box, '|');
        const std::optional<std::string> problem =
            c.check == Check::phone ? CheckingData(s.station).checkPhoneNumber(c.boxes)
                                    : CheckingData(s.station).checkSerialNumbers(boxes);
        EXPECT_EQ(problem.has_value(), c.message != nullptr) << c.legend;
        if (!c.message) {
            EXPECT_TRUE(s.dialogs.shown().empty()) << c.legend;
            continue;
        }
        ASSERT_EQ(s.dialogs.shown().size(), 1u) << c.legend;
        EXPECT_EQ(s.dialogs.shown()[0].title, "Data error") << c.legend;
        EXPECT_EQ(s.dialogs.shown()[0].text, c.message) << c.legend;
    }
}

} // namespace
} // namespace vantrell
