// The device properties dialog driven as the operator drives it: by the controls' names, with
// the message boxes recorded. What counts is what reaches the table, prop.xml and the phone list.
#include "ui/PropertiesDialog.h"

#include "PropertiesBench.h"
#include "config/ScheduleFiles.h"
#include "ui/DefaultTextBox.h"
#include "ui/DeviceSetupWindow.h"
#include "ui/FolderPicker.h"
#include "ui/QtText.h"
#include "ui/SetupWindowBench.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace vantrell::testing {
namespace {

using Edit = std::function<void(PropertiesBench &)>;

// The FTP boxes' defaults are real texts: kept, they are stored as they stand.
constexpr const char *defaultHost = "ftp.example.com";
constexpr const char *defaultRoot = "/ForwardData";

void forwardBy(PropertiesBench &b, const char *kind) {
    b.click("chkForward");
    b.click(kind);
}

// A valid device is filled in on record 3, then changed; refused, nothing is stored and the focus
// is back on the control at fault; stored, it goes into the lowest free record and shows again.
TEST(Properties, InsertRecordRefusesOrStoresTheCodedRecord) {
    const char *ftp = "chkForward optFdType_1";
    const char *mail = "chkForward optFdType_0";
    const char *ftpMissing = "FTP address or root missing";
    const char *mailIncorrect = "Mail address incorrect";
    struct Row {
        const char *legend;
        const char *clicks;  // names, between blanks
        const char *control; // then given `text`, if any
        QString text;
        std::string error; // a data error, with the focus back on `control` (or the last click)
        std::string connection = {}, forwardAddress = defaultHost, root = defaultRoot; // stored
    };
    const Row rows[] = {
        {"remote device with a blank phone: silently", "optCommType_1", "txtPhone", "   ", ""},
        {"phone with an inner blank", "optCommType_1", "txtPhone", "0471 123",
         "The phone number inserted is not correct"},
        {"no serial number at all", "", "txtSN_1", "", "No serial number is inserted"},
        {"the second serial number wrong", "chkSwitch", "txtSN_2", "KV12345678",
         "The serial number inserted is not correct"},
        {"active without a schedule time", "chkTime_0", nullptr, "",
         "Select at least one scheduled time"},
        {"FTP host in capitals", ftp, "txtAddress", "FTP.example.com", ftpMissing},
        {"FTP with a blank root", ftp, "txtDirectory", " ", ftpMissing},
        {"FTP root without its leading slash", ftp, "txtDirectory", "data",
         "Root directory address incorrect"},
        {"mail address without @", mail, "txtMail", "ops.example.com", mailIncorrect},
        {"mail address without a dot", mail, "txtMail", "ops@example", mailIncorrect},
        {"a tab pasted into the phone number", "optCommType_1", "txtPhone", "0471\t123",
         "Phone no.: the text holds a control character (a line break, a tab or similar)"},
        {"local line without switch network", "", nullptr, "", "", "locl0000"},
        {"network 01, section 11", "chkNetwork", "cmbSection", "11", "", "netw0111"},
        {"telephone number as typed", "optCommType_1", "txtPhone", "0471123456", "", "0471123456"},
        {"FTP backslashes become slashes", ftp, "txtDirectory", "\\data\\in", "", "locl0000",
         defaultHost, "/data/in"},
        {"FTP with both defaults kept", ftp, nullptr, "", "", "locl0000"},
        {"mail", mail, "txtMail", "ops@example.org", "", "locl0000", "ops@example.org"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        PropertiesBench b;
        b.open(3);
        b.fillValidDevice();
        const QStringList clicks = QString(row.clicks).split(' ', Qt::SkipEmptyParts);
        for (const QString &name : clicks)
            b.click(name.toLatin1().constData());
        if (row.control)
            b.set(row.control, row.text);
        const std::string before = b.propBytes();

        b.click("cmdAdd");

        EXPECT_EQ(b.messages(), row.error.empty() ? "" : "Data error: " + row.error);
        if (row.connection.empty()) {
            if (!row.error.empty()) {
                ASSERT_NE(b.dialog->focusWidget(), nullptr);
                EXPECT_EQ(b.dialog->focusWidget()->objectName(),
                          row.control ? QString(row.control) : clicks.back());
            }
            EXPECT_TRUE(b.propBytes() == before) << "prop.xml changed";
            EXPECT_TRUE(b.station.devices.at(1).isFree() && b.station.devices.at(3).isFree());
            EXPECT_EQ(b.list.refreshes, 0);
            continue;
        }
        const DeviceRecord stored = b.stored(1);
        EXPECT_EQ(stored.connection(), row.connection);
        EXPECT_EQ(stored[field::forwardAddress], row.forwardAddress);
        EXPECT_EQ(stored[field::ftpRootDirectory], row.root);
        EXPECT_EQ(b.station.dailyMarks.at(1, 1), "X");
        EXPECT_EQ(b.list.refreshes, 1);

        // Paging away and back shows the record as stored.
        b.click("cmdNext");
        b.click("cmdPrevious");
        EXPECT_EQ(b.get<QLabel>("lblSelRow")->text().toInt(), 1);
        EXPECT_EQ(b.get<QLineEdit>("txtPhone")->text().toStdString(), row.connection);
        EXPECT_EQ(b.get<QLineEdit>("txtDirectory")->text().toStdString(), row.root);
        const bool network = row.connection.starts_with("netw");
        EXPECT_EQ(b.get<QCheckBox>("chkNetwork")->isChecked(), network);
        if (network) {
            EXPECT_EQ("netw" + stdtext(b.get<QComboBox>("cmbNetwork")->currentText() +
                                       b.get<QComboBox>("cmbSection")->currentText()),
                      row.connection);
        }
    }
}

TEST(Properties, NewDevicesFillTheLowestFreeRowExistingOnesStay) {
    struct Row {
        const char *legend;
        std::vector<int> devices; // slots that hold a device before the insert
        int edited;
        int gridSelection; // the row the phone list selects while the dialog is open
        int storedAt;
    };
    const Row rows[] = {
        {"a new device moves down to the first gap", {1, 2, 3, 4}, 7, 7, 5},
        {"an existing device stays in its row", {1, 2, 3, 4, 7}, 7, 7, 7},
        {"a new device in the first free row stays", {1, 2}, 3, 3, 3},
        {"the record on show is stored, not the row selected since", {1, 2, 7}, 7, 2, 7},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        PropertiesBench b;
        for (int slot : row.devices)
            b.keepDevice(slot, "0471" + std::to_string(slot), "station " + std::to_string(slot));
        b.open(row.edited);
        b.station.selectedDevice = row.gridSelection;
        b.type("txtDescription", "edited");
        for (const char *box : {"chkActive", "chkTime_0"})
            if (!b.get<QCheckBox>(box)->isChecked())
                b.click(box);
        b.type("txtSN_1", "1234KV0126");

        b.click("cmdAdd");

        ASSERT_EQ(b.messages(), "");
        EXPECT_EQ(b.stored(row.storedAt)[field::description], "edited");
        EXPECT_EQ(b.get<QLabel>("lblSelRow")->text().toInt(), row.storedAt);
        EXPECT_EQ(b.station.selectedDevice, row.storedAt);
        for (int slot : row.devices)
            if (slot != row.storedAt) {
                EXPECT_EQ(b.stored(slot)[field::description], "station " + std::to_string(slot));
            }
    }
}

// The phone list shows a deactivated local device with a blank connection, as it shows a free
// record; the next new device still goes into a record of its own.
TEST(Properties, ADeactivatedLocalDeviceKeepsItsRecord) {
    PropertiesBench b;
    b.keepDevice(1, "locl0000", "pump house");
    b.open(1);
    b.click("chkActive");
    b.click("cmdAdd");
    b.click("cmdNext");
    b.fillValidDevice();
    b.type("txtDescription", "new device");

    b.click("cmdAdd");

    EXPECT_EQ(b.messages(), "");
    EXPECT_EQ(b.get<QLabel>("lblSelRow")->text().toInt(), 2);
    const DeviceRecord kept = b.stored(1);
    EXPECT_EQ(kept[field::description], "pump house");
    EXPECT_EQ(kept[field::active], "0");
    EXPECT_EQ(kept.serialNumber(1), "1234KV0126");
    EXPECT_EQ(b.stored(2)[field::description], "new device");
}

TEST(Properties, DeleteBlanksTheRecordOnlyWhenTheOperatorSaysYes) {
    for (const DialogAnswer answer : {DialogAnswer::no, DialogAnswer::yes}) {
        PropertiesBench b;
        b.keepDevice(3, "0471333", "station 3");
        b.station.devices.at(3)[field::dataDirectory] = "/srv/data";
        b.station.devices.at(3)[field::alarmAddress] = "ops@example.com";
        EXPECT_FALSE(DeviceFile(b.station).saveDevice().failed());
        b.open(3);
        b.bench.dialogs.setNextAnswer(answer);

        b.click("cmdDel");

        ASSERT_EQ(b.messages(), "Phone list update: Are you sure you want to delete this record?");
        const DeviceRecord stored = b.stored(3);
        const bool deleted = answer == DialogAnswer::yes;
        EXPECT_EQ(stored.connection(), deleted ? "" : "0471333");
        EXPECT_EQ(stored.isFree(), deleted);
        EXPECT_EQ(stored[field::dataDirectory], deleted ? "" : "/srv/data");
        EXPECT_EQ(stored[field::alarmAddress], "ops@example.com") << "alarm settings stay";
        EXPECT_EQ(b.list.refreshes, deleted ? 1 : 0);
    }
}

// "<", ">", Exit, the close box and Esc leave the record on show: its unsaved edits are stored
// (Yes, through the checks of "Insert record"), dropped (No) or kept on screen (Cancel).
TEST(Properties, UnsavedEditsAreStoredDroppedOrKeptAsTheOperatorAnswers) {
    using Leave = std::function<void(PropertiesBench &)>;
    const Leave next = [](PropertiesBench &b) { b.click("cmdNext"); };
    const Leave exitButton = [](PropertiesBench &b) { b.click("cmdExit"); };
    const Leave closeBox = [](PropertiesBench &b) { clickCloseBox(b.dialog.get()); };
    const Leave escape = [](PropertiesBench &b) {
        QTest::keyClick(b.get<QLineEdit>("txtDescription"), Qt::Key_Escape);
    };
    struct Row {
        const char *legend;
        Leave leave;
        Edit edit; // nothing: the record is left as loaded
        std::optional<DialogAnswer> answer;
        int shown; // 0: the dialog closed
        const char *storedDescription;
        std::size_t messages;
    };
    const Edit describe = [](PropertiesBench &b) { b.type("txtDescription", "edited"); };
    const Edit badSerial = [](PropertiesBench &b) {
        b.type("txtDescription", "edited");
        b.type("txtSN_1", "KV12345678");
    };
    using enum DialogAnswer;
    const Row rows[] = {
        {"> without edits: no question", next, nullptr, std::nullopt, 8, "seven", 0},
        {"> and Yes: stored, then the next record", next, describe, yes, 8, "edited", 1},
        {"> and No: dropped, then the next record", next, describe, no, 8, "seven", 1},
        {"> and Cancel: the edit stays on screen", next, describe, cancel, 7, "seven", 1},
        {"Yes, and the check refuses the serial: stays", next, badSerial, yes, 7, "seven", 2},
        {"Exit and Yes: stored and closed", exitButton, describe, yes, 0, "edited", 1},
        {"the close box and No: closed, not stored", closeBox, describe, no, 0, "seven", 1},
        {"Esc and Cancel: stays open", escape, describe, cancel, 7, "seven", 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        PropertiesBench b;
        b.keepDevice(7, "0471", "seven");
        b.keepDevice(8, "0472", "eight");
        b.open(7);
        if (row.edit)
            row.edit(b);
        if (row.answer)
            b.bench.dialogs.setNextAnswer(*row.answer);

        row.leave(b);

        ASSERT_EQ(b.bench.dialogs.shown().size(), row.messages);
        if (row.answer) {
            EXPECT_TRUE(b.messages().starts_with("Phone list update: This record has changes that "
                                                 "are not stored yet.\nStore them before leaving "
                                                 "the record?"));
            EXPECT_EQ(b.bench.dialogs.shown()[0].icon, DialogIcon::question);
        }
        EXPECT_EQ(b.dialog->isVisible(), row.shown != 0);
        if (row.shown != 0) {
            EXPECT_EQ(b.get<QLabel>("lblSelRow")->text().toInt(), row.shown);
        }
        EXPECT_EQ(b.stored(7)[field::description], row.storedDescription);
        EXPECT_EQ(b.station.devices.at(7)[field::description], row.storedDescription);
    }
}

// Paging stops at both ends (paging in the middle and the record it shows are the unsaved edits'
// cases). An existing file locks the memory reset, a new file frees it. A box takes no more than
// its field holds; nothing is refused later for its length.
TEST(Properties, PagingEndsSavingModeAndLengthLimits) {
    PropertiesBench b;
    for (const auto &[end, button] : {std::pair{1, "cmdPrevious"}, std::pair{50, "cmdNext"}}) {
        b.open(end);
        b.click(button);
        EXPECT_EQ(b.get<QLabel>("lblSelRow")->text().toInt(), end) << button;
    }
    EXPECT_TRUE(b.messages().empty());
    for (const auto &[option, existing] :
         {std::pair{"optSaving_1", true}, std::pair{"optSaving_0", false}}) {
        b.click(option);
        EXPECT_EQ(b.get<QCheckBox>("chkMemory")->isChecked(), existing) << option;
        EXPECT_EQ(b.get<QGroupBox>("FrameMemory")->isEnabled(), !existing) << option;
    }
    b.click("optCommType_1");
    b.click("chkSwitch");
    for (const auto &[name, limit] : {std::pair{"txtPhone", 20}, std::pair{"txtSN_1", 10},
                                      std::pair{"txtSN_8", 10}, std::pair{"txtDescription", 50}}) {
        b.type(name, QString(limit + 5, QChar('7')));
        EXPECT_EQ(b.get<QLineEdit>(name)->text(), QString(limit, QChar('7'))) << name;
    }
}

// The FTP boxes offer their defaults in the inactive colour; the first edit replaces the default,
// and a box left empty offers it again. A stored value shows in the normal colour, and every
// forwarding box shows the record on show, never the one paged away from.
TEST(Properties, FtpBoxesOfferTheirDefaultsUntilTheFirstEdit) {
    PropertiesBench b;
    b.keepDevice(2, "0471", "stored /in");
    b.station.devices.at(2)[field::ftpRootDirectory] = "/in";
    test::setFields(b.station.devices.at(1), "forwardEnabled=1 forwardKind=1 forwardUser=first "
                                             "forwardAddress=ftp.first.example "
                                             "forwardPassword=secret");
    b.open(1);
    b.dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(b.dialog.get()));
    EXPECT_TRUE(b.get<QGroupBox>("FrameFTP")->isVisible());
    EXPECT_FALSE(b.get<QGroupBox>("FrameForwardTop")->isVisible());
    auto *directory = b.get<DefaultTextBox>("txtDirectory");
    const auto inactive = [&] {
        return directory->palette().color(QPalette::Text) ==
               directory->palette().color(QPalette::PlaceholderText);
    };
    const auto leave = [&] { b.get<QLineEdit>("txtUser")->setFocus(); };
    EXPECT_EQ(b.get<QLineEdit>("txtAddress")->text(), "ftp.first.example");
    EXPECT_EQ(directory->text(), defaultRoot);
    EXPECT_TRUE(directory->showsDefault() && inactive());

    struct Step {
        const char *legend;
        std::function<void()> act;
        const char *shown;
        bool isDefault;
    };
    const Step steps[] = {
        {"typing replaces the default", [&] { QTest::keyClicks(directory, "/in"); }, "/in", false},
        {"moving the cursor keeps the default",
         [&] {
             directory->showValue({});
             QTest::keyClick(directory, Qt::Key_Left);
         },
         defaultRoot, true},
        {"Backspace empties the box", [&] { QTest::keyClick(directory, Qt::Key_Backspace); }, "",
         false},
        {"left empty, the box offers the default again", leave, defaultRoot, true},
        {"a paste replaces the default", [&] { paste(directory, "/pasted"); }, "/pasted", false},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.legend);
        directory->setFocus();
        step.act();
        EXPECT_EQ(directory->text(), step.shown);
        EXPECT_EQ(directory->showsDefault(), step.isDefault);
        EXPECT_EQ(inactive(), step.isDefault);
    }

    b.bench.dialogs.setNextAnswer(DialogAnswer::no);
    b.click("cmdNext");
    EXPECT_EQ(b.bench.dialogs.shown().size(), 1u) << "the edits were left behind";
    EXPECT_EQ(directory->text(), "/in");
    EXPECT_FALSE(directory->showsDefault() || inactive());
    EXPECT_TRUE(b.get<QGroupBox>("FrameForwardTop")->isVisible());
    for (const char *box : {"txtUser", "txtPass", "txtMail"})
        EXPECT_EQ(b.get<QLineEdit>(box)->text(), "") << box;
    EXPECT_EQ(b.get<QLineEdit>("txtAddress")->text(), defaultHost);
    EXPECT_TRUE(b.get<DefaultTextBox>("txtAddress")->showsDefault());
}

// Enter in a box must not press a button the operator never chose: no dialog has a default
// button, so nothing opens and nothing is stored. A picture button with the focus is pressed by
// Enter (either key) as by Space.
TEST(Properties, EnterPressesOnlyAPictureButtonWithTheFocus) {
    PropertiesBench b;
    b.open(1);
    b.fillValidDevice();
    forwardBy(b, "optFdType_1");
    const std::string before = b.propBytes();
    for (const char *name : {"txtDescription", "txtSN_1", "txtAddress", "txtAlarm"}) {
        QLineEdit *box = b.get<QLineEdit>(name);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Enter);
        EXPECT_TRUE(b.dialog->isVisible()) << name;
    }
    EXPECT_TRUE(b.dialog->findChildren<QDialog *>().empty());
    EXPECT_TRUE(b.propBytes() == before);
    for (const QPushButton *button : b.dialog->findChildren<QPushButton *>())
        EXPECT_FALSE(button->isDefault() || button->autoDefault()) << button->objectName().data();

