// Message boxes without a person: a test sets the next answers and reads what was shown.
#pragma once

#include "general/Dialogs.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

class RecordingDialogs final : public Dialogs {
public:
    struct Shown {
        std::string title;
        std::string text;
        DialogIcon icon;
    };

    // Without an answer set, a box gets its default answer (OK, or Yes where it asks).
    DialogAnswer message(std::string_view title, std::string_view text, DialogButtons buttons,
                         DialogIcon icon) override;
    void setNextAnswer(DialogAnswer answer) { next_.push_back(answer); }
    const std::vector<Shown> &shown() const { return shown_; }
    void clear() { shown_.clear(); }

private:
    std::deque<DialogAnswer> next_;
    std::vector<Shown> shown_;
};

} // namespace vantrell
