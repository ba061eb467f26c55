// Message boxes of the desktop program. A box belongs to the window the operator is working in
// (the dialog that refused an input, say), so it opens over that window and the keyboard goes
// back there when it closes; the main window owns the boxes no window asked for.
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
    QWidget *owner() const;

    QWidget *parent_ = nullptr;
};

} // namespace vantrell
