#include "LogFolding.h"

#include <cctype>
#include <string_view>

namespace vantrell {

namespace {

// A line around its last number: "Saving block no. " + "17" + "".
struct Parts {
    std::string_view head, number, tail;
};

Parts partsOf(std::string_view line) {
    std::size_t end = line.size();
    while (end > 0 && !std::isdigit(static_cast<unsigned char>(line[end - 1])))
        --end;
    std::size_t start = end;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(line[start - 1])))
        --start;
    return {line.substr(0, start), line.substr(start, end - start), line.substr(end)};
}

bool alike(const Parts &a, const Parts &b) {
    return a.head == b.head && a.tail == b.tail && a.number.empty() == b.number.empty();
}

std::string folded(const std::string &first, const std::string &last, std::size_t count) {
    const std::string lines = " (" + std::to_string(count) + " lines)";
    if (count == 1)
        return first;
    if (first == last)
        return first + lines;
    const Parts a = partsOf(first);
    return std::string(a.head) + std::string(a.number) + " … " + std::string(partsOf(last).number) +
           std::string(a.tail) + lines;
}

} // namespace

std::vector<std::string> foldLog(const std::vector<std::string> &lines) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t k = 1; k <= lines.size(); ++k) {
        if (k < lines.size() && alike(partsOf(lines[start]), partsOf(lines[k])))
            continue;
        out.push_back(folded(lines[start], lines[k - 1], k - start));
        start = k;
    }
    return out;
}

} // namespace vantrell
