#include "forwarding/CurlFtpSession.h"
#include "forwarding/MailHeaders.h"
#include "forwarding/MailSession.h"
#include "forwarding/ServerText.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(ServerText, HostAndOptionalPort) {
    const struct {
        const char *legend;
        const char *text;
        const char *host; // nullptr: refused
        int port;
    } cases[] = {
        {"a name takes the default port", "mail.example.org", "mail.example.org", 25},
        {"a port after a colon", "127.0.0.1:2525", "127.0.0.1", 2525},
        {"blanks around are ignored", "  localhost:25 ", "localhost", 25},
        {"IPv6 in brackets", "[::1]:587", "::1", 587},
        {"empty", "", nullptr, 0},
        {"a blank inside", "mail example.org", nullptr, 0},
        {"a scheme is not a host", "smtp://mail.example.org", nullptr, 0},
        {"a path is not a host", "mail.example.org/x", nullptr, 0},
        {"a port that is not a number", "mail.example.org:smtp", nullptr, 0},
        {"a port out of range", "mail.example.org:65536", nullptr, 0},
        {"a user part would reach the URL", "user@mail.example.org", nullptr, 0},
        {"a line break would reach the URL", "mail\r\nRCPT", nullptr, 0},
        {"an empty label", "mail..example.org", nullptr, 0},
    };
    for (const auto &c : cases) {
        const auto parsed = parseServerText(c.text, 25);
        ASSERT_EQ(parsed.has_value(), c.host != nullptr) << c.legend;
        if (parsed) {
            EXPECT_EQ(parsed->host, c.host) << c.legend;
            EXPECT_EQ(parsed->port, c.port) << c.legend;
        }
    }
}

TEST(MailAddress, OneAddressWithoutAnythingThatEndsACommand) {
    const struct {
        const char *legend;
        const char *text;
        bool valid;
    } cases[] = {
        {"plain", "ops@example.org", true},
        {"no @", "ops.example.org", false},
        {"a blank inside", "ops team@example.org", false},
        {"two addresses", "a@example.org,b@example.org", false},
        {"a line break would start another command", "a@example.org\r\nRCPT TO:<x@y>", false},
        {"angle brackets would end the path", "a@example.org>", false},
        {"nothing before the @", "@example.org", false},
        {"nothing after the @", "ops@", false},
        {"two @", "a@b@example.org", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isMailAddress(c.text), c.valid) << c.legend;
}

TEST(MailMessage, ProblemsFoundBeforeAnyServerIsAsked) {
    const struct {
        const char *legend;
        MailMessage message;
        std::string problem;
    } cases[] = {
        {"a good message", {"localhost", {}, "", "", "", "a@x.org", " b@y.org ", "", "", {}}, ""},
        {"a server text that is not a host",
         {"not a host", {}, "", "", "", "a@x.org", "b@y.org", "", "", {}},
         "server \"not a host\" is not a host name with an optional :port"},
        {"a recipient with a blank",
         {"localhost", {}, "", "", "", "a@x.org", "b c@y.org", "", "", {}},
         "recipient \"b c@y.org\" is not a mail address"},
        {"an attachment that vanished",
         {"localhost", {}, "", "", "", "a@x.org", "b@y.org", "", "", {"/no/such/file.dat"}},
         "attachment \"/no/such/file.dat\" does not exist"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(messageProblem(c.message), c.problem) << c.legend;
}

TEST(MailHeaders, DateMessageIdAndSafeValues) {
    EXPECT_EQ(mailDate({2026, 2, 3, 9, 5, 0}, 3600), "Tue, 03 Feb 2026 09:05:00 +0100");
    EXPECT_EQ(mailDate({2026, 12, 31, 23, 59, 59}, -16200), "Thu, 31 Dec 2026 23:59:59 -0430");
    EXPECT_EQ(messageId("abc", "vantrell-data@station.example.org"), "<abc@station.example.org>");
    EXPECT_EQ(messageId("abc", "broken"), "<abc@localhost>");
    EXPECT_NE(uniqueToken(), uniqueToken());
    EXPECT_EQ(headerValue("Data from device KV1\r\nBcc: x@y"), "Data from device KV1  Bcc: x@y");
    EXPECT_EQ(headerValue("25 \xC2\xB0"
                          "C"),
              "=?UTF-8?B?MjUgwrBD?=");
    EXPECT_EQ(base64("ab"), "YWI=");
}

TEST(FtpCommand, TheFourCommandsAndNothingElse) {
    using Kind = FtpCommand::Kind;
    const struct {
        const char *legend;
        const char *text;
        bool valid;
        Kind kind;
        const char *first, *second;
    } cases[] = {
        {"listing", "DIR", true, Kind::dir, "", ""},
        {"change folder", "CD /ForwardData", true, Kind::cd, "/ForwardData", ""},
        {"upload", "PUT /data/KV12.dat ./KV12.dat", true, Kind::put, "/data/KV12.dat",
         "./KV12.dat"},
        {"a local path with blanks", "PUT /my data/KV12.dat ./KV12.dat", true, Kind::put,
         "/my data/KV12.dat", "./KV12.dat"},
        {"close in lower case", "close", true, Kind::close, "", ""},
        {"CD without a folder", "CD ", false, Kind::cd, "", ""},
        {"PUT without a remote name", "PUT /data/KV12.dat", false, Kind::put, "", ""},
        {"anything else", "DELE x", false, Kind::dir, "", ""},
    };
    for (const auto &c : cases) {
        const auto parsed = parseFtpCommand(c.text);
        ASSERT_EQ(parsed.has_value(), c.valid) << c.legend;
        if (parsed) {
            EXPECT_EQ(parsed->kind, c.kind) << c.legend;
            EXPECT_EQ(parsed->first, c.first) << c.legend;
            EXPECT_EQ(parsed->second, c.second) << c.legend;
        }
    }
}

TEST(FtpPaths, FoldersFromTheRootOrTheLoginFolder) {
    EXPECT_EQ(ftpFolderPath("", "/ForwardData"), "/%2FForwardData");
    EXPECT_EQ(ftpFolderPath("", "/a/b c"), "/%2Fa/b%20c");
    EXPECT_EQ(ftpFolderPath("", "/"), "/%2F");
    EXPECT_EQ(ftpFolderPath("/%2Fa", "b"), "/%2Fa/b");
    EXPECT_EQ(ftpFilePath("/%2FForwardData", "./KV12_0905_030226.dat"),
              "/%2FForwardData/KV12_0905_030226.dat");
}

} // namespace
} // namespace vantrell
