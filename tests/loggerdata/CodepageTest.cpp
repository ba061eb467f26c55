#include "general/Codepage.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(Codepage, OneByteACharacterInTheFile) {
    const struct {
        const char *legend;
        std::string utf8, bytes;
        bool roundTrip;
    } cases[] = {
        {"units with a degree and a micro sign", "°C µE",
         "\xB0"
         "C \xB5"
         "E",
         true},
        {"the euro sign lives in the 0x80 row", "€‘", "\x80\x91", true},
        {"a character outside the code page", "a→b", "a?b", false},
        {"a broken sequence, byte by byte",
         "a\x80"
         "b\xC2",
         "a?b?", false},
        {"an overlong encoding", "\xE0\x80\xAF", "???", false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(utf8ToWindows1252(c.utf8), c.bytes) << c.legend;
        if (c.roundTrip) {
            EXPECT_EQ(windows1252ToUtf8(c.bytes), c.utf8) << c.legend;
        }
    }
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(utf8ToWindows1252(windows1252ToUtf8(all)), all) << "every byte survives";
}

} // namespace
} // namespace vantrell
