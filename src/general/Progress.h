// The two lines of the progress window: the phase of the session (lblService) and its detail
// (lblReport). Every text replaces the previous one on its line; headless programs log them.
#pragma once

#include "general/Clock.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

enum class ProgressLine { service, detail };

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void show(ProgressLine line, std::string_view text) = 0;
    // The progress window appears when a session or a report starts and goes when it ends;
    // sinks without a window ignore both.
    virtual void openWindow() {}
    virtual void closeWindow() {}

    void service(std::string_view text) { show(ProgressLine::service, text); }
    void detail(std::string_view text) { show(ProgressLine::detail, text); }
};

// Keeps every text, in order, for tests to read.
class RecordingProgress final : public ProgressSink {
public:
    struct Entry {
        ProgressLine line;
        std::string text;
    };

    void show(ProgressLine line, std::string_view text) override;

    const std::vector<Entry> &entries() const { return entries_; }
    std::vector<std::string> texts(ProgressLine line) const;
    bool contains(std::string_view text) const;
    void clear() { entries_.clear(); }

private:
    std::vector<Entry> entries_;
};

// One timestamped line per text; a text repeated on the same line is collapsed into a count.
class LoggingProgress final : public ProgressSink {
public:
    LoggingProgress(std::ostream &out, const Clock &clock) : out_(out), clock_(clock) {}
    ~LoggingProgress() override;
    void show(ProgressLine line, std::string_view text) override;
    // Writes a line of the program's own (start, stop, errors) in the same format.
    void log(std::string_view subsystem, std::string_view text);

private:
    void flushRepeats();

    std::ostream &out_;
    const Clock &clock_;
    ProgressLine lastLine_ = ProgressLine::service;
    std::string lastText_;
    int repeats_ = 0;
};

// Texts leave the station as UTF-8; the line and the data files are 8-bit, so a logged text may
// carry bytes above 127 that are not UTF-8. This keeps printable ASCII and shows the rest as <hh>.
std::string printable(std::string_view bytes);

} // namespace vantrell
