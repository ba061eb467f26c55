#include "general/Progress.h"

#include <cstdio>

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

static std::string timestamp(const LocalDateTime &t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

LoggingProgress::~LoggingProgress() {
    flushRepeats();
}

void LoggingProgress::flushRepeats() {
    if (repeats_ > 0)
        out_ << timestamp(clock_.localNow()) << "   (repeated " << repeats_ << " times)\n";
    repeats_ = 0;
}

void LoggingProgress::show(ProgressLine line, std::string_view text) {
    if (line == lastLine_ && text == lastText_) {
        ++repeats_;
        return;
    }
    flushRepeats();
    lastLine_ = line;
    lastText_ = text;
    out_ << timestamp(clock_.localNow())
         << (line == ProgressLine::service ? " [service] " : " [report]  ") << printable(text)
         << std::endl;
}

void LoggingProgress::log(std::string_view subsystem, std::string_view text) {
    flushRepeats();
    lastText_.clear();
    out_ << timestamp(clock_.localNow()) << " [" << subsystem << "] " << printable(text)
         << std::endl;
}

std::string printable(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "<%02X>", c);
            out += buf;
        }
    }
    return out;
}

} // namespace vantrell
