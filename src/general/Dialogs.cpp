#include "general/Dialogs.h"

#include <ostream>

namespace vantrell {

DialogAnswer defaultAnswer(DialogButtons buttons) {
    return buttons == DialogButtons::yesNo || buttons == DialogButtons::yesNoCancel
               ? DialogAnswer::yes
               : DialogAnswer::ok;
}

DialogAnswer LoggingDialogs::message(std::string_view title, std::string_view text,
                                     DialogButtons buttons, DialogIcon) {
    out_ << "[message] " << title << ": " << text << std::endl;
    return defaultAnswer(buttons);
}

} // namespace vantrell
