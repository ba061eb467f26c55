#include "RecordingProgress.h"

namespace vantrell {

void RecordingProgress::show(ProgressLine line, std::string_view text) {
    entries_.push_back({line, std::string(text)});
}

std::vector<std::string> RecordingProgress::texts(ProgressLine line) const {
    std::vector<std::string> out;
    for (const auto &e : entries_)
        if (e.line == line)
            out.push_back(e.text);
    return out;
}

bool RecordingProgress::contains(std::string_view text) const {
    for (const auto &e : entries_)
        if (e.text == text)
            return true;
    return false;
}

} // namespace vantrell
