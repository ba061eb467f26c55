#include "ui/EdgeCheckFrame.h"

#include <QCheckBox>
#include <QEvent>
#include <QStyle>
#include <QStyleOptionGroupBox>

namespace vantrell {

EdgeCheckFrame::EdgeCheckFrame(const QString &caption, QCheckBox *check, QWidget *parent)
    : QGroupBox(caption, parent), check_(check) {
    check_->setParent(this);
    check_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    placeCheck();
}

// The caption's place depends on the style, the font and the frame's size.
bool EdgeCheckFrame::event(QEvent *event) {
    const bool handled = QGroupBox::event(event);
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::LayoutRequest:
        placeCheck();
        break;
    default:
        break;
    }
    return handled;
}

void EdgeCheckFrame::placeCheck() {
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    const QRect caption =
        style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this);
    check_->resize(check_->sizeHint());
    check_->move(caption.left(), caption.center().y() - check_->height() / 2);
    check_->raise();
}

} // namespace vantrell
