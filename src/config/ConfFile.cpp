#include "config/ConfFile.h"

#include "general/Text.h"

#include <ini.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string_view>
#include <system_error>

namespace vantrell {
namespace fs = std::filesystem;

namespace {
// The name the program gives its own folder (/var/lib/vantrell, ~/.config/vantrell).
constexpr std::string_view programFolderName = "vantrell";

constexpr std::string_view journalSection = "journal";
constexpr std::string_view outboxSection = "outbox";
constexpr std::string_view silenceSection = "silence";
constexpr std::string_view mqttSection = "mqtt";
constexpr std::string_view metricsSection = "metrics";
constexpr std::string_view webSection = "web";
constexpr std::string_view retrySection = "retry";
constexpr std::string_view collectSection = "collect";
constexpr std::string_view hooksSection = "hooks";
constexpr std::string_view fileKey = "file";
constexpr std::string_view firstRetryKey = "first_retry_s";
constexpr std::string_view maxRetryKey = "max_retry_s";
constexpr std::string_view utf8ByteOrderMark = "\xEF\xBB\xBF";

constexpr const char *notASection =
    "not a section of vantrell.conf (journal, outbox, silence, mqtt, metrics, web, retry, "
    "collect, hooks)";
constexpr const char *sectionTwice = "the section is given twice";
constexpr const char *keyTwice = "given twice in its section";
constexpr const char *keyOutsideSection = "a setting before the first section";
constexpr const char *notAKeyOf = "not a setting of ";
constexpr const char *emptyFile = "empty; name the journal file";
constexpr const char *notASetting = "neither a section, a setting (key = value) nor a comment";
constexpr const char *lineTooLong = "longer than the ";
constexpr const char *notAFile = "cannot be read: not a file";
constexpr const char *cannotBeRead = "cannot be read: ";
constexpr std::string_view passwordKey = "password_file";
constexpr const char *notABrokerUrl = "not mqtt://host[:port] or mqtts://host[:port]";
constexpr const char *notATopicLevel =
    "not one topic level as written (no /, +, #, %, control characters; UTF-8 only)";
constexpr const char *notTopicLevels =
    "not topic levels as written (no +, #, %, control characters; UTF-8 only)";
constexpr const char *reservedTopic = "starts with $, which brokers keep for their own topics";
constexpr const char *notAListenAddress = "not host:port (127.0.0.1:8080, [::1]:8080)";
constexpr const char *openWithoutProtection =
    "an address beyond this computer needs user, password_file, cert_file and key_file";
constexpr const char *userWithoutPassword = "a user needs a password_file";
constexpr const char *halfACertificate = "cert_file and key_file go together";
constexpr const char *notYesOrNo = "not yes or no";
constexpr const char *notADiscovery = "not homeassistant (or empty: none)";
constexpr const char *hookNotAbsolute = "not an absolute path";
constexpr const char *hookNotAProgram = "not a program the service may run";
constexpr const char *hookOthersMayChange = "others may change it (mode ";

// The configuration folder's own name: what tells one station's instance from another's.
std::string folderName(const fs::path &configDir) {
    fs::path folder = configDir;
    std::error_code ec;
    if (const fs::path absolute = fs::absolute(configDir, ec); !ec)
        folder = absolute.lexically_normal();
    if (!folder.has_filename())
        folder = folder.parent_path();
    return folder.filename().string();
}

} // namespace

std::string stationName(const fs::path &configDir) {
    const std::string folder = folderName(configDir);
    if (folder.empty() || folder == programFolderName) {
        std::array<char, 256> host{};
        if (::gethostname(host.data(), host.size() - 1) == 0 && host[0] != '\0')
            return host.data();
    }
    return folder.empty() ? "station" : folder;
}

namespace {

// What the operator writes for topics appears in them as written: a text that the encoding of
// topic levels would change cannot, and one with "%" would be misread by a consumer decoding it.
bool topicLevelAsWritten(std::string_view level) {
    return topicLevel(level) == level;
}

bool topicLevelsAsWritten(std::string_view topic) {
    std::size_t start = 0;
    for (std::size_t slash; (slash = topic.find('/', start)) != std::string_view::npos;
         start = slash + 1)
        if (!topicLevelAsWritten(topic.substr(start, slash - start)))
            return false;
    return topicLevelAsWritten(topic.substr(start));
}

// The whole-number settings: where they live, their range and where they go.
struct NumberKey {
    std::string_view section;
    std::string_view key;
    long long minimum;
    long long maximum; // INT_MAX: no limit of its own
    void (*store)(ConfSettings &, long long);
};

const NumberKey numberKeys[] = {
    {journalSection, "keep_days", 1, 36500,
     [](ConfSettings &s, long long v) { s.journal->keepDays = int(v); }},
    {outboxSection, firstRetryKey, 1, INT_MAX,
     [](ConfSettings &s, long long v) { s.outbox->firstRetrySeconds = int(v); }},
    {outboxSection, maxRetryKey, 1, INT_MAX,
     [](ConfSettings &s, long long v) { s.outbox->maxRetrySeconds = int(v); }},
    {outboxSection, "give_up_h", 1, INT_MAX,
     [](ConfSettings &s, long long v) { s.outbox->giveUpHours = int(v); }},
    {outboxSection, "snapshots_max_mb", 1, INT_MAX,
     [](ConfSettings &s, long long v) { s.outbox->snapshotLimitBytes = std::uint64_t(v) << 20; }},
    {silenceSection, "after_missed", 0, 1000,
     [](ConfSettings &s, long long v) { s.silence->afterMissed = int(v); }},
    {mqttSection, "qos", 0, 2, [](ConfSettings &s, long long v) { s.mqtt->qos = int(v); }},
    {retrySection, "after_minutes", 1, 1440,
     [](ConfSettings &s, long long v) { s.retry->afterMinutes = int(v); }},
    {retrySection, "times", 0, 10, [](ConfSettings &s, long long v) { s.retry->times = int(v); }},
    {hooksSection, "timeout_s", 1, 86400,
     [](ConfSettings &s, long long v) { s.hooks->timeoutSeconds = int(v); }},
};

// The settings that are yes or no.
struct SwitchKey {
    std::string_view section;
    std::string_view key;
    void (*store)(ConfSettings &, bool);
};

const SwitchKey switchKeys[] = {
    {collectSection, "new_records_only",
     [](ConfSettings &s, bool v) { s.collect->newRecordsOnly = v; }},
};

// The text settings; an empty value keeps the default.
struct TextKey {
    std::string_view section;
    std::string_view key;
    void (*store)(ConfSettings &, std::string_view);
};

const TextKey textKeys[] = {
    {journalSection, fileKey, [](ConfSettings &s, std::string_view v) { s.journal->file = v; }},
    {mqttSection, "url", [](ConfSettings &s, std::string_view v) { s.mqtt->url = v; }},
    {mqttSection, "station", [](ConfSettings &s, std::string_view v) { s.mqtt->station = v; }},
    {mqttSection, "topic", [](ConfSettings &s, std::string_view v) { s.mqtt->topic = v; }},
    {mqttSection, "client_id", [](ConfSettings &s, std::string_view v) { s.mqtt->clientId = v; }},
    {mqttSection, "username", [](ConfSettings &s, std::string_view v) { s.mqtt->username = v; }},
    {mqttSection, "password_file",
     [](ConfSettings &s, std::string_view v) { s.mqtt->passwordFile = v; }},
    {mqttSection, "ca_file", [](ConfSettings &s, std::string_view v) { s.mqtt->caFile = v; }},
    {metricsSection, "textfile",
     [](ConfSettings &s, std::string_view v) { s.metrics->textfile = v; }},
    {webSection, "listen", [](ConfSettings &s, std::string_view v) { s.web->listen = v; }},
    {webSection, "cert_file", [](ConfSettings &s, std::string_view v) { s.web->certFile = v; }},
    {webSection, "key_file", [](ConfSettings &s, std::string_view v) { s.web->keyFile = v; }},
    {webSection, "user", [](ConfSettings &s, std::string_view v) { s.web->user = v; }},
    {webSection, "password_file",
     [](ConfSettings &s, std::string_view v) { s.web->passwordFile = v; }},
    {mqttSection, "discovery", [](ConfSettings &s, std::string_view v) { s.mqtt->discovery = v; }},
    {hooksSection, "after_session",
     [](ConfSettings &s, std::string_view v) { s.hooks->afterSession = v; }},
    {hooksSection, "after_report",
     [](ConfSettings &s, std::string_view v) { s.hooks->afterReport = v; }},
};

std::string rangeText(const NumberKey &k) {
    return "not a whole number from " + std::to_string(k.minimum) +
           (k.maximum == INT_MAX ? " up" : " to " + std::to_string(k.maximum));
}

std::optional<bool> yesOrNo(std::string_view text) {
    if (text == "yes" || text == "true" || text == "on" || text == "1")
        return true;
    if (text == "no" || text == "false" || text == "off" || text == "0")
        return false;
    return std::nullopt;
}

std::optional<long long> wholeNumber(std::string_view text, const NumberKey &k) {
    long long value = 0;
    const char *end = text.data() + text.size();
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || stop != end || value < k.minimum || value > k.maximum)
        return std::nullopt;
    return value;
}

std::string keysOf(std::string_view section) {
    std::string keys;
    for (const TextKey &k : textKeys)
        if (k.section == section)
            keys += (keys.empty() ? "" : ", ") + std::string(k.key);
    for (const NumberKey &k : numberKeys)
        if (k.section == section)
            keys += (keys.empty() ? "" : ", ") + std::string(k.key);
    for (const SwitchKey &k : switchKeys)
        if (k.section == section)
            keys += (keys.empty() ? "" : ", ") + std::string(k.key);
    return keys;
}

std::string modeText(const struct stat &info) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", unsigned(info.st_mode & 07777));
    return mode;
}

