// What the tests of the desktop program's windows share: a station over a fresh configuration
// folder with the templates installed, the window system's close box, the clipboard, and the
// message boxes shown.
#pragma once

#include "FullDisk.h"
#include "StationBench.h"
#include "TempFolder.h"
#include "config/ConfigStation.h"
#include "config/DeviceFile.h"
#include "config/SetupFiles.h"
#include "config/Templates.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <QtTest/qtestspontaneevent.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>

namespace vantrell::testing {

struct SetupWindowBench {
    SetupWindowBench() { EXPECT_TRUE(installTemplates(folder.path()).failures.empty()); }

    std::filesystem::path file(const std::string &name) const { return folder.path() / name; }
    static std::string bytesOf(const std::filesystem::path &file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    TempFolder folder;
    StationBench bench{{2026, 2, 3, 9, 5, 0}, folder.path()};
    Station &station = bench.station;
};

// The device table and a record's channel setup in `folder`, as the next start reads them.
inline DeviceRecord storedDevice(const std::filesystem::path &folder, int slot) {
    StationBench next({2026, 2, 3, 9, 5, 0}, folder);
    EXPECT_FALSE(DeviceFile(next.station).loadDeviceTable().failed());
    return next.station.devices.at(slot);
}
inline ChannelSetup storedSetup(const std::filesystem::path &folder, int record) {
    StationBench next({2026, 2, 3, 9, 5, 0}, folder);
    ChannelSetupFile file(next.station);
    file.chooseSetupFile(record);
    EXPECT_FALSE(file.loadChannelSetup().failed());
    return next.station.channelSetup;
}

// The close box of the title bar: a close the operator asked for. A window that accepts it
// closes as after any other close; the answer says whether it did.
inline bool clickCloseBox(QWidget *window) {
    QCloseEvent event;
    QSpontaneKeyEvent::setSpontaneous(&event);
    // sendEvent() would mark the event as the program's own.
    QCoreApplication::instance()->notify(window, &event);
    if (event.isAccepted())
        window->close();
    return event.isAccepted();
}

// A paste from the clipboard, as the operator's Ctrl+V.
inline void paste(QLineEdit *box, const QString &text) {
    QGuiApplication::clipboard()->setText(text);
    box->setFocus();
    QTest::keySequence(box, QKeySequence::Paste);
}

// The message boxes shown, a line each: "title: text".
inline std::string said(const RecordingDialogs &dialogs) {
    std::string lines;
    for (const auto &shown : dialogs.shown())
        lines += (lines.empty() ? "" : "\n") + shown.title + ": " + shown.text;
    return lines;
}

// Windows that delete themselves on close are gone after this.
inline void deleteClosedWindows() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace vantrell::testing
