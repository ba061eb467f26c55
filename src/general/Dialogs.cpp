#include "general/Dialogs.h"

#include <ostream>

namespace vantrell {

static DialogAnswer defaultAnswer(DialogButtons buttons) {
    return buttons == DialogButtons::yesNo || buttons == DialogButtons::yesNoCancel
               ? DialogAnswer::yes
               : DialogAnswer::ok;
}

DialogAnswer RecordingDialogs::message(std::string_view title, std::string_view text,
                                       DialogButtons buttons, DialogIcon icon) {
    shown_.push_back({std::string(title), std::string(text), icon});
    if (!next_.empty()) {
        const DialogAnswer a = next_.front();
        next_.pop_front();
        return a;
    }
    return defaultAnswer(buttons);
}

DialogAnswer LoggingDialogs::message(std::string_view title, std::string_view text,
                                     DialogButtons buttons, DialogIcon) {
    out_ << "[message] " << title << ": " << text << std::endl;
    return defaultAnswer(buttons);
}

} // namespace vantrell
