// Message boxes go through this seam: the desktop program shows them, the headless program
// logs them, and tests set the next answers and read what was shown.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace vantrell {

enum class DialogButtons { ok, okCancel, yesNo, yesNoCancel };
enum class DialogAnswer { ok, cancel, yes, no };
enum class DialogIcon { information, exclamation, critical, question };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual DialogAnswer message(std::string_view title, std::string_view text,
                                 DialogButtons buttons = DialogButtons::ok,
                                 DialogIcon icon = DialogIcon::information) = 0;
};

// The answer of a box that nobody answers: OK, or Yes where the operator is asked.
DialogAnswer defaultAnswer(DialogButtons buttons);

// A station without a screen: every message becomes a log line and gets the default answer.
class LoggingDialogs final : public Dialogs {
public:
    explicit LoggingDialogs(std::ostream &out) : out_(out) {}
    DialogAnswer message(std::string_view title, std::string_view text, DialogButtons buttons,
                         DialogIcon icon) override;

private:
    std::ostream &out_;
};

} // namespace vantrell
