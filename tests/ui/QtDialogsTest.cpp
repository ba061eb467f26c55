// The desktop program's message boxes: each opens over the window the operator works in, so
// that the keyboard goes back there when it closes; the main window takes the rest.
#include "ui/QtDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace vantrell {
namespace {

struct Answered {
    QPointer<QWidget> owner;
    DialogAnswer answer;
    QPoint offCentre; // of the box, from the middle of its screen's free area
};

// Shows a box and answers it with `button` as soon as it is up.
Answered askAndPress(QtDialogs &dialogs, QMessageBox::StandardButton button) {
    QPointer<QWidget> owner;
    QPoint offCentre;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        owner = box->parentWidget();
        offCentre = box->geometry().center() - box->screen()->availableGeometry().center();
        box->button(button)->click();
    });
    const DialogAnswer answer =
        dialogs.message("Data error", "The serial number inserted is not correct",
                        DialogButtons::yesNoCancel, DialogIcon::exclamation);
    return {owner, answer, offCentre};
}

// The window the operator works in, as the window system leaves it after a click.
void activate(QWidget &window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// Owned by the dialog, the box hands the keyboard back to the dialog's control as it closes (the
// window system does that; the offscreen platform used here does not activate windows itself).
TEST(QtDialogs, ABoxBelongsToTheActiveWindowAndGoesWithIt) {
    QWidget main;
    main.setGeometry(0, 0, 200, 100);
    QtDialogs dialogs;
    dialogs.setParent(&main);

    const Answered noWindow = askAndPress(dialogs, QMessageBox::Cancel);
    EXPECT_EQ(noWindow.owner, &main) << "no window active: the main window owns the box";
    EXPECT_EQ(noWindow.answer, DialogAnswer::cancel);
    EXPECT_LE(noWindow.offCentre.manhattanLength(), 20)
        << "the main window is hidden in the notification area: the box sits mid-screen";

    QWidget properties;
    auto *layout = new QVBoxLayout(&properties);
    auto *first = new QLineEdit(&properties);
    auto *atFault = new QLineEdit(&properties);
    layout->addWidget(first);
    layout->addWidget(atFault);
    activate(properties);
    atFault->setFocus();

    const Answered active = askAndPress(dialogs, QMessageBox::Yes);
    EXPECT_EQ(active.owner, &properties);
    EXPECT_EQ(active.answer, DialogAnswer::yes);
    EXPECT_EQ(properties.focusWidget(), atFault);

    // The window that asked may close while its box is open: the box goes with it, as cancelled.
    auto *closing = new QWidget;
    activate(*closing);
    QTimer::singleShot(0, [&] { delete closing; });
    EXPECT_EQ(dialogs.message("Phone list update", "Store them?", DialogButtons::yesNoCancel,
                              DialogIcon::question),
              DialogAnswer::cancel);
}

} // namespace
} // namespace vantrell
