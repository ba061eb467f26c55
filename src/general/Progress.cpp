#include "general/Progress.h"

#include <cstdio>

namespace vantrell {

std::string logLinePrefix(const LogStyle &style, LogPriority priority, const LocalDateTime &t) {
    char buf[32];
    if (style.journal)
        std::snprintf(buf, sizeof buf, "<%d>", static_cast<int>(priority));
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d ", t.year, t.month, t.day,
                      t.hour, t.minute, t.second);
    return buf;
}

void LoggingProgress::writeLine(LogPriority priority, std::string_view body) {
    const LocalDateTime now = clock_.localNow();
    out_ << logLinePrefix(style_, priority, now) << body << std::endl;
    // The copy is read on a terminal: with the time, whatever the log itself carries.
    if (copy_ != nullptr)
        *copy_ << logLinePrefix(LogStyle{}, priority, now) << body << std::endl;
}

void LoggingProgress::copyTo(std::ostream *copy) {
    const std::lock_guard lock(mutex_);
    flushRepeats();
    copy_ = copy;
}

LoggingProgress::~LoggingProgress() {
    flushRepeats();
}

namespace {
// Counters such as "block no. 123" make every text of a transfer new; with the digits blurred
// they are one run, so a memory of 16 400 records logs two lines, not 50 000.
std::string shape(std::string_view text) {
    std::string out;
    for (char c : text) {
        const bool digit = c >= '0' && c <= '9';
        if (!digit)
            out += c;
        else if (out.empty() || out.back() != '#')
            out += '#';
    }
    return out;
}

std::string label(ProgressLine line) {
    return line == ProgressLine::service ? "[service] " : "[report]  ";
}
} // namespace

void LoggingProgress::flushRepeats() {
    if (repeats_ > 0 && !style_.quiet) {
        std::string body = label(lastLine_) + printable(lastText_);
        if (repeats_ > 1)
            body += "   (" + std::to_string(repeats_) + " like it)";
        writeLine(LogPriority::progress, body);
    }
    repeats_ = 0;
}

void LoggingProgress::show(ProgressLine line, std::string_view text) {
    const std::lock_guard lock(mutex_);
    if (line == lastLine_ && !lastText_.empty() && shape(text) == shape(lastText_)) {
        ++repeats_;
        lastText_ = text;
        return;
    }
    flushRepeats();
    lastLine_ = line;
    lastText_ = text;
    if (!style_.quiet)
        writeLine(LogPriority::progress, label(line) + printable(text));
}

void LoggingProgress::failure(std::string_view text) {
    const std::lock_guard lock(mutex_);
    flushRepeats();
    lastText_.clear();
    writeLine(LogPriority::error, label(ProgressLine::detail) + printable(text));
}

void LoggingProgress::note(std::string_view text) {
    log("logger", text);
}

void LoggingProgress::log(std::string_view subsystem, std::string_view text, LogPriority priority) {
    const std::lock_guard lock(mutex_);
    flushRepeats();
    lastText_.clear();
    if (style_.quiet && priority > LogPriority::warning)
        return;
    writeLine(priority, "[" + std::string(subsystem) + "] " + printable(text));
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