// inih reads the file through readLine below, which counts the lines (Debian's inih does not
// give the handler its line number) and sees every section header (inih reports only the
// sections that hold a key, and an empty one still turns its feature on).
struct Parse {
    fs::path file;
    std::string text;
    std::size_t next = 0;
    int line = 0;
    ConfSettings settings;
    std::optional<ConfProblem> problem;
    std::set<std::string> sections;
    std::set<std::string> keys; // "section key"
    int firstRetryLine = 0;
    int maxRetryLine = 0;
    std::map<std::string, int> keyLines; // the line of each text setting, for its problems

    void fail(int at, std::string key, std::string reason) {
        if (!problem)
            problem = ConfProblem{file, at, std::move(key), std::move(reason)};
    }

    void enterSection(std::string_view name) {
        const std::string shown = "[" + std::string(name) + "]";
        if (!sections.insert(std::string(name)).second)
            fail(line, shown, sectionTwice);
        else if (name == journalSection)
            settings.journal.emplace();
        else if (name == outboxSection)
            settings.outbox.emplace();
        else if (name == silenceSection)
            settings.silence.emplace();
        else if (name == mqttSection)
            settings.mqtt.emplace();
        else if (name == metricsSection)
            settings.metrics.emplace();
        else if (name == webSection)
            settings.web.emplace();
        else if (name == retrySection)
            settings.retry.emplace();
        else if (name == collectSection)
            settings.collect.emplace();
        else if (name == hooksSection)
            settings.hooks.emplace();
        else
            fail(line, shown, notASection);
    }

