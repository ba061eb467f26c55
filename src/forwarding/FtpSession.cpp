#include "forwarding/FtpSession.h"

#include "general/Text.h"

namespace vantrell {

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
        const std::size_t split = arguments.rfind(' ');
        if (split == std::string::npos)
            return std::nullopt;
        std::string local = trim(arguments.substr(0, split));
        std::string remote = arguments.substr(split + 1);
        if (local.empty() || remote.empty())
            return std::nullopt;
        return FtpCommand{FtpCommand::Kind::put, std::move(local), std::move(remote)};
    }
    return std::nullopt;
}

} // namespace vantrell
