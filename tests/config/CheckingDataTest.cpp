#include "config/CheckingData.h"

#include "ConfigStation.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(CheckingData, NumericTest) {
    const struct {
        const char *legend;
        const char *text;
        bool numeric;
    } cases[] = {
        {"digits only", "0039512345", true},
        {"blanks at the ends", "  12 ", true},
        {"sign", "+39512345", true},
        {"decimal point", "-12.5", true},
        {"exponent", "1.5E3", true},
        {"exponent with sign", "2e-3", true},
        {"inner blank", "0039 512345", false},
        {"letter", "0039x12", false},
        {"exponent without digits", "12E", false},
        {"sign alone", "-", false},
        {"empty", "", false},
        {"blanks only", "   ", false},
        {"separator dash", "051-2345", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isNumeric(c.text), c.numeric) << c.legend;
}

TEST(CheckingData, PhoneNumberVerdicts) {
    const struct {
        const char *legend;
        const char *phone;
        bool ok;
    } cases[] = {
        {"digits only", "0039512345", true},
        {"inner blank", "0039 512345", false},
        {"letter", "0039S12345", false},
    };
    for (const auto &c : cases) {
        test::ConfigStation s;
        s.station.validationOk = !c.ok;
        CheckingData(s.station).checkPhoneNumber(c.phone);
        EXPECT_EQ(s.station.validationOk, c.ok) << c.legend;
        if (c.ok) {
            EXPECT_TRUE(s.dialogs.shown().empty()) << c.legend;
        } else {
            ASSERT_EQ(s.dialogs.shown().size(), 1u) << c.legend;
            EXPECT_EQ(s.dialogs.shown()[0].title, "Data error");
            EXPECT_EQ(s.dialogs.shown()[0].text, "The phone number inserted is not correct");
        }
    }
}

TEST(CheckingData, SerialNumberVerdicts) {
    const char *none = "No serial number is inserted";
    const char *wrong = "The serial number inserted is not correct";
    const struct {
        const char *legend;
        std::array<std::string, maxLoggers> boxes;
        const char *message; // nullptr: the check passes
    } cases[] = {
        {"digits, model code, digits", {"1234KV0125"}, nullptr},
        {"every model code", {"1234KV0125", "1234GQ0125", "1234HZ0125", "1234YR0125"}, nullptr},
        {"lower-case model code", {"1234kv0125"}, wrong},
        {"unknown model code", {"1234KX0125"}, wrong},
        {"letter in the number", {"12A4KV0125"}, wrong},
        {"two trailing digits", {"1234KV01"}, nullptr},
        {"nothing after the model code", {"1234KV"}, wrong},
        {"eleven characters: the eleventh ignored", {"1234KV0125Z"}, nullptr},
        {"leading blank shifts the model code", {" 1234KV0125"}, wrong},
        {"blanks only count as empty", {"   ", "1234KV0125"}, nullptr},
        {"gap between filled boxes", {"1234KV0125", "", "5678HZ1124"}, nullptr},
        {"a later box wrong", {"1234KV0125", "5678HZ11x4"}, wrong},
        {"all empty", {}, none},
        {"all blanks", {" ", "  ", "", "", "", "", "", "   "}, none},
    };
    for (const auto &c : cases) {
        test::ConfigStation s;
        CheckingData(s.station).checkSerialNumbers(c.boxes);
        EXPECT_EQ(s.station.validationOk, c.message == nullptr) << c.legend;
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