    void setting(std::string_view section, std::string_view key, std::string_view value) {
        const std::string name(key);
        if (section.empty())
            return fail(line, name, keyOutsideSection);
        if (!keys.insert(std::string(section) + " " + name).second)
            return fail(line, name, keyTwice);
        if (section == journalSection && key == fileKey && value.empty())
            return fail(line, name, emptyFile);
        for (const TextKey &k : textKeys) {
            if (k.section != section || k.key != key)
                continue;
            keyLines[std::string(section) + " " + name] = line;
            if (!value.empty())
                k.store(settings, value);
            return;
        }
        for (const NumberKey &k : numberKeys) {
            if (k.section != section || k.key != key)
                continue;
            const std::optional<long long> number = wholeNumber(value, k);
            if (!number)
                return fail(line, name, rangeText(k));
            k.store(settings, *number);
            if (key == firstRetryKey)
                firstRetryLine = line;
            else if (key == maxRetryKey)
                maxRetryLine = line;
            return;
        }
        for (const SwitchKey &k : switchKeys) {
            if (k.section != section || k.key != key)
                continue;
            const std::optional<bool> on = yesOrNo(value);
            if (!on)
                return fail(line, name, notYesOrNo);
            return k.store(settings, *on);
        }
        fail(line, name, notAKeyOf + ("[" + std::string(section) + "] (" + keysOf(section)) + ")");
    }

    int lineOf(std::string_view section, std::string_view key) const {
        const auto at = keyLines.find(std::string(section) + " " + std::string(key));
        return at == keyLines.end() ? 0 : at->second;
    }

