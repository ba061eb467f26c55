#include "forwarding/MailHeaders.h"

#include "general/Text.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>

namespace vantrell {

namespace {

constexpr std::array<const char *, 7> weekdays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char *, 12> months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// An encoded word may hold 75 characters; 45 bytes of text give 60 characters of base64.
constexpr std::size_t encodedWordBytes = 45;

bool isPlainAscii(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E)
            return false;
    }
    return true;
}

// The characters a parameter value of RFC 2231 carries as they are; every other byte is
// written "%XX".
bool isAttributeCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
           std::string_view("!#$&+-.^_`|~").find(c) != std::string_view::npos;
}

// Cuts UTF-8 text into pieces of at most `limit` bytes without splitting a character.
std::size_t cutAt(std::string_view text, std::size_t limit) {
    if (text.size() <= limit)
        return text.size();
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut == 0 ? limit : cut;
}

} // namespace

std::string mailDate(const LocalDateTime &local, long offsetSeconds) {
    using namespace std::chrono;
    const sys_days day = year{local.year} / month{unsigned(local.month)} / unsigned(local.day);
    const unsigned dayOfWeek = weekday{day}.c_encoding();
    const long minutes = (offsetSeconds < 0 ? -offsetSeconds : offsetSeconds) / 60;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  weekdays.at(dayOfWeek), local.day, months.at(std::size_t(local.month - 1)),
                  local.year, local.hour, local.minute, local.second, offsetSeconds < 0 ? '-' : '+',
                  minutes / 60, minutes % 60);
    return buffer;
}

std::string mailDateNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    const LocalDateTime local{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                              tm.tm_hour,        tm.tm_min,     tm.tm_sec};
    return mailDate(local, tm.tm_gmtoff);
}

std::string messageId(std::string_view unique, std::string_view sender) {
    const std::size_t at = sender.rfind('@');
    const std::string_view domain = at == std::string_view::npos || at + 1 == sender.size()
                                        ? std::string_view("localhost")
                                        : sender.substr(at + 1);
    std::string id(1, '<');
    id += unique;
    id += '@';
    id += domain;
    id += '>';
    return id;
}

// The loop and the outbox thread both send mail: each thread draws from a generator of its own,
// and the counter that keeps two tokens of one microsecond apart is atomic.
std::string uniqueToken() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    static std::atomic<unsigned long> counter = 0;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    char buffer[96];
    std::snprintf(
        buffer, sizeof buffer, "%lld.%d.%lu.%016llx",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()),
        static_cast<int>(getpid()), ++counter, static_cast<unsigned long long>(random()));
    return buffer;
}

std::string headerValue(std::string_view text) {
    const std::string line = withoutControlCharacters(text, " ");
    if (isPlainAscii(line))
        return line;
    std::string out;
    std::string_view rest = line;
    while (!rest.empty()) {
        const std::size_t cut = cutAt(rest, encodedWordBytes);
        if (!out.empty())
            out += ' ';
        out += "=?UTF-8?B?" + base64(rest.substr(0, cut)) + "?=";
        rest.remove_prefix(cut);
    }
    return out;
}

std::vector<std::string> mailHeaderLines(const MailMessage &message, std::string_view date,
                                         std::string_view unique) {
    const std::string from = trim(message.mailFrom);
    return {"Date: " + std::string(date), "Message-ID: " + messageId(unique, from),
            "From: <" + from + ">", "To: <" + trim(message.sendTo) + ">",
            "Subject: " + headerValue(message.subject)};
}

// A file name is at most 255 bytes, so even percent-encoded whole it stays well within the
// 998 characters a header line may have, and needs no continuation lines.
std::string attachmentDisposition(std::string_view fileName) {
    const bool plain =
        isPlainAscii(fileName) && fileName.find_first_of("\"\\") == std::string_view::npos;
    if (plain)
        return "attachment; filename=\"" + std::string(fileName) + "\"";
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string value = "attachment; filename*=UTF-8''";
    for (const char c : fileName) {
        if (isAttributeCharacter(c)) {
            value += c;
        } else {
            const auto u = static_cast<unsigned char>(c);
            value += '%';
            value += hex[u >> 4];
            value += hex[u & 15];
        }
    }
    return value;
}

std::string base64(std::string_view bytes) {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = unsigned(static_cast<unsigned char>(bytes[i])) << 16 |
                           unsigned(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                           unsigned(static_cast<unsigned char>(bytes[i + 2]));
        out += alphabet[v >> 18 & 63];
        out += alphabet[v >> 12 & 63];
        out += alphabet[v >> 6 & 63];
        out += alphabet[v & 63];
    }
    if (const std::size_t left = bytes.size() - i; left > 0) {
        unsigned v = unsigned(static_cast<unsigned char>(bytes[i])) << 16;
        if (left == 2)
            v |= unsigned(static_cast<unsigned char>(bytes[i + 1])) << 8;
        out += alphabet[v >> 18 & 63];
        out += alphabet[v >> 12 & 63];
        out += left == 2 ? alphabet[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

} // namespace vantrell
