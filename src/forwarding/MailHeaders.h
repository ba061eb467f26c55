// The header lines a mail needs that libcurl does not write by itself (Date, Message-ID, From,
// To, Subject, and each attachment's disposition). Header values come from configuration, so
// they are made safe here: a control character would end a header or start one of its own, and
// 8-bit text must be encoded to travel.
#pragma once

#include "forwarding/MailSession.h"
#include "general/Clock.h"

#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

// "Tue, 03 Feb 2026 09:05:00 +0100": the local time and its offset from UTC in seconds.
std::string mailDate(const LocalDateTime &local, long offsetSeconds);
// The present moment in the form above, from the system's clock and time zone.
std::string mailDateNow();

// "<unique@domain>", the domain taken from the sender's address ("localhost" when it has none).
std::string messageId(std::string_view unique, std::string_view sender);
// A text no other mail of this program will use: the time, the process and a random number.
std::string uniqueToken();

// A header value on one line: control characters become blanks, and text that is not plain
// ASCII is carried as UTF-8 in encoded words.
std::string headerValue(std::string_view text);

// Date, Message-ID, From, To and Subject of a message whose sender and recipient are mail
// addresses (messageProblem found nothing), the date and the unique part of the identifier given.
std::vector<std::string> mailHeaderLines(const MailMessage &message, std::string_view date,
                                         std::string_view unique);

// The value of an attachment's Content-Disposition, naming the file as mail clients show it:
// a quoted name when it is printable ASCII without quote or backslash, otherwise the UTF-8
// name percent-encoded as a parameter value of RFC 2231, which every byte survives.
std::string attachmentDisposition(std::string_view fileName);

std::string base64(std::string_view bytes);

} // namespace vantrell
