#include "forwarding/FtpSession.h"

#include "general/Text.h"

#include <algorithm>

namespace vantrell {

namespace {

// The next argument of `rest`, which is left after it and the blanks that follow; nullopt when
// a quoted argument has no closing quote or runs straight into more text.
std::optional<std::string> takeArgument(std::string_view &rest) {
    std::string argument;
    std::size_t at = 0;
    if (startsWith(rest, "\"")) {
        for (at = 1; at < rest.size() && rest[at] != '"'; ++at) {
            if (rest[at] == '\\' && at + 1 < rest.size())
                ++at;
            argument += rest[at];
        }
        if (at == rest.size())
            return std::nullopt;
        ++at;
        if (at < rest.size() && rest[at] != ' ')
            return std::nullopt;
    } else {
        at = std::min(rest.find(' '), rest.size());
        argument = rest.substr(0, at);
    }
    rest.remove_prefix(at);
    while (startsWith(rest, " "))
        rest.remove_prefix(1);
    return argument;
}

} // namespace

std::string ftpArgument(std::string_view name) {
    if (!name.empty() && name.find_first_of(" \"") == std::string_view::npos)
        return std::string(name);
    std::string quoted(1, '"');
    for (const char c : name) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::optional<FtpCommand> parseFtpCommand(std::string_view text) {
    const std::string command = trim(text);
    const std::size_t blank = command.find(' ');
    const std::string verb = toUpper(command.substr(0, blank));
    const std::string arguments = blank == std::string::npos ? "" : trim(command.substr(blank));
    if (verb == "DIR" && arguments.empty())
        return FtpCommand{FtpCommand::Kind::dir, {}, {}};
    if (verb == "CLOSE" && arguments.empty())
        return FtpCommand{FtpCommand::Kind::close, {}, {}};
    if (verb == "CD" && !arguments.empty())
        return FtpCommand{FtpCommand::Kind::cd, arguments, {}};
    if (verb == "PUT") {
        std::string_view rest = arguments;
        std::optional<std::string> local = takeArgument(rest);
        std::optional<std::string> remote = takeArgument(rest);
        if (!local || !remote || local->empty() || remote->empty() || !rest.empty())
            return std::nullopt;
        return FtpCommand{FtpCommand::Kind::put, std::move(*local), std::move(*remote)};
    }
    return std::nullopt;
}

} // namespace vantrell
