#include "forwarding/MailSession.h"

#include "forwarding/ServerText.h"
#include "general/Text.h"

#include <filesystem>
#include <fstream>

namespace vantrell {

namespace {

std::string quoted(const std::string &text) {
    return "\"" + text + "\"";
}

// The name becomes a header parameter; it is encoded there, but a client would show the
// control character again once it decoded it.
std::string attachmentProblem(const std::string &path) {
    if (hasControlCharacter(std::filesystem::path(path).filename().string()))
        return "attachment " + quoted(path) + " has a control character in its name";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return "attachment " + quoted(path) + " does not exist";
    if (!std::ifstream(path, std::ios::binary))
        return "attachment " + quoted(path) + " cannot be read";
    return {};
}

} // namespace

std::string messageProblem(const MailMessage &message) {
    if (!parseServerText(message.server, smtpPort))
        return "server " + quoted(message.server) + " is not a host name with an optional :port";
    if (!isMailAddress(trim(message.mailFrom)))
        return "sender " + quoted(message.mailFrom) + " is not a mail address";
    if (!isMailAddress(trim(message.sendTo)))
        return "recipient " + quoted(message.sendTo) + " is not a mail address";
    for (const std::string &path : message.attachments)
        if (std::string problem = attachmentProblem(path); !problem.empty())
            return problem;
    return {};
}

} // namespace vantrell
