#include "forwarding/ServerText.h"

#include "general/Text.h"

#include <algorithm>
#include <cctype>

namespace vantrell {

namespace {

constexpr int maxPort = 65535;

bool isNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
}

// Labels of letters, digits and hyphens, joined by single dots; this also admits dotted IPv4.
bool isHostName(std::string_view host) {
    if (host.empty() || !std::all_of(host.begin(), host.end(), isNameCharacter))
        return false;
    return host.front() != '.' && host.front() != '-' && host.back() != '.' &&
           host.find("..") == std::string_view::npos;
}

bool isIpv6(std::string_view host) {
    return host.find(':') != std::string_view::npos &&
           std::all_of(host.begin(), host.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
           });
}

std::optional<int> parsePort(std::string_view text) {
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        }))
        return std::nullopt;
    const int port = std::stoi(std::string(text));
    if (port < 1 || port > maxPort)
        return std::nullopt;
    return port;
}

} // namespace

std::string ServerAddress::urlAuthority() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<ServerAddress> parseServerText(std::string_view text, int defaultPort) {
    const std::string server = trim(text);
    std::string_view host = server;
    std::string_view portText;
    bool hasPort = false;
    if (!host.empty() && host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        const std::string_view rest = host.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return std::nullopt;
        if (!rest.empty()) {
            portText = rest.substr(1);
            hasPort = true;
        }
        host = host.substr(1, close - 1);
        if (!isIpv6(host))
            return std::nullopt;
    } else {
        const std::size_t colon = host.find(':');
        if (colon != std::string_view::npos) {
            portText = host.substr(colon + 1);
            hasPort = true;
            host = host.substr(0, colon);
        }
        if (!isHostName(host))
            return std::nullopt;
    }
    int port = defaultPort;
    if (hasPort) {
        const std::optional<int> parsed = parsePort(portText);
        if (!parsed)
            return std::nullopt;
        port = *parsed;
    }
    return ServerAddress{std::string(host), port};
}

bool isMailAddress(std::string_view text) {
    const std::size_t at = text.find('@');
    if (at == std::string_view::npos || at == 0 || at + 1 == text.size() ||
        text.find('@', at + 1) != std::string_view::npos)
        return false;
    return !hasControlCharacter(text) && std::none_of(text.begin(), text.end(), [](char c) {
        return c == ' ' || c == '<' || c == '>' || c == ',' || c == ';' || c == '"';
    });
}

} // namespace vantrell
