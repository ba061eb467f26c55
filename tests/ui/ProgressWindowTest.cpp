// The progress window as a session drives it through the station's progress texts, with its
// slide timers ticked by hand so nothing waits for real.
#include "StationBench.h"

#include "ui/ProgressWindow.h"
#include "ui/WindowProgress.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include <gtest/gtest.h>

namespace vantrell {
namespace {

struct ProgressBench : testing::StationBench {
    ProgressBench() : windowStation({world.clock(), pump, port, sink, dialogs}, ".") {
        sink.attach(window);
    }
    template <typename T> T *find(const char *name) { return window.findChild<T *>(name); }
    QString text(const char *label) { return find<QLabel>(label)->text(); }
    QProgressBar *bar() { return find<QProgressBar>("barBlocks"); }
    void rise() {
        for (int tick = 0; tick < 100 && window.rising(); ++tick)
            window.riseStep();
    }
    void sinkAway() {
        for (int tick = 0; tick < 100 && window.sinking(); ++tick)
            window.sinkStep();
    }

    WindowProgress sink;
    Station windowStation;
    ProgressWindow window{windowStation};
};

TEST(ProgressWindow, TextsReplaceEachOtherAndTheBarCountsTheMemory) {
    ProgressBench b;
    ProgressSink &progress = b.sink;
    b.sink.transferSize(400);
    EXPECT_EQ(b.text("lblTitle"), "Vantrell");

    struct Row {
        const char *legend;
        ProgressLine line;
        const char *text;
        int barValue; // -1: no bar
    };
    using enum ProgressLine;
    const Row rows[] = {
        {"a phase", service, "Connection Attempt 1", -1},
        {"a detail", detail, "Waking logger...", -1},
        {"a block of the transfer", detail, "Trasferring from device block no. 120", 120},
        {"a new phase keeps the bar and the detail", service, "Transfer to file ", 120},
        {"a saved block", detail, "Saving block no. 400", 400},
        {"an alarm check counts without the mark", detail, "Checking Alarm CH 1...block 5", -1},
        {"saving while appending, the line after it", detail,
         "Saving block no. 5 00005  ; 02-02-26", 5},
        {"a counting text cut before its number", detail, "Processing block no. ", -1},
    };
    QString shown[2]; // each line's last text
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        progress.show(row.line, row.text);
        shown[row.line == detail] = row.text;
        EXPECT_EQ(b.text("lblService"), shown[0]);
        EXPECT_EQ(b.text("lblReport"), shown[1]);
        EXPECT_EQ(!b.bar()->isHidden(), row.barValue >= 0);
        if (row.barValue >= 0) {
            EXPECT_EQ(b.bar()->maximum(), 400);
            EXPECT_EQ(b.bar()->value(), row.barValue);
        }
    }
}

// The window rises into the corner, or just above the notification-area icon where that sits in
// the corner (a panel the screen's work area does not leave out), and sinks away after a close
// request; a close request while it still rises closes it at once.
TEST(ProgressWindow, RisesClearOfTheIconAndSinksAwayAfterACloseRequest) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect cornerIcon(area.right() - 40, area.bottom() - 23, 24, 24);
    struct Row {
        const char *legend;
        QRect icon;
        int bottom;
    };
    for (const Row &row : {Row{"icon in the corner", cornerIcon, cornerIcon.top() - 1},
                           Row{"icon elsewhere", QRect(10, 10, 24, 24), area.bottom()},
                           Row{"icon position unknown", QRect(), area.bottom()}}) {
        SCOPED_TRACE(row.legend);
        ProgressBench b;
        b.window.keepClearOf([&] { return row.icon; });
        b.sink.openWindow();
        EXPECT_TRUE(b.window.isVisible());
        EXPECT_FALSE(b.window.shownFlag());
        EXPECT_EQ(b.window.geometry().top(), area.bottom() + 1);
        b.rise();
        EXPECT_TRUE(b.window.shownFlag());
        EXPECT_FALSE(b.window.frameGeometry().intersects(row.icon));
        EXPECT_EQ(b.window.geometry().right(), area.right());
        EXPECT_EQ(b.window.geometry().bottom(), row.bottom);

        b.sink.closeWindow();
        EXPECT_TRUE(b.window.isVisible()) << "the texts stay readable until it has sunk";
        EXPECT_TRUE(b.window.sinking());
        b.window.sinkStep();
        const int top = b.window.y();
        b.sink.closeWindow();
        EXPECT_EQ(b.window.y(), top) << "a second request while sinking changes nothing";
        b.sinkAway();
        EXPECT_FALSE(b.window.isVisible());
        EXPECT_FALSE(b.window.shownFlag());
    }

    ProgressBench b;
    b.sink.openWindow();
    b.window.riseStep();
    b.sink.closeWindow();
    EXPECT_FALSE(b.window.isVisible());
    EXPECT_FALSE(b.window.rising());
    b.sink.openWindow();
    b.rise();
    EXPECT_TRUE(b.window.shownFlag());
}

} // namespace
} // namespace vantrell
