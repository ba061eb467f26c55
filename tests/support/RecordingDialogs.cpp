#include "RecordingDialogs.h"

namespace vantrell {

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

} // namespace vantrell
