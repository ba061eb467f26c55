// The two lines of the progress window: the phase of the session (lblService) and its detail
// (lblReport). Every text replaces the previous one on its line; headless programs log them.
#pragma once

#include "general/Clock.h"

#include <cstddef>
#include <mutex>
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
    // Something the operator must act on (a delivery that failed): the window shows it on the
    // detail line like any other; a log marks it as an error.
    virtual void failure(std::string_view text) { detail(text); }
    // A failure of one of the station's own parts (the journal, the metrics file) rather than
    // of the session: a log tags it with that part.
    virtual void problem(std::string_view subsystem, std::string_view text) {
        static_cast<void>(subsystem);
        failure(text);
    }
    // A line for the log only (a clock correction with the deviation found); the window's texts
    // stay as they are.
    virtual void note(std::string_view) {}
    // The records a memory transfer asks for, before its block texts, so that a window can show
    // how far it has come.
    virtual void transferSize(std::size_t) {}
};

// The syslog priorities the journal reads from a line's "<n>" prefix.
enum class LogPriority { error = 3, warning = 4, progress = 6, io = 7 };

struct LogStyle {
    // Standard output is the journal: it stamps the time itself and reads the priority prefix.
    bool journal = false;
    // Only warnings and errors.
    bool quiet = false;
};

// What starts a log line: the time on a terminal, the priority for the journal.
std::string logLinePrefix(const LogStyle &style, LogPriority priority, const LocalDateTime &now);

// One timestamped line per text; a text repeated on the same line is collapsed into a count.
// Threads beside the station's loop (the outbox) log through the same object, line by line.
class LoggingProgress final : public ProgressSink {
public:
    LoggingProgress(std::ostream &out, const Clock &clock, LogStyle style = {})
        : out_(out), clock_(clock), style_(style) {}
    ~LoggingProgress() override;
    void show(ProgressLine line, std::string_view text) override;
    void failure(std::string_view text) override;
    void problem(std::string_view subsystem, std::string_view text) override {
        log(subsystem, text, LogPriority::error);
    }
    void note(std::string_view text) override;
    // Writes a line of the program's own (start, stop, errors) in the same format.
    void log(std::string_view subsystem, std::string_view text,
             LogPriority priority = LogPriority::progress);
    const LogStyle &style() const { return style_; }
    // Every line from now on is also written to `copy` (nothing: no more), with its time: the
    // lines of a reading a client of the running station asked for.
    void copyTo(std::ostream *copy);

private:
    void flushRepeats();
    void writeLine(LogPriority priority, std::string_view body);

    std::ostream &out_;
    const Clock &clock_;
    LogStyle style_;
    std::mutex mutex_;
    std::ostream *copy_ = nullptr;
    ProgressLine lastLine_ = ProgressLine::service;
    std::string lastText_;
    int repeats_ = 0;
};

// Texts leave the station as UTF-8; the line and the data files are 8-bit, so a logged text may
// carry bytes above 127 that are not UTF-8. This keeps printable ASCII and shows the rest as <hh>.
std::string printable(std::string_view bytes);

} // namespace vantrell
