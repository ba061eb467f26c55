#include "forwarding/OutboxPayload.h"

#include <nlohmann/json.hpp>

namespace vantrell {

namespace {

using nlohmann::json;

// Texts are UTF-8 inside the station; a byte that is not is replaced rather than refused, so that
// a delivery is never lost to its encoding.
std::string dump(const json &j) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

template <typename T, typename Read>
std::optional<T> decode(const std::string &payload, Read read) {
    const json j = json::parse(payload, nullptr, false);
    if (j.is_discarded() || !j.is_object())
        return std::nullopt;
    try {
        return read(j);
    } catch (const json::exception &) {
        return std::nullopt;
    }
}

} // namespace

std::string encodeMail(const MailMessage &m) {
    json j = {{"server", m.server},       {"username", m.username}, {"password", m.password},
              {"popServer", m.popServer}, {"mailFrom", m.mailFrom}, {"sendTo", m.sendTo},
              {"subject", m.subject},     {"text", m.text},         {"attachments", m.attachments}};
    if (m.authenticationType)
        j["authenticationType"] = *m.authenticationType;
    return dump(j);
}

std::optional<MailMessage> decodeMail(const std::string &payload) {
    return decode<MailMessage>(payload, [](const json &j) {
        MailMessage m;
        j.at("server").get_to(m.server);
        if (j.contains("authenticationType"))
            m.authenticationType = j.at("authenticationType").get<int>();
        j.at("username").get_to(m.username);
        j.at("password").get_to(m.password);
        j.at("popServer").get_to(m.popServer);
        j.at("mailFrom").get_to(m.mailFrom);
        j.at("sendTo").get_to(m.sendTo);
        j.at("subject").get_to(m.subject);
        j.at("text").get_to(m.text);
        j.at("attachments").get_to(m.attachments);
        return m;
    });
}

std::string encodeUpload(const FtpUpload &u) {
    return dump({{"remoteHost", u.login.remoteHost},
                 {"remotePort", u.login.remotePort},
                 {"userName", u.login.userName},
                 {"password", u.login.password},
                 {"folder", u.folder},
                 {"localPath", u.localPath},
                 {"remoteName", u.remoteName}});
}

std::optional<FtpUpload> decodeUpload(const std::string &payload) {
    return decode<FtpUpload>(payload, [](const json &j) {
        FtpUpload u;
        j.at("remoteHost").get_to(u.login.remoteHost);
        j.at("remotePort").get_to(u.login.remotePort);
        j.at("userName").get_to(u.login.userName);
        j.at("password").get_to(u.login.password);
        j.at("folder").get_to(u.folder);
        j.at("localPath").get_to(u.localPath);
        j.at("remoteName").get_to(u.remoteName);
        return u;
    });
}

std::string encodeSms(const SmsPayload &s) {
    return dump({{"number", s.number}, {"text", s.text}});
}

std::optional<SmsPayload> decodeSms(const std::string &payload) {
    return decode<SmsPayload>(payload, [](const json &j) {
        SmsPayload s;
        j.at("number").get_to(s.number);
        j.at("text").get_to(s.text);
        return s;
    });
}

} // namespace vantrell
