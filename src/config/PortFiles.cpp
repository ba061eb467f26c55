#include "config/PortFiles.h"

#include "config/AtomicFile.h"
#include "general/Text.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace vantrell {

namespace {

constexpr const char *headerRecord = "Com;No.\r";
constexpr std::size_t recordLength = 8;

// Fields as a comma- or line-separated text reader sees them; a line end of CR LF is one.
std::vector<std::string> fieldsOf(const std::string &text) {
    std::vector<std::string> fields;
    std::string field;
    bool pending = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ',' || c == '\r' || c == '\n') {
            fields.push_back(field);
            field.clear();
            pending = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            continue;
        }
        field += c;
        pending = true;
    }
    if (pending)
        fields.push_back(field);
    return fields;
}

// The leading number after blanks; none without a digit.
std::optional<int> leadingNumber(const std::string &field) {
    std::size_t i = field.find_first_not_of(' ');
    long long value = 0;
    bool digits = false;
    for (; i < field.size() && std::isdigit(static_cast<unsigned char>(field[i])); ++i) {
        value = value * 10 + (field[i] - '0');
        digits = true;
        if (value >= portListSize)
            return std::nullopt;
    }
    if (!digits)
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

std::string portFileBytes(int position) {
    const std::string p = std::to_string(position);
    return headerRecord + fitRight(" " + p + " ;" + p, recordLength);
}

std::optional<int> loadPortChoice(const std::filesystem::path &file, ConfigError *problem) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        const int error = errno;
        if (problem != nullptr && error != ENOENT)
            *problem = fileError(FileProblem::unreadable, file,
                                 std::string("cannot be read (") + std::strerror(error) + ")");
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    const std::vector<std::string> fields = fieldsOf(content.str());
    std::optional<int> chosen;
    for (std::size_t i = 1; i < fields.size(); i += 2)
        if (const auto number = leadingNumber(fields[i]))
            chosen = number;
    return chosen;
}

ConfigError storePortChoice(const std::filesystem::path &file, int position) {
    return replaceFile(file, portFileBytes(position));
}

} // namespace vantrell
