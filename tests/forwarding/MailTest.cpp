#include "forwarding/CurlFtpSession.h"
#include "forwarding/MailHeaders.h"
#include "forwarding/MailSession.h"
#include "forwarding/ServerText.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(ServerText, HostAndOptionalPortAndNothingElse) {
    const struct {
        const char *legend, *text, *parsed; // parsed: "host port", "" when refused
    } cases[] = {
        {"a name takes the default port", "mail.example.org", "mail.example.org 25"},
        {"a port after a colon, blanks around", " 127.0.0.1:2525 ", "127.0.0.1 2525"},
        {"IPv6 in brackets", "[::1]:587", "::1 587"},
        {"empty", "", ""},
        {"a blank inside", "mail example.org", ""},
        {"a scheme or a path is not a host", "smtp://mail.example.org/x", ""},
        {"a port that is not a number", "mail.example.org:smtp", ""},
        {"a port out of range", "mail.example.org:65536", ""},
        {"a user part would reach the URL", "user@mail.example.org", ""},
        {"a line break would reach the URL", "mail\r\nRCPT", ""},
    };
    for (const auto &c : cases) {
        const auto server = parseServerText(c.text, smtpPort);
        EXPECT_EQ(server ? server->host + " " + std::to_string(server->port) : "", c.parsed)
            << c.legend;
    }
}

