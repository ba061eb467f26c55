#include "ui/QtDialogs.h"

#include <QMessageBox>
#include <QString>

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

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

DialogAnswer QtDialogs::message(std::string_view title, std::string_view body,
                                DialogButtons buttons, DialogIcon icon) {
    QMessageBox box(iconOf(icon), text(title), text(body), buttonsOf(buttons), parent_);
    switch (box.exec()) {
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
