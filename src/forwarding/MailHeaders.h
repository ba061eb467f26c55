// The header lines a mail needs that libcurl does not write by itself (Date, Message-ID, From,
// To, Subject). Header values come from configuration, so they are made safe here: a line
// break would start a header of its own, and 8-bit text must be encoded to travel.
#pragma once

#include "general/Clock.h"

#include <string>
#include <string_view>

namespace vantrell {

// "Tue, 03 Feb 2026 09:05:00 +0100": the local time and its offset from UTC in seconds.
std::string mailDate(const LocalDateTime &local, long offsetSeconds);
// The present moment in the form above, from the system's clock and time zone.
std::string mailDateNow();

// "<unique@domain>", the domain taken from the sender's address ("localhost" when it has none).
std::string messageId(std::string_view unique, std::string_view sender);
// A text no other mail of this program will use: the time, the process and a random number.
std::string uniqueToken();

// A header value on one line: line breaks become blanks, and text that is not plain ASCII is
// carried as UTF-8 in encoded words.
std::string headerValue(std::string_view text);

std::string base64(std::string_view bytes);

} // namespace vantrell
