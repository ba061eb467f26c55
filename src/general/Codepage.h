// The program's strings are UTF-8; the line and the data files are 8-bit Windows-1252, one byte
// per character, so that a unit such as "°C" takes one byte and a fixed-width record keeps its
// width. Text changes encoding only where it crosses that boundary, through these two calls.
#pragma once

#include <string>
#include <string_view>

namespace vantrell {

// Each byte becomes its character. The five bytes the code page leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) become the control characters of the same number, so every byte survives a
// round trip.
std::string windows1252ToUtf8(std::string_view bytes);

// Each character becomes its byte; a character the code page cannot hold, and every byte of a
// broken UTF-8 sequence, becomes "?".
std::string utf8ToWindows1252(std::string_view text);

// The character whose UTF-8 sequence starts at byte `at` of `text`, and the sequence's length;
// 0 when the bytes there are no UTF-8 (a stray or missing continuation byte, an overlong form,
// a surrogate, beyond U+10FFFF).
std::size_t decodeUtf8(std::string_view text, std::size_t at, char32_t &c);

} // namespace vantrell
