// Configuration texts as an operator or an attacker may leave them (phone-book entries, alarm and
// forwarding addresses, serial numbers, alarm messages, sender addresses, the data file's name)
// going out as SMS and mail. Whatever they hold, the modem line carries only whole SMS, each a
// number of digits after an optional "+" and a text without a control character, and a mail the
// session would send has no control character in any header line, neither as written nor once
// a mail client has decoded its encoded words and parameter values.
//
// Input: a flags byte (bit 0: the limit alarm goes by SMS), then texts, each a length byte and
// its bytes: ten phone-book entries, the alarm message, the alarm address, the connection, the
// serial, the forwarding address, the data-mail sender, the report address, the data file name.
#include "ForwardingBench.h"
#include "FuzzSupport.h"

#include "forwarding/MailHeaders.h"
#include "general/Codepage.h"
#include "general/Text.h"

#include <algorithm>
#include <fstream>

namespace {

using namespace vantrell;
using fuzz::FuzzInput;
using fuzz::require;
namespace fs = std::filesystem;

constexpr std::string_view smsStart = "AT+CMGF=1\rAT+CMGS=\"";

bool takePrefix(std::string_view &text, std::string_view prefix) {
    if (!startsWith(text, prefix))
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

bool isDialNumber(std::string_view number) {
    if (startsWith(number, "+"))
        number.remove_prefix(1);
    return !number.empty() &&
           std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void checkSmsLine(std::string_view line) {
    while (!line.empty()) {
        require(takePrefix(line, smsStart), "each SMS starts with text mode and the send command");
        const std::size_t quote = line.find('"');
        require(quote != std::string_view::npos, "the number is closed");
        require(isDialNumber(line.substr(0, quote)), "the number is digits after an optional +");
        line.remove_prefix(quote + 1);
        require(takePrefix(line, "\r"), "the send command ends after the number");
        const std::size_t end = line.find(char(sms::endOfMessage));
        require(end != std::string_view::npos, "the text is ended by 26");
        require(!hasControlCharacter(windows1252ToUtf8(line.substr(0, end))),
                "no control character in an SMS text");
        line.remove_prefix(end + 1);
    }
}

int digitValue(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool escape = text[i] == '%' && i + 2 < text.size();
        const int high = escape ? digitValue(text[i + 1]) : -1;
        const int low = escape ? digitValue(text[i + 2]) : -1;
        if (high >= 0 && low >= 0) {
            out += char(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string base64Decoded(std::string_view text) {
    static constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (const char c : text) {
        const std::size_t value = alphabet.find(c);
        if (value == std::string_view::npos)
            break;
        bits = bits << 6 | unsigned(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += char(bits >> count & 0xFF);
        }
    }
    return out;
}

// The line with each encoded word replaced by the text it carries.
std::string encodedWordsDecoded(std::string_view line) {
    static constexpr std::string_view open = "=?UTF-8?B?";
    std::string out;
    for (std::size_t at; (at = line.find(open)) != std::string_view::npos;) {
        out += line.substr(0, at);
        line.remove_prefix(at + open.size());
        const std::size_t close = line.find("?=");
        out += base64Decoded(line.substr(0, close));
        line.remove_prefix(close == std::string_view::npos ? line.size() : close + 2);
    }
    return out += line;
}

void checkHeader(const std::string &line, const char *property) {
    require(!hasControlCharacter(line) && !hasControlCharacter(encodedWordsDecoded(line)) &&
                !hasControlCharacter(percentDecoded(line)),
            property);
}

// What the mail session would write for this message, when it would send it at all.
void checkMail(const MailMessage &message) {
    if (!messageProblem(message).empty())
        return;
    for (const std::string &line : mailHeaderLines(message, mailDateNow(), uniqueToken()))
        checkHeader(line, "no control character in a mail header");
    for (const std::string &path : message.attachments)
        checkHeader(attachmentDisposition(fs::path(path).filename().string()),
                    "no control character in an attachment's name");
}

// The data file under the fuzzed name, where a name can be one, so that the data mail is
// refused or sent for its name and not for a missing file.
fs::path dataFile(const std::string &name) {
    static const fuzz::ScratchFolder folder;
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string_view("/\0", 2)) != std::string::npos)
        return folder.path() / "missing" / "KV12_0905_030226.dat";
    const fs::path file = folder.path() / name;
    std::ofstream(file, std::ios::binary) << "00000  ";
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in(data, size);
    testing::ForwardingBench b;
    Station &s = b.station;
    DeviceRecord &device = s.devices[7];
    const bool limitBySms = in.takeBool();
    for (int p = 1; p <= phonebookSize; ++p)
        s.phonebook[p] = in.takeText(24);
    const std::string message = in.takeText(48);
    device[field::alarmNotifyKind] = limitBySms ? "1" : "0";
    device[field::alarmAddress] = in.takeText(32);
    device[field::connection] = in.takeText(12);
    device.serialNumber(b.loggerResult.position) = in.takeText(16);
    device[field::forwardAddress] = in.takeText(32);
    s.settings.dataMailFrom = in.takeText(32);
    s.devices[1][field::reportAddress] = in.takeText(32);
    s.session.dailyMarkIndex = 1;
    const fs::path file = dataFile(in.takeText(64));
    b.loggerResult.path = file.string();

    (void)b.forwarding.alarm().broadcast(message);
    (void)b.forwarding.sendLimitAlarm(b.request(), b.loggerResult);
    (void)b.forwarding.sendDataMail(b.request(), b.loggerResult);
    b.forwarding.sendRunReport();
    checkSmsLine(b.smsPort.sentBytes());
    for (const MailMessage &mail : b.mails)
        checkMail(mail);

    std::error_code ec;
    fs::remove(file, ec);
    return 0;
}
