// The mail component every mail of the station goes through: one session per mail, its
// properties set one after the other (server, authentication, user, password, POP server,
// sender, recipient, subject, body), at most one attachment added, then sent. The body can be
// read back, because the run report is built by appending to it piece by piece.
#pragma once

#include "general/Delivery.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantrell {

struct MailMessage {
    std::string server; // "host" or "host:port"
    std::optional<int> authenticationType;
    std::string username;
    std::string password;
    std::string popServer;
    std::string mailFrom;
    std::string sendTo;
    std::string subject;
    std::string text;
    std::vector<std::string> attachments; // full paths
};

class MailSession {
public:
    virtual ~MailSession() = default;

    void setServer(std::string server) { message_.server = std::move(server); }
    void setAuthenticationType(int type) { message_.authenticationType = type; }
    void setUsername(std::string name) { message_.username = std::move(name); }
    void setPassword(std::string password) { message_.password = std::move(password); }
    void setPopServer(std::string server) { message_.popServer = std::move(server); }
    void setMailFrom(std::string address) { message_.mailFrom = std::move(address); }
    void setSendTo(std::string address) { message_.sendTo = std::move(address); }
    void setMessageSubject(std::string subject) { message_.subject = std::move(subject); }
    void setMessageText(std::string text) { message_.text = std::move(text); }
    const std::string &messageText() const { return message_.text; }
    void addAttachment(std::string path) { message_.attachments.push_back(std::move(path)); }

    // Builds the message from the properties and delivers it.
    virtual Delivery sendEmail() = 0;

    const MailMessage &message() const { return message_; }

private:
    MailMessage message_;
};

using MailSessionFactory = std::function<std::unique_ptr<MailSession>()>;

// The default port of a server text without ":port".
inline constexpr int smtpPort = 25;

// What is wrong with a message before any server is asked: a server text that is not a host,
// a sender or recipient that is not one address, an attachment that cannot be read or whose
// name holds a control character. Empty when nothing is.
std::string messageProblem(const MailMessage &message);

} // namespace vantrell
