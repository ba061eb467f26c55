// The splash window's four timed steps, ticked by hand.
#include "ui/Preloader.h"

#include "StationBench.h"

#include <QLabel>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(Splash, FourTicksThenTheMainWindow) {
    testing::StationBench b;
    Preloader splash(b.station);
    QSignalSpy loaded(&splash, &Preloader::loadMain);
    auto *label = splash.findChild<QLabel *>("Label1");
    EXPECT_EQ(label->text(), "Loading ...");
    const std::pair<int, const char *> ticks[] = {
        {300, "Loading... Components"}, {600, "Loading... Times"}, {900, "Loading... Numbers"}};
    for (const auto &[interval, text] : ticks) {
        EXPECT_EQ(splash.interval(), interval);
        splash.nextStep();
        EXPECT_EQ(label->text(), text);
        EXPECT_EQ(loaded.size(), 0);
    }
    EXPECT_EQ(splash.interval(), 1200);
    splash.nextStep();
    EXPECT_EQ(loaded.size(), 1);
    EXPECT_EQ(Preloader::versionText(4, 0, 0), "4.00");
}

} // namespace
} // namespace vantrell