TEST(MailAddress, OneAddressWithoutAnythingThatEndsACommand) {
    const struct {
        const char *legend, *text;
        bool valid;
    } cases[] = {
        {"plain", "ops@example.org", true},
        {"no @", "ops.example.org", false},
        {"a blank inside", "ops team@example.org", false},
        {"two addresses", "a@example.org,b@example.org", false},
        {"a line break would start another command", "a@example.org\r\nRCPT TO:<x@y>", false},
        {"an angle bracket would end the path", "a@example.org>", false},
        {"nothing before the @, or two of them", "@a@example.org", false},
        {"U+0085 (next line) is a control character too", "a@example.org\xC2\x85", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isMailAddress(c.text), c.valid) << c.legend;
}

TEST(MailMessage, ProblemsFoundBeforeAnyServerIsAsked) {
    const struct {
        const char *legend, *server, *to, *attachment, *problem;
    } cases[] = {
        {"a good message, blanks around the recipient", "localhost", " b@y.org ", nullptr, ""},
        {"a server text that is not a host", "not a host", "b@y.org", nullptr,
         "server \"not a host\" is not a host name with an optional :port"},
        {"a recipient with a blank", "localhost", "b c@y.org", nullptr,
         "recipient \"b c@y.org\" is not a mail address"},
        {"an attachment that vanished", "localhost", "b@y.org", "/no/such/file.dat",
         "attachment \"/no/such/file.dat\" does not exist"},
        {"an attachment name that would split its header", "localhost", "b@y.org",
         "/data/KV1\nBcc:x.dat",
         "attachment \"/data/KV1\nBcc:x.dat\" has a control character in its name"},
    };
    for (const auto &c : cases) {
        MailMessage m;
        m.server = c.server;
        m.mailFrom = "a@x.org";
        m.sendTo = c.to;
        if (c.attachment != nullptr)
            m.attachments.emplace_back(c.attachment);
        EXPECT_EQ(messageProblem(m), c.problem) << c.legend;
    }
}

TEST(MailHeaders, DateMessageIdAndSafeValues) {
    EXPECT_EQ(mailDate({2026, 2, 3, 9, 5, 0}, 3600), "Tue, 03 Feb 2026 09:05:00 +0100");
    EXPECT_EQ(mailDate({2026, 12, 31, 23, 59, 59}, -16200), "Thu, 31 Dec 2026 23:59:59 -0430");
    EXPECT_EQ(messageId("abc", "vantrell-data@station.example.org"), "<abc@station.example.org>");
    EXPECT_EQ(messageId("abc", "broken"), "<abc@localhost>");
    EXPECT_NE(uniqueToken(), uniqueToken());
    EXPECT_EQ(headerValue("Data from device KV1\r\nBcc: x@y"), "Data from device KV1  Bcc: x@y");
    EXPECT_EQ(headerValue("KV1\a\t\177-2"), "KV1   -2");
    EXPECT_EQ(headerValue("25 \302\260C"), "=?UTF-8?B?MjUgwrBD?=");
    EXPECT_EQ(headerValue("25 \302\260C\xC2\x85"), "=?UTF-8?B?MjUgwrBDIA==?=");
    MailMessage m;
    m.mailFrom = " a@x.org ";
    m.sendTo = "b@y.org";
    m.subject = "Data from device KV1\nBcc: c@z.org";
    EXPECT_EQ(
        mailHeaderLines(m, "Tue, 03 Feb 2026 09:05:00 +0100", "abc"),
        (std::vector<std::string>{"Date: Tue, 03 Feb 2026 09:05:00 +0100",
                                  "Message-ID: <abc@x.org>", "From: <a@x.org>", "To: <b@y.org>",
                                  "Subject: Data from device KV1 Bcc: c@z.org"}));
}

TEST(MailHeaders, AttachmentNamesAsMailClientsReadThem) {
    const struct {
        const char *legend, *name, *disposition;
    } cases[] = {
        {"a data file's name, quoted", "KV12_0905_030226.dat",
         "attachment; filename=\"KV12_0905_030226.dat\""},
        {"blanks fit in the quotes", "KV12 0905.dat", "attachment; filename=\"KV12 0905.dat\""},
        {"a quote would end the quoted name", "KV\"12.dat",
         "attachment; filename*=UTF-8''KV%2212.dat"},
        {"so would a backslash escape", "KV\\12.dat", "attachment; filename*=UTF-8''KV%5C12.dat"},
        {"non-ASCII goes as UTF-8", "K\xC3\xBCvette 1.dat",
         "attachment; filename*=UTF-8''K%C3%BCvette%201.dat"},
        {"a line break never reaches the header", "KV1\r\nBcc:x.dat",
         "attachment; filename*=UTF-8''KV1%0D%0ABcc%3Ax.dat"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(attachmentDisposition(c.name), c.disposition) << c.legend;
}

TEST(FtpCommand, TheFourCommandsAndNothingElse) {
    const auto parsed = [](const char *text) -> std::string {
        const auto c = parseFtpCommand(text);
        return c ? std::to_string(int(c->kind)) + "|" + c->first + "|" + c->second : "refused";
    };
    EXPECT_EQ(parsed("DIR"), "0||");
    EXPECT_EQ(parsed("CD /Forward Data"), "1|/Forward Data|");
    EXPECT_EQ(parsed("PUT /data/KV12.dat ./KV12.dat"), "2|/data/KV12.dat|./KV12.dat");
    EXPECT_EQ(parsed("close"), "3||");
    EXPECT_EQ(parsed("CD "), "refused");
    EXPECT_EQ(parsed("PUT /data/KV12.dat"), "refused");
    EXPECT_EQ(parsed("DELE x"), "refused");
    EXPECT_EQ(parsed("PUT /my data/KV12.dat ./KV12.dat"), "refused");
    EXPECT_EQ(parsed("PUT \"/data/KV12.dat ./KV12.dat"), "refused");
    // Both names come back whole, whatever they hold.
    for (const std::string name : {"KV12 0905 030226.dat", "KV\"12\\ x\".dat", "x", " KV12.dat "}) {
        const std::string local = "/my data/" + name;
        const std::string remote = "./" + name;
        EXPECT_EQ(parsed(("PUT " + ftpArgument(local) + " " + ftpArgument(remote)).c_str()),
                  "2|" + local + "|" + remote)
            << name;
    }
    EXPECT_EQ(ftpArgument("/data/KV12_0905_030226.dat"), "/data/KV12_0905_030226.dat");
    EXPECT_EQ(ftpArgument("./KV12 x.dat"), "\"./KV12 x.dat\"");
    // A leading "/" starts from the server's root, the rest from the log-in folder.
    EXPECT_EQ(ftpFolderPath("", "/a/b c"), "/%2Fa/b%20c");
    EXPECT_EQ(ftpFolderPath("/%2Fa", "b"), "/%2Fa/b");
    EXPECT_EQ(ftpFilePath("/%2Fa", "./KV12.dat"), "/%2Fa/KV12.dat");
}

} // namespace
} // namespace vantrell