    int stores = 0;
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        QTest::keyClick(b.get<QToolButton>("cmdAdd"), key);
        EXPECT_EQ(b.list.refreshes, ++stores) << "Insert record by key " << key;
    }
    QTest::keyClick(b.get<QToolButton>("cmdExit"), Qt::Key_Return);
    EXPECT_FALSE(b.dialog->isVisible());
    EXPECT_TRUE(b.messages().empty());
}

// Whatever the forward frame shows, the dialog is as large as that needs and no larger: no blank
// band stays behind when the FTP frame hides. The cover says once that the section is off, and
// what it covers takes no focus, so Space cannot choose a forwarding kind nobody sees.
TEST(Properties, TheDialogFitsWhatItShowsAsFramesComeAndGo) {
    PropertiesBench b;
    b.open(1);
    QCoreApplication::sendPostedEvents();
    const QSize closed = b.dialog->size();
    const auto notAvailable = [&] {
        int shown = 0;
        for (const QLabel *label : b.dialog->findChildren<QLabel *>())
            shown +=
                label->isVisible() && label->text().startsWith("This section is not available");
        return shown;
    };
    struct Step {
        const char *legend;
        const char *click;
        int notAvailableShown;
    };
    for (const Step &step :
         {Step{"forwarding off", nullptr, 1}, Step{"on", "chkForward", 0},
          Step{"by FTP", "optFdType_1", 0}, Step{"by mail", "optFdType_0", 0},
          Step{"by FTP again", "optFdType_1", 0}, Step{"off", "chkForward", 1}}) {
        SCOPED_TRACE(step.legend);
        if (step.click)
            b.click(step.click);
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(b.dialog->size(), b.dialog->sizeHint());
        EXPECT_EQ(notAvailable(), step.notAvailableShown);
        for (const char *covered : {"optFdType_0", "optFdType_1", "txtMail", "txtAddress"})
            EXPECT_EQ(b.get<QWidget>(covered)->isEnabled(), step.notAvailableShown == 0) << covered;
    }
    EXPECT_EQ(b.dialog->size(), closed);

    // Its tallest frame (FTP) and the line of a held store still fit a 1366 x 768 screen at
    // 125 %, of which a title bar and a panel leave 1093 x 560 logical pixels.
    forwardBy(b, "optFdType_1");
    b.get<QLabel>("lblHeld")->show();
    QCoreApplication::sendPostedEvents();
    EXPECT_LE(b.dialog->width(), 1093);
    EXPECT_LE(b.dialog->height(), 560);
}

