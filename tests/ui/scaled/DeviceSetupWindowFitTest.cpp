// The device setup window on a 1366 x 768 screen at 125 % (1093 x 560 logical pixels left by a
// title bar and a panel): its message boxes show a whole SMS text, and it still fits with both
// buttons inside. This program runs with QT_SCALE_FACTOR=1.25.
#include "SetupWindowBench.h"
#include "ui/DeviceSetupWindow.h"

#include <QAbstractButton>
#include <QPointer>

namespace vantrell::testing {
namespace {

constexpr QSize usable(1093, 560);

TEST(DeviceSetupWindowFit, ItFitsALaptopScreenAt125Percent) {
    SetupWindowBench s;
    QPointer<DeviceSetupWindow> window = new DeviceSetupWindow(s.station, nullptr);
    window->openLogger("1234KV0126", 1, 1);
    ASSERT_TRUE(window && window->isVisible());
    ASSERT_DOUBLE_EQ(window->devicePixelRatio(), 1.25);

    const QSize hint = window->sizeHint();
    EXPECT_LE(hint.width(), usable.width());
    EXPECT_LE(hint.height(), usable.height());
    window->resize(hint);
    for (const char *name : {"cmdPhones", "cmdExit"}) {
        const auto *button = window->findChild<QAbstractButton *>(name);
        const QRect at(button->mapTo(window.data(), QPoint(0, 0)), button->size());
        EXPECT_TRUE(window->rect().contains(at)) << name;
    }
    clickCloseBox(window);
}

} // namespace
} // namespace vantrell::testing