    // A password must be this program's secret alone: a file others may read is refused.
    void checkSecret(std::string_view section, const fs::path &configDir, const fs::path &secret) {
        if (secret.empty())
            return;
        const fs::path path = secret.is_relative() ? configDir / secret : secret;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0)
            return fail(lineOf(section, passwordKey), std::string(passwordKey),
                        cannotBeRead + std::generic_category().message(errno));
        if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
            fail(lineOf(section, passwordKey), std::string(passwordKey),
                 "others may read it (mode " + modeText(info) + "); chmod 600 it");
    }

    void checkMqtt(const fs::path &configDir) {
        if (!settings.mqtt)
            return;
        MqttSettings &mqtt = *settings.mqtt;
        if (mqtt.on()) {
            if (!brokerUrl(mqtt.url))
                fail(lineOf(mqttSection, "url"), "url", notABrokerUrl);
            if (!topicLevelAsWritten(mqtt.station))
                fail(lineOf(mqttSection, "station"), "station", notATopicLevel);
            if (mqtt.topic.starts_with('$'))
                fail(lineOf(mqttSection, "topic"), "topic", reservedTopic);
            if (!topicLevelsAsWritten(mqtt.topic))
                fail(lineOf(mqttSection, "topic"), "topic", notTopicLevels);
            checkSecret(mqttSection, configDir, mqtt.passwordFile);
        }
        // The default name is no text written for topics: it is encoded like any other name.
        if (mqtt.station.empty())
            mqtt.station = topicLevel(settings.station);
        else
            settings.station = mqtt.station;
        if (mqtt.clientId.empty())
            mqtt.clientId = "vantrell-" + mqtt.station;
        if (!mqtt.discovery.empty() && !mqtt.homeAssistantDiscovery())
            fail(lineOf(mqttSection, "discovery"), "discovery", notADiscovery);
    }

    // A hook runs as the service: a program others could change would run their code as it.
    void checkHook(std::string_view key, const fs::path &program) {
        if (program.empty())
            return;
        const int at = lineOf(hooksSection, key);
        if (!program.is_absolute())
            return fail(at, std::string(key), hookNotAbsolute);
        struct stat info {};
        if (::stat(program.c_str(), &info) != 0)
            return fail(at, std::string(key),
                        cannotBeRead + std::generic_category().message(errno));
        if (!S_ISREG(info.st_mode) || ::access(program.c_str(), X_OK) != 0)
            return fail(at, std::string(key), hookNotAProgram);
        if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
            fail(at, std::string(key), hookOthersMayChange + modeText(info) + "); chmod go-w it");
    }

    void checkHooks() {
        if (!settings.hooks)
            return;
        checkHook("after_session", settings.hooks->afterSession);
        checkHook("after_report", settings.hooks->afterReport);
    }

    void checkWeb(const fs::path &configDir) {
        if (!settings.web || !settings.web->on())
            return;
        const WebSettings &web = *settings.web;
        const std::optional<ListenAddress> address = listenAddress(web.listen);
        if (!address)
            return fail(lineOf(webSection, "listen"), "listen", notAListenAddress);
        if (!address->loopback() &&
            (web.user.empty() || web.certFile.empty() || web.keyFile.empty()))
            return fail(lineOf(webSection, "listen"), "listen", openWithoutProtection);
        if (!web.user.empty() && web.passwordFile.empty())
            return fail(lineOf(webSection, "user"), "user", userWithoutPassword);
        if (web.certFile.empty() != web.keyFile.empty())
            return fail(lineOf(webSection, web.certFile.empty() ? "key_file" : "cert_file"),
                        web.certFile.empty() ? "key_file" : "cert_file", halfACertificate);
        checkSecret(webSection, configDir, web.passwordFile);
    }

    // The one rule between two keys, judged once both are known.
    void checkRetries() {
        if (!settings.outbox ||
            settings.outbox->maxRetrySeconds >= settings.outbox->firstRetrySeconds)
            return;
        if (maxRetryLine > 0)
            fail(maxRetryLine, std::string(maxRetryKey),
                 "less than first_retry_s (" + std::to_string(settings.outbox->firstRetrySeconds) +
                     ")");
        else
            fail(firstRetryLine, std::string(firstRetryKey),
                 "more than max_retry_s (" + std::to_string(settings.outbox->maxRetrySeconds) +
                     ")");
    }
};

} // namespace

std::optional<ListenAddress> listenAddress(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    std::string_view host = text.substr(0, colon);
    if (host.starts_with('[') && host.ends_with(']'))
        host = host.substr(1, host.size() - 2);
    const std::string_view portText = text.substr(colon + 1);
    int port = 0;
    const auto [stop, error] =
        std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (host.empty() || error != std::errc{} || stop != portText.data() + portText.size() ||
        port < 1 || port > 65535)
        return std::nullopt;
    return ListenAddress{std::string(host), port};
}

