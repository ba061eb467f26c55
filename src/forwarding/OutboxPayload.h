// What the outbox keeps of a delivery so that a retry sends the same thing again, as one JSON
// text in the journal: every property of a mail, the log-in, folder and names of an upload, the
// number and text of an SMS. Decoding gives nullopt for a text that is not one of them.
#pragma once

#include "forwarding/MailSession.h"
#include "forwarding/Outbox.h"

#include <optional>
#include <string>

namespace vantrell {

struct SmsPayload {
    std::string number;
    std::string text;
};

std::string encodeMail(const MailMessage &message);
std::optional<MailMessage> decodeMail(const std::string &payload);
std::string encodeUpload(const FtpUpload &upload);
std::optional<FtpUpload> decodeUpload(const std::string &payload);
std::string encodeSms(const SmsPayload &sms);
std::optional<SmsPayload> decodeSms(const std::string &payload);

} // namespace vantrell
