#include "config/ConfFile.h"

#include <ini.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <fstream>
#include <iterator>
#include <set>
#include <string_view>
#include <system_error>

namespace vantrell {
namespace fs = std::filesystem;

namespace {
constexpr std::string_view journalSection = "journal";
constexpr std::string_view outboxSection = "outbox";
constexpr std::string_view silenceSection = "silence";
constexpr std::string_view fileKey = "file";
constexpr std::string_view firstRetryKey = "first_retry_s";
constexpr std::string_view maxRetryKey = "max_retry_s";
constexpr std::string_view utf8ByteOrderMark = "\xEF\xBB\xBF";

constexpr const char *notASection = "not a section of vantrell.conf (journal, outbox, silence)";
constexpr const char *sectionTwice = "the section is given twice";
constexpr const char *keyTwice = "given twice in its section";
constexpr const char *keyOutsideSection = "a setting before the first section";
constexpr const char *notAKeyOf = "not a setting of ";
constexpr const char *emptyFile = "empty; name the journal file";
constexpr const char *notASetting = "neither a section, a setting (key = value) nor a comment";
constexpr const char *lineTooLong = "longer than the ";
constexpr const char *notAFile = "cannot be read: not a file";
constexpr const char *cannotBeRead = "cannot be read: ";

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
};

std::string rangeText(const NumberKey &k) {
    return "not a whole number from " + std::to_string(k.minimum) +
           (k.maximum == INT_MAX ? " up" : " to " + std::to_string(k.maximum));
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
    std::string keys = section == journalSection ? std::string(fileKey) : std::string();
    for (const NumberKey &k : numberKeys)
        if (k.section == section)
            keys += (keys.empty() ? "" : ", ") + std::string(k.key);
    return keys;
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
        else
            fail(line, shown, notASection);
    }

    void setting(std::string_view section, std::string_view key, std::string_view value) {
        const std::string name(key);
        if (section.empty())
            return fail(line, name, keyOutsideSection);
        if (!keys.insert(std::string(section) + " " + name).second)
            return fail(line, name, keyTwice);
        if (section == journalSection && key == fileKey) {
            if (value.empty())
                return fail(line, name, emptyFile);
            settings.journal->file = fs::path(std::string(value));
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
        fail(line, name, notAKeyOf + ("[" + std::string(section) + "] (" + keysOf(section)) + ")");
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
    std::error_code ec;
    const fs::file_status status = fs::status(p.file, ec);
    if (status.type() == fs::file_type::not_found)
        return {};
    if (!ec && status.type() != fs::file_type::regular)
        return {{}, ConfProblem{p.file, 0, "", notAFile}};
    std::ifstream in(p.file, std::ios::binary);
    if (!ec && in)
        p.text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (ec || !in || in.bad()) {
        const std::string why = ec ? ec.message() : std::generic_category().message(errno);
        return {{}, ConfProblem{p.file, 0, "", cannotBeRead + why}};
    }
    const int failedLine = ini_parse_stream(readLine, &p, takeSetting, &p);
    if (failedLine > 0 && (!p.problem || p.problem->line > failedLine))
        p.problem = ConfProblem{p.file, failedLine, "", notASetting};
    if (!p.problem)
        p.checkRetries();
    if (p.problem)
        return {{}, p.problem};
    return {p.settings, std::nullopt};
}

} // namespace vantrell
