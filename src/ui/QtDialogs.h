// Message boxes of the desktop program, modal over the window that asks.
#pragma once

#include "general/Dialogs.h"

class QWidget;

namespace vantrell {

class QtDialogs final : public Dialogs {
public:
    void setParent(QWidget *parent) { parent_ = parent; }
    DialogAnswer message(std::string_view title, std::string_view text, DialogButtons buttons,
                         DialogIcon icon) override;

private:
    QWidget *parent_ = nullptr;
};

} // namespace vantrell
