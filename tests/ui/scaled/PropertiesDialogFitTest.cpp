// The properties dialog on a 1366 x 768 screen at 125 %: 1093 x 614 logical pixels, of which a
// title bar and a panel leave 1093 x 560. With its tallest frame shown (FTP) and the line of a
// store that waits for a session, the dialog's size must fit there with every button inside it.
// This program runs with QT_SCALE_FACTOR=1.25.
#include "PropertiesBench.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>

namespace vantrell::testing {
namespace {

constexpr QSize usable(1093, 560);

TEST(PropertiesDialogFit, WithTheFtpFrameItFitsALaptopScreenAt125Percent) {
    ASSERT_DOUBLE_EQ(qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(), 1.25);
    PropertiesBench b;
    DeviceRecord &record = b.station.devices.at(1);
    record[field::forwardEnabled] = "1";
    record[field::forwardKind] = "1";
    b.open(1);
    QCoreApplication::sendPostedEvents();
    ASSERT_DOUBLE_EQ(b.dialog->devicePixelRatio(), 1.25);
    ASSERT_TRUE(b.get<QGroupBox>("FrameFTP")->isVisible());
    b.get<QLabel>("lblHeld")->setText("Device 50 is being read: its changes are stored when its "
                                      "session ends");
    b.get<QLabel>("lblHeld")->show();
    QCoreApplication::sendPostedEvents();

    const QSize hint = b.dialog->sizeHint();
    EXPECT_LE(hint.width(), usable.width());
    EXPECT_LE(hint.height(), usable.height());
    b.dialog->resize(hint);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(b.dialog->size(), hint);
    for (const QAbstractButton *button : b.dialog->findChildren<QAbstractButton *>()) {
        if (!button->isVisibleTo(b.dialog.get()))
            continue;
        const QRect at(button->mapTo(b.dialog.get(), QPoint(0, 0)), button->size());
        EXPECT_TRUE(b.dialog->rect().contains(at)) << button->objectName().toStdString();
    }
}

} // namespace
} // namespace vantrell::testing
