// A server as the configuration names it: a host name or address, optionally followed by
// ":port". Anything else (blanks inside, a path, a scheme, an empty host) is not a server, and
// must be refused before it reaches a URL.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

struct ServerAddress {
    std::string host; // a name, a dotted address, or an IPv6 address without its brackets
    int port = 0;

    // The host as a URL carries it: IPv6 addresses in brackets.
    std::string urlAuthority() const;
};

// "mail.example.com", "10.0.0.5:2525", "[::1]:25"; blanks around the text are ignored.
std::optional<ServerAddress> parseServerText(std::string_view text, int defaultPort);

// One recipient or sender: something before and after a single "@", no blanks, no control
// characters, nothing that would end an SMTP command or a header.
bool isMailAddress(std::string_view text);

} // namespace vantrell
