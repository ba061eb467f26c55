// The progress lines of a session as a test reads them: every text, in order.
#pragma once

#include "general/Progress.h"

#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

class RecordingProgress final : public ProgressSink {
public:
    struct Entry {
        ProgressLine line;
        std::string text;
    };

    void show(ProgressLine line, std::string_view text) override;
    void note(std::string_view text) override { notes_.emplace_back(text); }

    const std::vector<Entry> &entries() const { return entries_; }
    std::vector<std::string> texts(ProgressLine line) const;
    bool contains(std::string_view text) const;
    // The lines for the log only.
    const std::vector<std::string> &notes() const { return notes_; }
    void clear() {
        entries_.clear();
        notes_.clear();
    }

private:
    std::vector<Entry> entries_;
    std::vector<std::string> notes_;
};

} // namespace vantrell
