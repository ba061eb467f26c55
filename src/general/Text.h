// The text rules the station's records rely on. Configuration values are text, line answers
// are 8-bit text, and both are cut by position; none of these helpers ever reads past the end.
#pragma once

#include <string>
#include <string_view>

namespace vantrell {

// Numeric value of a text: the leading number after leading blanks (sign, digits, decimal
// point, exponent), 0 when there is none. "12abc" is 12, "abc" is 0, " -1.5E2" is -150.
double val(std::string_view text);
// val() as a whole number, rounded to nearest.
long long valInt(std::string_view text);

// Removes leading and trailing blanks (only blanks, as the stored texts are compared that way).
std::string trim(std::string_view text);

// A field of a fixed-layout text: `length` characters from the 0-based `offset`.
struct Field {
    std::size_t offset;
    std::size_t length;
};
// The characters of `field` that `text` has; empty beyond its end.
std::string_view cut(std::string_view text, Field field);

// `value` with at least `digits` digits, zero-padded ("00042"); a sign goes in front.
std::string zeroPad(long long value, int digits);
// `value` as exactly two upper-case hexadecimal digits (0..255).
std::string hex2(unsigned value);
// `value` as `digits` upper-case hexadecimal digits with leading zeros.
std::string hexDigits(unsigned long value, int digits);

// Cut or blank-padded on the right to exactly `width` characters.
std::string fitRight(std::string_view text, std::size_t width);

bool startsWith(std::string_view text, std::string_view prefix);

// ASCII letters in upper case; every other byte as it is.
std::string toUpper(std::string_view text);

// Control characters of UTF-8 text: those below a blank, DEL, and U+0080..U+009F. None of them
// belongs in a text that reaches the modem, a mail header or a file name: there they end a
// line, a command or a message, or steer a terminal.
bool hasControlCharacter(std::string_view text);
// The text with each control character replaced by `replacement` (removed when it is empty).
std::string withoutControlCharacters(std::string_view text, std::string_view replacement = {});

// `name` as one level of an MQTT topic: any name makes a topic a broker takes, and a consumer
// gets the name back by decoding every "%hh". Each byte of "%", "+", "#", "/", a control
// character (NUL among them), a character MQTT forbids in topics (U+FDD0..U+FDEF, U+xFFFE,
// U+xFFFF) and each byte that is no UTF-8 becomes "%" and two upper-case hexadecimal digits;
// every other byte stays, and "" stays "" (an empty level is a level; "+" matches it). A "$"
// stays too: only a topic's first level, which is never a name, is the brokers' own with it.
std::string topicLevel(std::string_view name);

} // namespace vantrell
