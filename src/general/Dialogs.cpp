#include "general/Dialogs.h"

namespace vantrell {

DialogAnswer RecordingDialogs::message(std::string_view title, std::string_view text,
                                       DialogButtons buttons) {
    shown_.push_back({std::string(title), std::string(text)});
    if (!next_.empty()) {
        const DialogAnswer a = next_.front();
        next_.pop_front();
        return a;
    }
    return buttons == DialogButtons::yesNo || buttons == DialogButtons::yesNoCancel
               ? DialogAnswer::yes
               : DialogAnswer::ok;
}

} // namespace vantrell
