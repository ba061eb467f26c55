#include "general/Codepage.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(Codepage, UnitsTakeOneByteEachInTheFile) {
    const struct {
        const char *legend;
        std::string utf8;
        std::string bytes;
    } cases[] = {
        {"degree sign", "°C",
         "\xB0"
         "C"},
        {"micro sign", "µE",
         "\xB5"
         "E"},
        {"plain ASCII unchanged", "W/m2", "W/m2"},
        {"euro sign lives in the 0x80 row", "€", "\x80"},
        {"typographic quote", "‘", "\x91"},
        {"accented letter", "Pié", "Pi\xE9"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(utf8ToWindows1252(c.utf8), c.bytes) << c.legend;
        EXPECT_EQ(windows1252ToUtf8(c.bytes), c.utf8) << c.legend;
    }
}

TEST(Codepage, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(utf8ToWindows1252(windows1252ToUtf8(all)), all);
}

TEST(Codepage, TextTheCodePageCannotHoldBecomesQuestionMarks) {
    const struct {
        const char *legend;
        std::string utf8;
        std::string bytes;
    } cases[] = {
        {"arrow outside the code page", "a→b", "a?b"},
        {"four-byte character", "x\xF0\x9F\x98\x80", "x?"},
        {"lone continuation byte",
         "a\x80"
         "b",
         "a?b"},
        {"sequence cut at the end", "ab\xC2", "ab?"},
        {"overlong encoding", "\xE0\x80\xAF", "???"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(utf8ToWindows1252(c.utf8), c.bytes) << c.legend;
}

} // namespace
} // namespace vantrell