bool ListenAddress::loopback() const {
    return host == "localhost" || host == "::1" || host.starts_with("127.");
}

std::optional<BrokerUrl> brokerUrl(std::string_view url) {
    BrokerUrl broker;
    if (url.starts_with("mqtt://")) {
        url.remove_prefix(7);
        broker.port = 1883;
    } else if (url.starts_with("mqtts://")) {
        url.remove_prefix(8);
        broker.tls = true;
        broker.port = 8883;
    } else {
        return std::nullopt;
    }
    if (url.ends_with('/'))
        url.remove_suffix(1);
    const std::size_t colon = url.rfind(':');
    if (colon != std::string_view::npos && url.find(']') == std::string_view::npos) {
        const std::optional<ListenAddress> address = listenAddress(url);
        if (!address)
            return std::nullopt;
        broker.host = address->host;
        broker.port = address->port;
    } else {
        broker.host = url;
    }
    if (broker.host.empty() || broker.host.find_first_of("/ ") != std::string::npos)
        return std::nullopt;
    return broker;
}

namespace {

char *readLine(char *buffer, int size, void *stream) {
    Parse &p = *static_cast<Parse *>(stream);
    if (p.problem || p.next >= p.text.size())
        return nullptr;
    const std::size_t end = p.text.find('\n', p.next);
    const std::size_t after = end == std::string::npos ? p.text.size() : end + 1;
    std::string_view line(p.text.data() + p.next, after - p.next);
    p.next = after;
    ++p.line;
    // inih's buffer must hold the line, its CR LF and the terminating zero.
    const std::size_t longest = std::size_t(size) - 3;
    std::string_view content = line.substr(0, line.find_first_of("\r\n"));
    if (content.size() > longest || line.size() >= std::size_t(size)) {
        p.fail(p.line, "", lineTooLong + std::to_string(longest) + " characters a line may have");
        return nullptr;
    }
    line.copy(buffer, line.size());
    buffer[line.size()] = '\0';

    if (p.line == 1 && content.starts_with(utf8ByteOrderMark))
        content.remove_prefix(utf8ByteOrderMark.size());
    content.remove_prefix(std::min(content.find_first_not_of(" \t"), content.size()));
    if (content.starts_with('[')) {
        const std::size_t close = content.find(']');
        if (close != std::string_view::npos)
            p.enterSection(content.substr(1, close - 1));
    }
    return buffer;
}

int takeSetting(void *user, const char *section, const char *name, const char *value) {
    static_cast<Parse *>(user)->setting(section, name, value);
    return 1;
}

} // namespace

std::string ConfProblem::describe() const {
    std::string text = file.string();
    if (line > 0)
        text += " line " + std::to_string(line);
    text += ": ";
    if (!key.empty())
        text += key + ": ";
    return text + reason;
}

ConfRead readConfFile(const fs::path &configDir) {
    Parse p;
    p.file = configDir / files::stationConf;
    p.settings.station = stationName(configDir);
    std::error_code ec;
    const fs::file_status status = fs::status(p.file, ec);
    if (status.type() == fs::file_type::not_found)
        return {p.settings, std::nullopt};
    if (!ec && status.type() != fs::file_type::regular)
        return {{}, ConfProblem{p.file, 0, "", notAFile}};
    std::ifstream in(p.file, std::ios::binary);
    if (!ec && in)
        p.text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (ec || !in || in.bad()) {
        const std::string why = ec ? ec.message() : std::generic_category().message(errno);
        return {{}, ConfProblem{p.file, 0, "", cannotBeRead + why}};
    }
    // An indented setting is a setting of its own, as for every other INI reader; inih would take
    // it for the continuation of the value before. Debian's inih makes this a switch of the
    // process, and nothing else here uses inih.
    ini_allow_multiline = false;
    const int failedLine = ini_parse_stream(readLine, &p, takeSetting, &p);
    if (failedLine > 0 && (!p.problem || p.problem->line > failedLine))
        p.problem = ConfProblem{p.file, failedLine, "", notASetting};
    if (!p.problem)
        p.checkRetries();
    if (!p.problem)
        p.checkMqtt(configDir);
    if (!p.problem)
        p.checkWeb(configDir);
    if (!p.problem)
        p.checkHooks();
    if (p.problem)
        return {{}, p.problem};
    return {p.settings, std::nullopt};
}

} // namespace vantrell
