#include "general/Text.h"

#include "general/Codepage.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vantrell {

namespace {

// The bytes of the control character that starts at `at`, 0 when none does. U+0080..U+009F
// are two bytes in UTF-8, 0xC2 and 0x80..0x9F.
std::size_t controlLength(std::string_view text, std::size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c < 0x20 || c == 0x7F)
        return 1;
    if (c == 0xC2 && at + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[at + 1]);
        if (next >= 0x80 && next <= 0x9F)
            return 2;
    }
    return 0;
}

// What a level could not hold as it is: its separator, the wildcards, the escape itself, and the
// noncharacters MQTT forbids (control characters are found apart, with their UTF-8 length).
bool escapedInTopic(char32_t c) {
    return c == '%' || c == '+' || c == '#' || c == '/' || (c >= 0xFDD0 && c <= 0xFDEF) ||
           (c & 0xFFFE) == 0xFFFE;
}

} // namespace

double val(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        number += text[i++];
    bool digits = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        number += text[i++];
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            number += text[i++];
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            exponent += text[j++];
        bool expDigits = false;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            exponent += text[j++];
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    const double v = std::strtod(number.c_str(), nullptr);
    return std::isfinite(v) ? v : 0.0;
}

long long valInt(std::string_view text) {
    const double v = std::round(val(text));
    constexpr double limit = 9.0e18;
    return v > limit    ? static_cast<long long>(limit)
           : v < -limit ? -static_cast<long long>(limit)
                        : static_cast<long long>(v);
}

std::string trim(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string_view cut(std::string_view text, Field field) {
    if (field.offset >= text.size())
        return {};
    return text.substr(field.offset, field.length);
}

std::string zeroPad(long long value, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", digits + (value < 0 ? 1 : 0), value);
    return buf;
}

std::string hex2(unsigned value) {
    return hexDigits(value & 0xFFu, 2);
}

std::string hexDigits(unsigned long value, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lX", digits, value);
    return buf;
}

std::string fitRight(std::string_view text, std::size_t width) {
    std::string out(text.substr(0, width));
    out.resize(width, ' ');
    return out;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string toUpper(std::string_view text) {
    std::string out(text);
    for (char &c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool hasControlCharacter(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (controlLength(text, i) != 0)
            return true;
    return false;
}

std::string withoutControlCharacters(std::string_view text, std::string_view replacement) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t length = controlLength(text, i); length != 0) {
            out += replacement;
            i += length;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string topicLevel(std::string_view name) {
    std::string level;
    level.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        char32_t c = 0;
        const std::size_t length = decodeUtf8(name, i, c);
        if (length != 0 && controlLength(name, i) == 0 && !escapedInTopic(c)) {
            level.append(name.substr(i, length));
            i += length;
            continue;
        }
        for (const std::size_t end = i + std::max<std::size_t>(length, 1); i < end; ++i)
            level += "%" + hex2(static_cast<unsigned char>(name[i]));
    }
    return level;
}

} // namespace vantrell
