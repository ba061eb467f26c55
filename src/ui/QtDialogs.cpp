#include "ui/QtDialogs.h"

#include "ui/QtText.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>

namespace vantrell {

namespace {

QMessageBox::Icon iconOf(DialogIcon icon) {
    switch (icon) {
    case DialogIcon::exclamation:
        return QMessageBox::Warning;
    case DialogIcon::critical:
        return QMessageBox::Critical;
    case DialogIcon::question:
        return QMessageBox::Question;
    case DialogIcon::information:
        break;
    }
    return QMessageBox::Information;
}

QMessageBox::StandardButtons buttonsOf(DialogButtons buttons) {
    switch (buttons) {
    case DialogButtons::okCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case DialogButtons::yesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case DialogButtons::yesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case DialogButtons::ok:
        break;
    }
    return QMessageBox::Ok;
}

// Qt centres a box over its owner even when the owner is hidden, as the main window is while the
// program sits in the notification area: a box raised then (a port that cannot be opened at
// start) would appear wherever the hidden window last was. It belongs in the screen's middle.
void centreOverHiddenOwner(QMessageBox &box, const QWidget *owner) {
    if (owner == nullptr || owner->isVisible())
        return;
    const QScreen *screen =
        owner->screen() != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    box.adjustSize();
    box.move(screen->availableGeometry().center() - box.rect().center());
}

} // namespace

QWidget *QtDialogs::owner() const {
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget *active = QApplication::activeWindow())
        return active;
    return parent_;
}

// The owner may close while its box is open (the program ends, or the phone list replaces the
// properties dialog); the box then goes with it and counts as cancelled.
DialogAnswer QtDialogs::message(std::string_view title, std::string_view body,
                                DialogButtons buttons, DialogIcon icon) {
    QWidget *const boxOwner = owner();
    const QPointer<QMessageBox> box =
        new QMessageBox(iconOf(icon), qtext(title), qtext(body), buttonsOf(buttons), boxOwner);
    centreOverHiddenOwner(*box, boxOwner);
    const int answer = box->exec();
    if (box.isNull())
        return DialogAnswer::cancel;
    delete box.data();
    switch (answer) {
    case QMessageBox::Cancel:
        return DialogAnswer::cancel;
    case QMessageBox::Yes:
        return DialogAnswer::yes;
    case QMessageBox::No:
        return DialogAnswer::no;
    default:
        return DialogAnswer::ok;
    }
}

} // namespace vantrell
