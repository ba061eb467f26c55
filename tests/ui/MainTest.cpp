// The main window driven as the operator drives it: by object name, with the message boxes
// answered and read through the recording dialogs, in virtual time.
#include "cycle/CycleBench.h"

#include "config/ConfigFiles.h"
#include "config/PortFiles.h"
#include "config/SetupFiles.h"
#include "cycle/SessionTexts.h"
#include "general/Text.h"
#include "ui/DeviceSetupWindow.h"
#include "ui/FolderPicker.h"
#include "ui/Main.h"
#include "ui/SetupWindowBench.h"

#include <QFileSystemModel>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

namespace vantrell {
namespace {

using testing::CycleBench;

struct MainBench : CycleBench {
    explicit MainBench(std::array<int, 4> times = {-1, -1, -1, -1}, bool tray = true) {
        for (int s = 1; s <= 4; ++s) {
            station.scheduleTimes[std::size_t(s)] = std::to_string(times[std::size_t(s - 1)]);
            EXPECT_FALSE(ScheduleTimesFile(station).saveScheduleTime(s - 1).failed());
        }
        main.setTrayCheck([tray] { return tray; });
        main.setQuit([this] { ++quits; });
    }

    template <typename T> T *find(const char *name) {
        T *child = main.findChild<T *>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QComboBox *time(int k) { return find<QComboBox>(("cmbTime_" + std::to_string(k)).c_str()); }
    std::array<int, 4> lists() {
        return {time(0)->currentIndex(), time(1)->currentIndex(), time(2)->currentIndex(),
                time(3)->currentIndex()};
    }

    Main main{station, schedule};
    int quits = 0;
};

// The order rule's cases are the schedule time store's; here, what the window does with a time.
TEST(MainWindow, ScheduleTimesMustAscendWithoutGaps) {
    struct Row {
        const char *legend;
        std::array<int, 4> stored;
        int list;
        int hour;
        bool refused;
    };
    const Row rows[] = {
        {"12:00 after 06:00", {6, -1, -1, -1}, 1, 12, false},
        {"06:00 after 12:00", {12, -1, -1, -1}, 1, 6, true},
        {"a first time under a later one", {6, 12, -1, -1}, 0, 13, true},
        {"the fourth time after three", {1, 2, 3, -1}, 3, 23, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        MainBench b(row.stored);
        b.main.load();
        b.dialogs.clear();
        b.time(row.list)->setCurrentIndex(row.hour);

        std::array<int, 4> expected = row.stored;
        if (!row.refused)
            expected[std::size_t(row.list)] = row.hour;
        EXPECT_EQ(b.lists(), expected);
        EXPECT_EQ(testing::said(b.dialogs),
                  row.refused ? "Setting error: Schedule times must be different and sequential..."
                              : "");
        for (const auto &shown : b.dialogs.shown())
            EXPECT_EQ(shown.icon, DialogIcon::information);
        b.station.scheduleTimes = {};
        ASSERT_FALSE(ScheduleTimesFile(b.station).loadScheduleTimes().failed());
        EXPECT_EQ(valInt(b.station.scheduleTimes[std::size_t(row.list + 1)]),
                  expected[std::size_t(row.list)]);
    }
}

// An open properties dialog offers the schedule times as they stand, so an active device can
// always be given one of them. "Reset timetable" empties lists and file: the station is offline.
TEST(MainWindow, ThePropertiesDialogFollowsTheScheduleTimes) {
    MainBench b;
    b.main.load();
    emit b.main.propertiesRequested(1);
    PropertiesDialog *dialog = b.main.propertiesDialog();
    const auto boxes = [dialog] {
        std::string shown;
        for (int i = 0; i < 4; ++i) {
            const std::string n = "_" + std::to_string(i);
            shown += dialog->findChild<QLabel *>(("lblTime" + n).c_str())->text().toStdString();
            shown +=
                dialog->findChild<QCheckBox *>(("chkTime" + n).c_str())->isEnabled() ? "+|" : "-|";
        }
        return shown;
    };
    struct Step {
        const char *legend;
        std::function<void()> act;
        const char *shown;
    };
    const Step steps[] = {
        {"no time set", [] {}, "-|-|-|-|"},
        {"08:00 chosen", [&] { b.time(0)->setCurrentIndex(8); }, "08:00+|-|-|-|"},
        {"14:00 chosen", [&] { b.time(1)->setCurrentIndex(14); }, "08:00+|14:00+|-|-|"},
        {"the timetable reset",
         [&] {
             b.dialogs.clear();
             QTest::mouseClick(b.find<QPushButton>("cmdResetTime"), Qt::LeftButton);
             EXPECT_EQ(b.lists(), (std::array<int, 4>{-1, -1, -1, -1}));
             EXPECT_TRUE(b.dialogs.shown().empty());
             b.main.trayTick();
             EXPECT_EQ(b.main.tray().toolTip(), "Vantrell offline");
             b.station.scheduleTimes = {};
             ASSERT_FALSE(ScheduleTimesFile(b.station).loadScheduleTimes().failed());
             EXPECT_EQ(b.station.scheduleTimes, (ScheduleTimes{"-1", "-1", "-1", "-1"}));
         },
         "-|-|-|-|"},
        {"08:00 again", [&] { b.time(0)->setCurrentIndex(8); }, "08:00+|-|-|-|"},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.legend);
        step.act();
        EXPECT_EQ(boxes(), step.shown);
    }

    b.dialogs.clear();
    dialog->findChild<QLineEdit *>("txtSN_1")->setText("1234KV0126");
    for (const char *box : {"chkActive", "chkTime_0"})
        QTest::mouseClick(dialog->findChild<QCheckBox *>(box), Qt::LeftButton, {}, QPoint(6, 6));
    QTest::mouseClick(dialog->findChild<QToolButton *>("cmdAdd"), Qt::LeftButton);
    EXPECT_TRUE(b.dialogs.shown().empty());
    EXPECT_TRUE(b.station.devices[1].scheduledAt(1));
}

// The countdown counts down to a device that will be read; with none, the tip says so.
TEST(MainWindow, TheTooltipCountsDownOnlyToADeviceToRead) {
    struct Row {
        const char *legend;
        std::array<int, 4> times;
        const char *active; // device 1, scheduled at `time`; none: no device
        int time;
        const char *tip; // the whole tip, or the line under the date and time
    };
    const Row rows[] = {
        {"no device at all", {23, -1, -1, -1}, nullptr, 1, "No device to read"},
        {"no device, and the time has passed", {8, -1, -1, -1}, nullptr, 1, "No device to read"},
        {"an inactive device", {23, -1, -1, -1}, "0", 1, "No device to read"},
        {"an active device at a time not set", {23, -1, -1, -1}, "1", 2, "No device to read"},
        {"active at 23:00", {23, -1, -1, -1}, "1", 1, "Next connection in 13 Hours 55 Minutes"},
        {"no time set", {-1, -1, -1, -1}, "1", 1, "Vantrell offline"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        MainBench b(row.times);
        if (row.active) {
            DeviceRecord &d = b.configure(1, "locl0000", {"KV00000001"}, false);
            d[field::active] = row.active;
            d[field::scheduleSlot1 + row.time - 1] = "1";
        }
        ASSERT_FALSE(DeviceFile(b.station).saveDevice().failed());
        b.main.load();
        b.main.trayTick();
        const QStringList lines = b.main.tray().toolTip().split('\n');
        EXPECT_EQ(lines.back().toStdString(), row.tip);
    }
}

TEST(MainWindow, ReportAddressIsCheckedOnlyWhenTheReportIsOn) {
    struct Row {
        const char *legend;
        bool ticked;
        const char *typed;
        bool refused;
        const char *stored;
    };
    const Row rows[] = {
        {"at sign without a dot", true, "ops@example", true, ""},
        {"dot without an at sign", true, "ops.example.org", true, ""},
        {"blanks only", true, "   ", true, ""},
        {"a valid address is stored trimmed", true, "  ops@example.org ", false, "ops@example.org"},
        {"report off: any text is stored", false, "not an address", false, "not an address"},
        {"pasted breaks and tabs dropped", true, "ops@exa\r\nmple.org\t", false, "ops@example.org"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        MainBench b;
        b.main.load();
        b.dialogs.clear();
        b.find<QCheckBox>("chkReport")->setChecked(row.ticked);
        QLineEdit *box = b.find<QLineEdit>("txtReport");
        box->setText(row.typed);
        emit box->textEdited(box->text());
        QTest::mouseClick(b.find<QToolButton>("cmdSave"), Qt::LeftButton);

        EXPECT_EQ(testing::said(b.dialogs),
                  row.refused ? "Data error: Invalid e-mail address inserted" : "");
        ASSERT_FALSE(DeviceFile(b.station).loadDeviceTable().failed());
        for (int slot : {1, 50}) {
            EXPECT_EQ(b.station.devices[std::size_t(slot)][field::reportAddress], row.stored);
            EXPECT_EQ(b.station.devices[std::size_t(slot)].flag(field::reportEnabled),
                      !row.refused && row.ticked);
        }
    }
}

TEST(MainWindow, TrayMenuIconEventsAndCloses) {
    MainBench b;
    b.main.load();
    QStringList items;
    for (const QAction *action : b.main.tray().menu().actions())
        items << action->objectName() + ":" + (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(items.join('|'), "mnuOpen:Open Vantrell|separator:-|mnuExit:Exit");
    EXPECT_FALSE(b.main.isVisible());

    struct Row {
        const char *legend;
        QSystemTrayIcon::ActivationReason reason;
        bool windowShown;
        bool menuShown;
    };
    const Row rows[] = {
        {"a single left click does nothing", QSystemTrayIcon::Trigger, false, false},
        {"the right button's release opens the menu", QSystemTrayIcon::Context, false, true},
        {"a double click shows the window", QSystemTrayIcon::DoubleClick, true, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        b.main.hide();
        b.main.tray().activate(row.reason);
        EXPECT_EQ(b.main.isVisible(), row.windowShown);
        EXPECT_EQ(b.main.tray().menu().isVisible(), row.menuShown);
        b.main.tray().menu().hide();
    }

    // The close box and cmdExit hide the window to the tray; only Exit ends the program.
    ASSERT_TRUE(b.main.trayShown());
    QToolButton *exit = b.find<QToolButton>("cmdExit");
    struct Close {
        const char *legend;
        std::function<void()> act;
        bool visible;
        int quits;
    };
    const Close closes[] = {
        {"the close box hides", [&] { EXPECT_FALSE(testing::clickCloseBox(&b.main)); }, false, 0},
        {"cmdExit hides", [&] { QTest::mouseClick(exit, Qt::LeftButton); }, false, 0},
        {"Enter on cmdExit hides", [&] { QTest::keyClick(exit, Qt::Key_Return); }, false, 0},
        {"the close that quitting sends goes through", [&] { b.main.close(); }, false, 0},
        {"Open Vantrell shows the window", [&] { b.main.tray().openAction()->trigger(); }, true, 0},
        {"Exit ends the program", [&] { b.main.tray().exitAction()->trigger(); }, true, 1},
    };
    for (const Close &close : closes) {
        SCOPED_TRACE(close.legend);
        b.main.show();
        close.act();
        EXPECT_EQ(b.main.isVisible(), close.visible);
        EXPECT_EQ(b.quits, close.quits);
    }
    EXPECT_FALSE(b.main.tray().visible());
}

// Exit arrives while a device is being read (here from inside the session, as a click would
// through the window's event processing): the session ends as on a stop signal, leaves the
// device due, and only then does the program end.
TEST(MainWindow, ExitDuringASessionEndsTheSessionFirst) {
    MainBench b({9, -1, -1, -1});
    DeviceRecord &d = b.configure(1, "locl0000", {"KV00000001"}, false);
    d[field::scheduleSlot1] = "1";
    ASSERT_FALSE(DeviceFile(b.station).saveDevice().failed());
    b.port.attach(b.addLogger(testing::loggerWith("KV00000001", 5)));
    int quitsDuringSession = -1;
    b.forwarding.fails = [&](const std::string &, int) {
        if (quitsDuringSession < 0) {
            b.main.tray().exitAction()->trigger();
            quitsDuringSession = b.quits;
        }
        return false;
    };
    b.main.load();

    b.main.cycleTick();

    EXPECT_EQ(quitsDuringSession, 0);
    EXPECT_EQ(b.quits, 1);
    EXPECT_TRUE(b.progress.contains(sessionText::sessionStopped));
    EXPECT_FALSE(b.station.session.sessionRunning);
    EXPECT_EQ(b.mark(1, 1), "");
    EXPECT_FALSE(b.main.tray().visible());
}

// The operator stores device 1 while a session reads it (from inside the session's waits, as the
// window's events come there), and device 2 as well. Device 1's store waits for the session's
// end and the dialog says so; device 2's goes through at once, and reading the day's marks back
// from the file leaves the letter the session holds in memory ("M": no modem answered).
TEST(MainWindow, StoresOfTheDeviceBeingReadWaitForTheSessionsEnd) {
    // A device's field as the next start reads it; 0: the minimum of device 1's first channel.
    const auto stored = [](MainBench &b, int slot, int f) {
        return f == 0 ? testing::storedSetup(b.folder.path(), 1).at(1, setup::absMinimum)
                      : testing::storedDevice(b.folder.path(), slot)[f];
    };
    const auto click = [](QWidget *window, const char *name) {
        QTest::mouseClick(window->findChild<QAbstractButton *>(name), Qt::LeftButton);
    };
    const std::filesystem::path other = testing::TempFolder().path() / "other";
    struct Row {
        const char *legend;
        std::function<void(MainBench &, PropertiesDialog &)> store; // on device 1's dialog
        int field;
        std::string before, after;
    };
    const Row rows[] = {
        {"Insert record",
         [&](MainBench &, PropertiesDialog &d) {
             d.findChild<QLineEdit *>("txtDescription")->setText("edited");
             click(&d, "cmdAdd");
         },
         field::description, "", "edited"},
        {"Delete record",
         [&](MainBench &b, PropertiesDialog &d) {
             b.dialogs.setNextAnswer(DialogAnswer::yes);
             click(&d, "cmdDel");
         },
         field::connection, "0471123456", ""},
        {"Browse and Save",
         [&](MainBench &, PropertiesDialog &d) {
             click(&d, "cmdPath");
             auto *picker = d.findChild<FolderPicker *>("frmPath");
             auto *tree = picker->findChild<QTreeView *>("Dir1");
             std::filesystem::create_directories(other);
             tree->setCurrentIndex(qobject_cast<QFileSystemModel *>(tree->model())
                                       ->index(QString::fromStdString(other.string())));
             click(picker, "btnsave");
         },
         field::dataDirectory, "", other.string()},
        {"Setup closed",
         [&](MainBench &, PropertiesDialog &d) {
             click(&d, "cmdSetup_1");
             auto *setup = d.findChild<DeviceSetupWindow *>();
             setup->findChild<QLineEdit *>("txtMin_1")->setText("-12");
             click(setup, "cmdExit");
         },
         0, "", "-12"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        MainBench b({9, -1, -1, -1});
        DeviceRecord &read = b.configure(1, "0471123456", {"1234KV0126"}, false);
        read[field::scheduleSlot1] = "1";
        read[field::dataDirectory] = "";
        ASSERT_FALSE(DeviceFile(b.station).saveDevice().failed());
        b.main.load();
        b.dialogs.clear();
        QPointer<PropertiesDialog> dialog;
        b.world.after(6, [&] {
            ASSERT_EQ(b.station.deviceInSession(), 1);
            emit b.main.propertiesRequested(1);
            dialog = b.main.propertiesDialog();
            row.store(b, *dialog);
            EXPECT_EQ(stored(b, 1, row.field), row.before);
            auto *line = dialog->findChild<QLabel *>("lblHeld");
            EXPECT_TRUE(line->isVisibleTo(dialog));
            EXPECT_EQ(line->text(), "Device 1 is being read: its changes are stored when its "
                                    "session ends");

            click(dialog, "cmdNext");
            dialog->findChild<QLineEdit *>("txtSN_1")->setText("1234KV0126");
            dialog->findChild<QLineEdit *>("txtDescription")->setText("second");
            click(dialog, "cmdAdd");
            EXPECT_EQ(stored(b, 2, field::description), "second");
            EXPECT_EQ(b.station.deviceInSession(), 1);
        });

        b.main.cycleTick();

        ASSERT_FALSE(b.station.deviceInSession());
        EXPECT_EQ(stored(b, 1, row.field), row.after);
        for (const auto &shown : b.dialogs.shown())
            EXPECT_EQ(shown.icon, DialogIcon::question) << shown.text; // the delete's question
        ASSERT_FALSE(DailyMarksFile(b.station).loadDailyMarks().failed());
        EXPECT_EQ(b.mark(1, 1), "M");
        ASSERT_NE(dialog, nullptr);
        EXPECT_FALSE(dialog->findChild<QLabel *>("lblHeld")->isVisibleTo(dialog));
    }
}

TEST(MainWindow, ASettingTheDiskRefusesIsReportedAndUndone) {
    MainBench b({6, -1, -1, -1});
    b.main.load();
    b.dialogs.clear();
    // A folder where the device file should be: it can be neither read nor replaced.
    std::filesystem::remove(b.folder.path() / files::deviceProperties);
    std::filesystem::create_directory(b.folder.path() / files::deviceProperties);
    std::filesystem::remove(b.folder.path() / files::scheduleTimes);
    std::filesystem::create_directory(b.folder.path() / files::scheduleTimes);

    b.find<QCheckBox>("chkReport")->setChecked(true);
    b.find<QLineEdit>("txtReport")->setText("ops@example.org");
    QTest::mouseClick(b.find<QToolButton>("cmdSave"), Qt::LeftButton);
    b.time(1)->setCurrentIndex(12);

    ASSERT_EQ(b.dialogs.shown().size(), 2u);
    for (const auto &shown : b.dialogs.shown())
        EXPECT_EQ(shown.title, "Configuration");
    EXPECT_EQ(b.station.devices[1][field::reportAddress], "");
    EXPECT_EQ(b.station.scheduleTimes[2], "-1");
    EXPECT_EQ(b.time(1)->currentIndex(), -1);
}

TEST(MainWindow, PortListsStoreTheChoiceAndShowTheDevice) {
    struct Row {
        const char *legend;
        const char *list;
        const char *deviceLabel;
        const char *file;
        int position;
        const char *device;
    };
    const Row rows[] = {
        {"line on Com 3, a port of the map", "cmbPort", "lblComDevice", files::portChoice, 2,
         "/dev/ttyS2"},
        {"modem on Com 12, beyond the map", "cmbModemPort", "lblModemDevice",
         files::modemPortChoice, 11, "/dev/ttyS11"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        MainBench b;
        b.main.load();
        EXPECT_EQ(b.find<QComboBox>(row.list)->count(), 255);
        EXPECT_EQ(b.find<QComboBox>(row.list)->itemText(0), "Com 1");
        EXPECT_EQ(b.find<QLabel>(row.deviceLabel)->text(), "/dev/ttyS0");

        b.find<QComboBox>(row.list)->setCurrentIndex(row.position);

        EXPECT_EQ(b.file(row.file), portFileBytes(row.position));
        EXPECT_EQ(b.find<QLabel>(row.deviceLabel)->text(), row.device);
        const bool modem = std::string(row.list) == "cmbModemPort";
        EXPECT_EQ(modem ? b.station.modemPortNumber : b.station.linePortNumber, row.position + 1);
    }
}

TEST(MainWindow, APortThatCannotBeOpenedIsReportedOnceAndTheProgramRuns) {
    MainBench b({6, -1, -1, -1});
    ASSERT_FALSE(storePortChoice(b.folder.path() / files::portChoice, 1).failed());
    b.main.load();
    ASSERT_EQ(testing::said(b.dialogs),
              "Serial port: The port is not valid\nport 2 (simulated line): no such device");
    EXPECT_EQ(b.dialogs.shown()[0].icon, DialogIcon::critical);
    EXPECT_EQ(b.find<QComboBox>("cmbPort")->currentIndex(), 1);
    EXPECT_EQ(b.time(0)->currentIndex(), 6);
    EXPECT_EQ(b.quits, 0);
}

TEST(MainWindow, WithoutANotificationAreaTheWindowShowsTheCountdown) {
    MainBench b({23, -1, -1, -1}, false);
    b.configure(1, "locl0000", {"KV00000001"}, false)[field::scheduleSlot1] = "1";
    ASSERT_FALSE(DeviceFile(b.station).saveDevice().failed());
    b.main.load();
    ASSERT_EQ(b.dialogs.shown().size(), 1u);
    EXPECT_TRUE(b.main.isVisible());
    b.main.trayTick();
    EXPECT_TRUE(b.find<QLabel>("lblCountdown")->text().contains("Next connection in 13 Hours"))
        << b.find<QLabel>("lblCountdown")->text().toStdString();
    b.main.trayTick();
    EXPECT_EQ(b.dialogs.shown().size(), 1u);
    // Nothing to hide into: the close box leaves the window reachable.
    EXPECT_FALSE(testing::clickCloseBox(&b.main));
    EXPECT_TRUE(b.main.isVisible());
    QTest::mouseClick(b.find<QPushButton>("cmdQuit"), Qt::LeftButton);
    EXPECT_EQ(b.quits, 1);
}

TEST(MainWindow, PhoneListRowsTheirOpeningAndTheFreeRowSearch) {
    MainBench b;
    b.configure(1, "0231555", {"KV00000001"}, false)[field::description] = "Dam";
    b.configure(2, "locl0000", {"KV00000002"}, false)[field::active] = "0";
    b.configure(3, "netw0211", {"KV00000001"}, false)[field::active] = "0";
    for (int slot : {1, 2, 3}) {
        b.station.selectedDevice = slot;
        ASSERT_FALSE(DeviceFile(b.station).saveDevice().failed());
    }
    b.main.load();
    auto *grid = b.find<TelGrid>("TelGrid");
    EXPECT_EQ(grid->cell(1, 0), "X");
    EXPECT_EQ(grid->cell(1, 1), "0231555");
    EXPECT_EQ(grid->cell(1, 2), "Dam");
    EXPECT_EQ(grid->cell(2, 1), "") << "an inactive local device shows no connection";
    EXPECT_EQ(grid->cell(3, 0), "");
    EXPECT_EQ(grid->cell(3, 1), "netw0211");
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "Phone no.");
    EXPECT_EQ(b.main.findFreeRow(), 4) << "yet its record is not free";

    QSignalSpy opened(&b.main, &Main::propertiesRequested);
    b.main.show();
    const QRect cell = grid->visualItemRect(grid->item(2, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0][0].toInt(), 3);
    EXPECT_EQ(b.station.selectedDevice, 3);
    ASSERT_NE(b.main.propertiesDialog(), nullptr);
    EXPECT_TRUE(b.main.propertiesDialog()->isVisible());
    EXPECT_EQ(b.main.propertiesDialog()->objectName(), "frmProperties");
    b.main.propertiesDialog()->close();
    testing::deleteClosedWindows();

    // From the keyboard: the arrows move the current record, Enter and Space open it as a double
    // click does, and Tab leaves the list for the exit button.
    opened.clear();
    grid->setFocus();
    grid->setCurrentCell(0, 1);
    struct Step {
        const char *legend;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int selected;
        int openings;
    };
    for (const Step &step :
         {Step{"down", Qt::Key_Down, {}, 2, 0}, Step{"down again", Qt::Key_Down, {}, 3, 0},
          Step{"up", Qt::Key_Up, {}, 2, 0}, Step{"Enter", Qt::Key_Return, {}, 2, 1},
          Step{"Space", Qt::Key_Space, {}, 2, 2},
          Step{"Ctrl+End", Qt::Key_End, Qt::ControlModifier, 50, 2},
          Step{"keypad Enter", Qt::Key_Enter, {}, 50, 3}}) {
        SCOPED_TRACE(step.legend);
        QTest::keyClick(grid, step.key, step.modifiers);
        EXPECT_EQ(b.station.selectedDevice, step.selected);
        EXPECT_EQ(opened.size(), step.openings);
    }
    ASSERT_NE(b.main.propertiesDialog(), nullptr);
    EXPECT_EQ(b.main.propertiesDialog()->record(), 50);
    b.main.propertiesDialog()->close();
    testing::deleteClosedWindows();
    b.main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&b.main));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), b.find<QToolButton>("cmdExit"));

    for (int slot = 1; slot <= maxDevices; ++slot)
        b.station.devices[std::size_t(slot)][field::connection] = "0231555";
    b.main.refreshGrid();
    b.dialogs.clear();
    EXPECT_EQ(b.main.findFreeRow(), std::nullopt);
    EXPECT_EQ(testing::said(b.dialogs), " Dial-up memory : ATTENTION: Auto dialig number list is "
                                        "full \r\n    Delete a number to store a new one     ");
}

// A double click on another row replaces the open properties dialog, but only once its unsaved
// edits are stored or dropped; kept, the dialog stays with them.
TEST(MainWindow, ReopeningThePropertiesDialogAsksAboutItsEditsFirst) {
    for (const DialogAnswer answer : {DialogAnswer::cancel, DialogAnswer::no}) {
        MainBench b;
        b.main.load();
        emit b.main.propertiesRequested(1);
        QPointer<PropertiesDialog> first = b.main.propertiesDialog();
        QLineEdit *description = first->findChild<QLineEdit *>("txtDescription");
        QTest::keyClicks(description, "edited");
        b.dialogs.clear();
        b.dialogs.setNextAnswer(answer);

        b.station.selectedDevice = 4;
        emit b.main.propertiesRequested(4);
        testing::deleteClosedWindows();

        ASSERT_EQ(b.dialogs.shown().size(), 1u);
        EXPECT_EQ(b.dialogs.shown()[0].title, "Phone list update");
        const bool kept = answer == DialogAnswer::cancel;
        EXPECT_EQ(first.isNull(), !kept);
        ASSERT_NE(b.main.propertiesDialog(), nullptr);
        EXPECT_EQ(b.main.propertiesDialog()->record(), kept ? 1 : 4);
        EXPECT_EQ(b.station.devices[1][field::description], "");
    }
}

// A modem port that does not exist is said on the progress line, never in a box that waits for
// a click: the next device is read at the next tick.
TEST(MainWindow, AMissingModemPortStopsNoSchedule) {
    MainBench b({9, -1, -1, -1});
    for (int slot : {1, 2}) {
        DeviceRecord &d =
            b.configure(slot, "0211010255", {"KV0000000" + std::to_string(slot)}, true);
        d[field::scheduleSlot1] = "1";
    }
    b.saveConfiguration();
    b.main.load();
    b.station.linePortNumber = 2; // the simulated line is port 1
    b.main.cycleTick();
    EXPECT_EQ(b.mark(1, 1), "M");
    b.main.cycleTick();
    EXPECT_EQ(b.mark(2, 1), "M");
    EXPECT_TRUE(b.dialogs.shown().empty());
    const auto texts = b.progress.texts(ProgressLine::detail);
    EXPECT_EQ(
        std::count_if(texts.begin(), texts.end(),
                      [](const std::string &t) { return t.starts_with("Modem error: port 2"); }),
        6); // three attempts of each device
}

} // namespace
} // namespace vantrell
