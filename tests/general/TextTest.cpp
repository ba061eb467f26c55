#include "general/Text.h"
#include "general/Codepage.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(Text, ValTakesTheLeadingNumberOnly) {
    const struct {
        const char *legend, *text;
        double expected;
    } cases[] = {
        {"plain integer", "42", 42},
        {"leading blanks", "   7", 7},
        {"trailing letters", "12abc", 12},
        {"no number", "abc", 0},
        {"empty", "", 0},
        {"sign and decimals", "-0012.50", -12.5},
        {"plus sign", "+0023.5", 23.5},
        {"exponent", " -1.5E2", -150},
        {"exponent without digits", "3E", 3},
        {"missing reading", "-------", 0},
        {"point only", ".", 0},
        {"leading point", ".5", 0.5},
        {"inner blank stops", "1 2", 1},
        {"overflowing exponent", "1e999", 0},
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(val(c.text), c.expected) << c.legend;
}

// Fixed-width texts never read past the end of what they cut.
TEST(Text, FixedWidthTexts) {
    EXPECT_EQ(cut("24/06/15", {6, 2}), "15");
    EXPECT_EQ(cut("24/06/15", {7, 5}), "5");
    EXPECT_EQ(cut("24", {2, 2}), "");
    EXPECT_EQ(cut("", {0, 1}), "");
    EXPECT_EQ(fitRight("Temperature", 7), "Tempera");
    EXPECT_EQ(fitRight("Ch", 5), "Ch   ");
    EXPECT_EQ(trim("  a b  "), "a b");
    EXPECT_EQ(trim("    "), "");
    EXPECT_EQ(zeroPad(7, 5), "00007");
    EXPECT_EQ(zeroPad(123456, 5), "123456");
    EXPECT_EQ(zeroPad(-3, 2), "-03");
    EXPECT_EQ(hex2(0x0F), "0F");
    EXPECT_EQ(hex2(255), "FF");
    EXPECT_EQ(hexDigits(300, 4), "012C");
    EXPECT_EQ(valInt("2.6"), 3);
}

TEST(Text, ControlCharactersAreFoundAndReplacedWhole) {
    const struct {
        const char *legend;
        std::string text, removed, blanked;
    } cases[] = {
        {"a serial as typed", "1234KV0125", "1234KV0125", "1234KV0125"},
        {"a line break would start a header", "KV1\nBcc:x", "KV1Bcc:x", "KV1 Bcc:x"},
        {"bell, tab and delete", "a\ab\tc\x7F", "abc", "a b c "},
        {"U+0085 (next line) goes with both its bytes", "a\xC2\x85z", "az", "a z"},
        {"printable UTF-8 stays", "25 \302\260C", "25 \302\260C", "25 \302\260C"},
        {"a lead byte at the end is no control character", "a\xC2", "a\xC2", "a\xC2"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(hasControlCharacter(c.text), c.removed != c.text) << c.legend;
        EXPECT_EQ(withoutControlCharacters(c.text), c.removed) << c.legend;
        EXPECT_EQ(withoutControlCharacters(c.text, " "), c.blanked) << c.legend;
    }
}

// Every name must give a topic the broker takes, and decoding "%hh" must give the name back.
TEST(Text, TopicLevelsEncodeWhatATopicCannotHold) {
    const struct {
        const char *legend;
        std::string name, level;
    } cases[] = {
        {"a serial as typed stays", "1234KV0125", "1234KV0125"},
        {"the wildcards", "12+4KV#1", "12%2B4KV%231"},
        {"a separator would add a level", "KV/1", "KV%2F1"},
        {"the escape itself, so that decoding is unambiguous", "100%25", "100%2525"},
        {"NUL, a line break and DEL", std::string("a\0b\nc\x7F", 6), "a%00b%0Ac%7F"},
        {"U+0085 (next line), both its bytes", "a\xC2\x85", "a%C2%85"},
        {"printable UTF-8 stays", "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC",
         "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC"},
        {"Windows-1252 bytes that are no UTF-8, byte by byte", "\xB0\xFC", "%B0%FC"},
        {"a lead byte cut off at the end", "KV\xC3", "KV%C3"},
        {"a noncharacter MQTT forbids, byte by byte", "a\xEF\xBF\xBE", "a%EF%BF%BE"},
        {"a $ is plain: the topic's first level is never a name", "$SYS", "$SYS"},
        {"the empty level stays empty", "", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(topicLevel(c.name), c.level) << c.legend;
}

// Data files hold one byte a character, in Windows-1252.
TEST(Codepage, OneByteACharacterInTheFile) {
    const struct {
        const char *legend;
        std::string utf8, bytes;
        bool roundTrip;
    } cases[] = {
        {"units with a degree and a micro sign", "°C µE", "\260C \265E", true},
        {"the euro sign lives in the 0x80 row", "€‘", "\x80\x91", true},
        {"a character outside the code page", "a→b", "a?b", false},
        {"a broken sequence, byte by byte", "a\200b\302", "a?b?", false},
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
