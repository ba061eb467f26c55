#include "forwarding/CurlMailSession.h"

#include "forwarding/CurlTransfer.h"
#include "forwarding/MailHeaders.h"
#include "forwarding/ServerText.h"
#include "general/Text.h"

#include <filesystem>
#include <memory>

namespace vantrell {

namespace {

// How long one step of the delivery may block before the idle work gets its turn.
constexpr std::chrono::milliseconds stepSlice{20};

struct SListDeleter {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};
using SList = std::unique_ptr<curl_slist, SListDeleter>;

struct MimeDeleter {
    void operator()(curl_mime *mime) const { curl_mime_free(mime); }
};
using Mime = std::unique_ptr<curl_mime, MimeDeleter>;

void append(SList &list, const std::string &line) {
    curl_slist *grown = curl_slist_append(list.get(), line.c_str());
    if (grown != nullptr) {
        static_cast<void>(list.release());
        list.reset(grown);
    }
}

SList headerLines(const MailMessage &message) {
    SList headers;
    for (const std::string &line : mailHeaderLines(message, mailDateNow(), uniqueToken()))
        append(headers, line);
    return headers;
}

// The body goes as quoted-printable, which keeps it readable and carries it byte for byte,
// line ends and a missing last line end alike.
Mime mimeBody(CURL *curl, const MailMessage &message) {
    Mime mime(curl_mime_init(curl));
    curl_mimepart *text = curl_mime_addpart(mime.get());
    curl_mime_data(text, message.text.data(), message.text.size());
    curl_mime_type(text, "text/plain; charset=UTF-8");
    curl_mime_encoder(text, "quoted-printable");
    for (const std::string &path : message.attachments) {
        curl_mimepart *file = curl_mime_addpart(mime.get());
        curl_mime_filedata(file, path.c_str());
        curl_mime_type(file, "application/octet-stream");
        curl_mime_encoder(file, "base64");
        // libcurl would quote the name as it is, line breaks and all; this header takes the
        // place of its own.
        curl_mime_filename(file, nullptr);
        SList disposition;
        append(disposition,
               "Content-Disposition: " +
                   attachmentDisposition(std::filesystem::path(path).filename().string()));
        curl_mime_headers(file, disposition.release(), 1);
    }
    return mime;
}

} // namespace

Delivery CurlMailSession::sendEmail() {
    const MailMessage &m = message();
    if (std::string problem = messageProblem(m); !problem.empty())
        return Delivery::failed(problem);
    const ServerAddress server = *parseServerText(m.server, smtpPort);
    const std::string from = trim(m.mailFrom);
    const std::string to = trim(m.sendTo);

    CurlTransfer transfer;
    CURL *curl = transfer.handle();
    const std::string url = "smtp://" + server.urlAuthority();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, ("<" + from + ">").c_str());
    SList recipients;
    append(recipients, "<" + to + ">");
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients.get());
    // The station's mails go unauthenticated; a user name, where one is ever set, is honoured.
    // A POP server (log-in to POP before sending) has no use on today's servers.
    if (!m.username.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, m.username.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m.password.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits_.connect.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(limits_.delivery.count()));
    const SList headers = headerLines(m);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    const Mime mime = mimeBody(curl, m);
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime.get());

    transfer.start();
    while (transfer.advance(stepSlice))
        if (idle_)
            idle_();
    const std::string failure = transfer.failure();
    // The handle must not outlive the lists and MIME parts it points to.
    transfer.resetOptions();
    if (!failure.empty())
        return Delivery::failed("server " + server.urlAuthority() + ": " + failure);
    return Delivery::done();
}

} // namespace vantrell