// A second "Setup" for a logger while its window loads (about three seconds of the station's
// pauses) or is open brings that window forward; the dialog closing closes them, and they store.
// "Browse" opens the folder picker on the record on show, whatever the list selected since.
TEST(Properties, SetupOpensOncePerLoggerAndStoresWhenTheDialogCloses) {
    PropertiesBench b;
    b.open(4);
    b.station.selectedDevice = 9;
    b.click("cmdPath");
    ASSERT_NE(b.dialog->findChild<FolderPicker *>("frmPath"), nullptr);
    EXPECT_EQ(b.station.selectedDevice, 4);
    std::optional<Qt::CursorShape> cursorWhileLoading;
    b.bench.world.after(0.5, [&] {
        if (const QCursor *cursor = QGuiApplication::overrideCursor())
            cursorWhileLoading = cursor->shape();
        b.click("cmdSetup_1");
    });

    b.click("cmdSetup_1");

    EXPECT_EQ(cursorWhileLoading, Qt::BusyCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    const auto windows = [&] { return b.dialog->findChildren<DeviceSetupWindow *>(); };
    ASSERT_EQ(windows().size(), 1);
    EXPECT_TRUE(windows()[0]->isVisible());
    b.click("cmdSetup_1");
    EXPECT_EQ(windows().size(), 1);
    b.click("cmdSetup_2");
    EXPECT_EQ(windows().size(), 2);

    QLineEdit *minimum = windows()[0]->findChild<QLineEdit *>("txtMin_3");
    minimum->clear();
    QTest::keyClicks(minimum, "-12");
    clickCloseBox(b.dialog.get());
    deleteClosedWindows();

    EXPECT_TRUE(windows().empty());
    EXPECT_EQ(storedSetup(b.folder.path(), 4).at(3, setup::absMinimum), "-12");
    EXPECT_TRUE(b.messages().empty());
}

// The demo's device, stored by vantrelld device set, is one the dialog stores as it is shown:
// the command line and the dialog agree on what a record may be.
TEST(Properties, TheDemoRecordStoresAsShown) {
    PropertiesBench b;
    const std::string command =
        "bash -c '. " VANTRELL_SOURCE_DIR
        "/scripts/demo-station.sh && configure_demo_station " VANTRELL_BINARY_DIR
        "/app/vantrelld \"$0\" /dev/null 127.0.0.1:25 8' '" +
        b.folder.path().string() + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_FALSE(DeviceFile(b.station).loadDeviceTable().failed());
    ASSERT_FALSE(ScheduleTimesFile(b.station).loadScheduleTimes().failed());
    const DeviceRecord demo = b.station.devices.at(1);
    b.open(1);

    b.click("cmdAdd");

    EXPECT_EQ(b.messages(), "");
    // The demo forwards by mail; its FTP root is empty, and the dialog offers the default there.
    DeviceRecord expected = demo;
    expected[field::ftpRootDirectory] = defaultRoot;
    const DeviceRecord stored = b.stored(1);
    for (int f = field::active; f <= field::lastWritten; ++f)
        EXPECT_EQ(stored[f], expected[f]) << "field " << f;
}

TEST(Properties, ASaveThatFailsKeepsTableListAndFileAsTheyWere) {
    for (const bool diskFull : {false, true}) {
        SCOPED_TRACE(diskFull ? "a disk that takes no more bytes" : "prop.xml gone");
        PropertiesBench b;
        b.open(1);
        b.fillValidDevice();
        const std::string before = b.propBytes();
        {
            std::optional<FullDisk> disk;
            if (diskFull)
                disk.emplace();
            else
                std::filesystem::remove(b.folder.path() / "prop.xml");
            b.click("cmdAdd");
        }

        ASSERT_EQ(b.bench.dialogs.shown().size(), 1u);
        EXPECT_TRUE(b.messages().starts_with("Phone list update: The record could not be saved"));
        EXPECT_TRUE(b.station.devices.at(1).isFree());
        EXPECT_EQ(b.list.refreshes, 0);
        EXPECT_TRUE(diskFull ? b.propBytes() == before
                             : !std::filesystem::exists(b.folder.path() / "prop.xml"));
        EXPECT_TRUE(b.dialog->isVisible());
    }
}

} // namespace
} // namespace vantrell::testing
