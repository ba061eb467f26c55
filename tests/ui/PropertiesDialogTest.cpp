// The device properties dialog driven as the operator drives it: by the controls' names, with
// the message boxes recorded. What counts is what reaches the table, prop.xml and the phone list.
#include "ui/PropertiesDialog.h"

#include "PropertiesBench.h"
#include "config/ScheduleFiles.h"
#include "ui/DefaultTextBox.h"
#include "ui/DeviceSetupWindow.h"
#include "ui/FolderPicker.h"
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
#include <set>

namespace vantrell::testing {
namespace {

using Edit = std::function<void(PropertiesBench &)>;

struct Refusal {
    const char *legend;
    Edit edit;
    std::vector<std::string> messages; // empty: refused without a word
    const char *atFault;               // the control that gets the focus back; none if silent
};

class InsertRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(InsertRefusals, ShowTheirMessageAndStoreNothing) {
    PropertiesBench b;
    b.open(3);
    b.fillValidDevice();
    GetParam().edit(b);
    const std::string before = b.propBytes();

    b.click("cmdAdd");

    EXPECT_EQ(b.messages(), GetParam().messages);
    if (GetParam().atFault) {
        ASSERT_NE(b.dialog->focusWidget(), nullptr);
        EXPECT_EQ(b.dialog->focusWidget()->objectName(), GetParam().atFault);
    }
    EXPECT_TRUE(b.propBytes() == before) << "prop.xml changed";
    EXPECT_TRUE(b.station.devices.at(1).isFree());
    EXPECT_TRUE(b.station.devices.at(3).isFree());
    EXPECT_EQ(b.list.refreshes, 0);
}

const auto remote = [](PropertiesBench &b) { b.click("optCommType_1"); };
const auto forwardBy = [](PropertiesBench &b, const char *kind) {
    b.click("chkForward");
    b.click(kind);
};
const auto ftp = [](PropertiesBench &b, const QString &host, const QString &directory) {
    forwardBy(b, "optFdType_1");
    b.type("txtAddress", host);
    b.type("txtDirectory", directory);
};

INSTANTIATE_TEST_SUITE_P(
    Properties, InsertRefusals,
    ::testing::Values(
        Refusal{"remote device with a blank phone: silently",
                [](PropertiesBench &b) {
                    remote(b);
                    b.type("txtPhone", "   ");
                },
                {},
                nullptr},
        Refusal{"phone with an inner blank",
                [](PropertiesBench &b) {
                    remote(b);
                    b.type("txtPhone", "0471 123");
                },
                {"Data error: The phone number inserted is not correct"},
                "txtPhone"},
        Refusal{"no serial number at all",
                [](PropertiesBench &b) { b.get<QLineEdit>("txtSN_1")->clear(); },
                {"Data error: No serial number is inserted"},
                "txtSN_1"},
        Refusal{"model code in lower case",
                [](PropertiesBench &b) { b.type("txtSN_1", "1234kv0126"); },
                {"Data error: The serial number inserted is not correct"},
                "txtSN_1"},
        Refusal{"the second serial number wrong",
                [](PropertiesBench &b) {
                    b.click("chkSwitch");
                    b.type("txtSN_2", "KV12345678");
                },
                {"Data error: The serial number inserted is not correct"},
                "txtSN_2"},
        Refusal{"active without a schedule time",
                [](PropertiesBench &b) { b.click("chkTime_0"); },
                {"Data error: Select at least one scheduled time"},
                "chkTime_0"},
        Refusal{"FTP host in capitals",
                [](PropertiesBench &b) { ftp(b, "FTP.example.com", "/in"); },
                {"Data error: FTP address or root missing"},
                "txtAddress"},
        Refusal{"FTP without a host",
                [](PropertiesBench &b) { ftp(b, "", "/in"); },
                {"Data error: FTP address or root missing"},
                "txtAddress"},
        Refusal{"FTP with a blank root",
                [](PropertiesBench &b) { ftp(b, "ftp.example.com", " "); },
                {"Data error: FTP address or root missing"},
                "txtDirectory"},
        Refusal{"FTP root without its leading slash",
                [](PropertiesBench &b) { ftp(b, "ftp.example.com", "data"); },
                {"Data error: Root directory address incorrect"},
                "txtDirectory"},
        Refusal{"mail address without @",
                [](PropertiesBench &b) {
                    forwardBy(b, "optFdType_0");
                    b.type("txtMail", "ops.example.com");
                },
                {"Data error: Mail address incorrect"},
                "txtMail"},
        Refusal{"mail address without a dot",
                [](PropertiesBench &b) {
                    forwardBy(b, "optFdType_0");
                    b.type("txtMail", "ops@example");
                },
                {"Data error: Mail address incorrect"},
                "txtMail"},
        Refusal{"a tab pasted into the phone number",
                [](PropertiesBench &b) {
                    remote(b);
                    b.get<QLineEdit>("txtPhone")->insert("0471\t123");
                },
                {"Data error: Phone no.: the text holds a control character (a line break, a tab "
                 "or similar)"},
                "txtPhone"}),
    [](const auto &row) { return std::to_string(row.index); });

// The FTP boxes' defaults are real texts: kept, they are stored as they stand.
constexpr const char *defaultHost = "ftp.example.com";
constexpr const char *defaultRoot = "/ForwardData";

struct Stored {
    const char *legend;
    Edit edit;
    std::string connection;
    std::string forwardAddress;
    std::string rootDirectory;
};

class InsertStores : public ::testing::TestWithParam<Stored> {};

TEST_P(InsertStores, TheCodedRecordAndShowsItAgain) {
    PropertiesBench b;
    b.open(1);
    b.fillValidDevice();
    GetParam().edit(b);

    b.click("cmdAdd");

    ASSERT_EQ(b.messages(), std::vector<std::string>{});
    const DeviceRecord stored = b.stored(1);
    EXPECT_EQ(stored.connection(), GetParam().connection);
    EXPECT_EQ(stored[field::forwardAddress], GetParam().forwardAddress);
    EXPECT_EQ(stored[field::ftpRootDirectory], GetParam().rootDirectory);
    EXPECT_EQ(b.station.dailyMarks.at(1, 1), "X");
    EXPECT_EQ(b.list.refreshes, 1);

    // Paging away and back shows the record as stored.
    b.click("cmdNext");
    b.click("cmdPrevious");
    EXPECT_EQ(b.get<QLineEdit>("txtPhone")->text().toStdString(), GetParam().connection);
    EXPECT_EQ(b.get<QLineEdit>("txtDirectory")->text().toStdString(), GetParam().rootDirectory);
    const bool network = GetParam().connection.starts_with("netw");
    EXPECT_EQ(b.get<QCheckBox>("chkNetwork")->isChecked(), network);
    if (network) {
        EXPECT_EQ(b.get<QComboBox>("cmbNetwork")->currentText(), "02");
        EXPECT_EQ(b.get<QComboBox>("cmbSection")->currentText(), "11");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Properties, InsertStores,
    ::testing::Values(Stored{"local line without switch network", [](PropertiesBench &) {},
                             "locl0000", defaultHost, defaultRoot},
                      Stored{"network 02, section 11",
                             [](PropertiesBench &b) {
                                 b.click("chkNetwork");
                                 b.choose("cmbNetwork", 1);
                                 b.choose("cmbSection", 10);
                             },
                             "netw0211", defaultHost, defaultRoot},
                      Stored{"telephone number as typed",
                             [](PropertiesBench &b) {
                                 remote(b);
                                 b.type("txtPhone", "0471123456");
                             },
                             "0471123456", defaultHost, defaultRoot},
                      Stored{"FTP backslashes become slashes",
                             [](PropertiesBench &b) { ftp(b, "ftp.example.com", "\\data\\in"); },
                             "locl0000", defaultHost, "/data/in"},
                      Stored{"FTP with both defaults kept",
                             [](PropertiesBench &b) { forwardBy(b, "optFdType_1"); }, "locl0000",
                             defaultHost, defaultRoot},
                      Stored{"mail",
                             [](PropertiesBench &b) {
                                 forwardBy(b, "optFdType_0");
                                 b.type("txtMail", "ops@example.org");
                             },
                             "locl0000", "ops@example.org", defaultRoot}),
    [](const auto &row) { return std::to_string(row.index); });

struct Placement {
    const char *legend;
    std::vector<int> devices; // slots that hold a device before the insert
    int edited;
    int gridSelection; // the row the phone list selects while the dialog is open
    int storedAt;
};

class InsertPlacement : public ::testing::TestWithParam<Placement> {};

TEST_P(InsertPlacement, NewDevicesFillTheLowestFreeRowExistingOnesStay) {
    PropertiesBench b;
    for (int slot : GetParam().devices)
        b.keepDevice(slot, "0471" + std::to_string(slot), "station " + std::to_string(slot));
    b.open(GetParam().edited);
    b.station.selectedDevice = GetParam().gridSelection;
    b.type("txtDescription", "edited");
    for (const char *box : {"chkActive", "chkTime_0"})
        if (!b.get<QCheckBox>(box)->isChecked())
            b.click(box);
    b.type("txtSN_1", "1234KV0126");

    b.click("cmdAdd");

    ASSERT_EQ(b.messages(), std::vector<std::string>{});
    const int at = GetParam().storedAt;
    EXPECT_EQ(b.stored(at)[field::description], "edited");
    EXPECT_EQ(b.get<QLabel>("lblSelRow")->text().toInt(), at);
    EXPECT_EQ(b.station.selectedDevice, at);
    for (int slot : GetParam().devices) {
        if (slot != at) {
            EXPECT_EQ(b.stored(slot)[field::description], "station " + std::to_string(slot));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Properties, InsertPlacement,
    ::testing::Values(
        Placement{"a new device moves down to the first gap", {1, 2, 3, 4}, 7, 7, 5},
        Placement{"an existing device stays in its row", {1, 2, 3, 4, 7}, 7, 7, 7},
        Placement{"a new device in the first free row stays", {1, 2}, 3, 3, 3},
        Placement{"the record on show is stored, not the row selected since", {1, 2, 7}, 7, 2, 7}),
    [](const auto &row) { return std::to_string(row.index); });

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

    EXPECT_EQ(b.messages(), std::vector<std::string>{});
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

        ASSERT_EQ(b.messages(), std::vector<std::string>{"Phone list update: Are you sure you "
                                                         "want to delete this record?"});
        const DeviceRecord stored = b.stored(3);
        const bool deleted = answer == DialogAnswer::yes;
        EXPECT_EQ(stored.connection(), deleted ? "" : "0471333");
        EXPECT_EQ(stored.isFree(), deleted);
        EXPECT_EQ(stored[field::dataDirectory], deleted ? "" : "/srv/data");
        EXPECT_EQ(stored[field::alarmAddress], "ops@example.com") << "alarm settings stay";
        EXPECT_EQ(b.list.refreshes, deleted ? 1 : 0);
    }
}

TEST(Properties, PagingStopsAtBothEnds) {
    struct Step {
        const char *legend;
        int from;
        const char *button;
        int shown;
    };
    for (const Step &step :
         {Step{"< at the first record", 1, "cmdPrevious", 1},
          Step{"> at the last record", 50, "cmdNext", 50}, Step{"> in the middle", 7, "cmdNext", 8},
          Step{"< in the middle", 7, "cmdPrevious", 6}}) {
        PropertiesBench b;
        b.keepDevice(step.shown, "0471", "shown");
        b.open(step.from);

        b.click(step.button);

        EXPECT_EQ(b.get<QLabel>("lblSelRow")->text().toInt(), step.shown) << step.legend;
        EXPECT_EQ(b.get<QLineEdit>("txtDescription")->text(), "shown") << step.legend;
        EXPECT_TRUE(b.messages().empty()) << step.legend;
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
    const Row rows[] = {
        {"> without edits: no question", next, nullptr, std::nullopt, 8, "seven", 0},
        {"> and Yes: stored, then the next record", next, describe, DialogAnswer::yes, 8, "edited",
         1},
        {"> and No: dropped, then the next record", next, describe, DialogAnswer::no, 8, "seven",
         1},
        {"> and Cancel: the edit stays on screen", next, describe, DialogAnswer::cancel, 7, "seven",
         1},
        {"Yes with a serial the check refuses: the record stays", next, badSerial,
         DialogAnswer::yes, 7, "seven", 2},
        {"Exit and Yes: stored and closed", exitButton, describe, DialogAnswer::yes, 0, "edited",
         1},
        {"the close box and No: closed without storing", closeBox, describe, DialogAnswer::no, 0,
         "seven", 1},
        {"the close box without edits: closed", closeBox, nullptr, std::nullopt, 0, "seven", 0},
        {"Esc and Cancel: stays open", escape, describe, DialogAnswer::cancel, 7, "seven", 1},
        {"Esc and Yes: stored and closed", escape, describe, DialogAnswer::yes, 0, "edited", 1},
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

        ASSERT_EQ(b.messages().size(), row.messages);
        if (row.answer) {
            EXPECT_EQ(b.messages()[0], "Phone list update: This record has changes that are not "
                                       "stored yet.\nStore them before leaving the record?");
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

TEST(Properties, ExistingFileLocksMemoryResetNewFileFreesIt) {
    PropertiesBench b;
    b.open(1);
    auto *memory = b.get<QCheckBox>("chkMemory");
    auto *frame = b.get<QGroupBox>("FrameMemory");

    b.click("optSaving_1");
    EXPECT_TRUE(memory->isChecked());
    EXPECT_FALSE(frame->isEnabled());

    b.click("optSaving_0");
    EXPECT_FALSE(memory->isChecked());
    EXPECT_TRUE(frame->isEnabled());
}

TEST(Properties, ForwardingBoxesShowTheRecordOnShowNotThePreviousOne) {
    PropertiesBench b;
    DeviceRecord &first = b.station.devices.at(1);
    first[field::forwardEnabled] = "1";
    first[field::forwardKind] = "1";
    first[field::forwardAddress] = "ftp.first.example";
    first[field::forwardUser] = "first";
    first[field::forwardPassword] = "secret";
    b.open(1);
    EXPECT_TRUE(b.get<QGroupBox>("FrameFTP")->isVisible());
    EXPECT_FALSE(b.get<QGroupBox>("FrameForwardTop")->isVisible());

    b.click("cmdNext");

    EXPECT_TRUE(b.get<QGroupBox>("FrameForwardTop")->isVisible());
    for (const char *box : {"txtUser", "txtPass", "txtMail"})
        EXPECT_EQ(b.get<QLineEdit>(box)->text(), "") << box;
    EXPECT_EQ(b.get<QLineEdit>("txtAddress")->text(), defaultHost);
    EXPECT_TRUE(b.get<DefaultTextBox>("txtAddress")->showsDefault());
}

// The FTP boxes offer their defaults in the inactive colour; the first edit replaces the default,
// and a box left empty offers it again. A stored value shows in the normal colour.
TEST(Properties, FtpBoxesOfferTheirDefaultsUntilTheFirstEdit) {
    PropertiesBench b;
    b.keepDevice(2, "0471", "stored /in");
    b.station.devices.at(2)[field::ftpRootDirectory] = "/in";
    b.open(1);
    b.dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(b.dialog.get()));
    forwardBy(b, "optFdType_1");
    auto *directory = b.get<DefaultTextBox>("txtDirectory");
    const auto inactive = [&] {
        return directory->palette().color(QPalette::Text) ==
               directory->palette().color(QPalette::PlaceholderText);
    };
    const auto leave = [&] { b.get<QLineEdit>("txtUser")->setFocus(); };
    EXPECT_EQ(b.get<QLineEdit>("txtAddress")->text(), defaultHost);
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
        {"a paste replaces the default",
         [&] {
             directory->setFocus();
             QGuiApplication::clipboard()->setText("/pasted");
             QTest::keySequence(directory, QKeySequence::Paste);
         },
         "/pasted", false},
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
}

// A box takes no more than its field holds; nothing is refused later for its length.
TEST(Properties, LengthLimitsApplyWhileTyping) {
    const std::pair<const char *, int> boxes[] = {
        {"txtPhone", 20}, {"txtSN_1", 10}, {"txtSN_8", 10}, {"txtDescription", 50}};
    for (const auto &[name, limit] : boxes) {
        PropertiesBench b;
        b.open(1);
        remote(b);
        b.click("chkSwitch");
        b.type(name, QString(limit + 5, QChar('7')));
        EXPECT_EQ(b.get<QLineEdit>(name)->text(), QString(limit, QChar('7'))) << name;
    }
}

// Enter in a box must not press a button the operator never chose: no dialog has a default
// button, so nothing opens and nothing is stored.
TEST(Properties, EnterInABoxDoesNothing) {
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
    EXPECT_TRUE(b.messages().empty());
    EXPECT_TRUE(b.propBytes() == before);
    for (const QPushButton *button : b.dialog->findChildren<QPushButton *>())
        EXPECT_FALSE(button->isDefault() || button->autoDefault()) << button->objectName().data();
}

// A picture button with the focus is pressed by Enter (either key) as by Space.
TEST(Properties, EnterPressesAPictureButtonAsSpaceDoes) {
    struct Row {
        const char *legend;
        const char *button;
        Qt::Key key;
        int stored; // times the phone list was redrawn
        bool closed;
    };
    const Row rows[] = {
        {"Insert record by Return", "cmdAdd", Qt::Key_Return, 1, false},
        {"Insert record by the keypad's Enter", "cmdAdd", Qt::Key_Enter, 1, false},
        {"Insert record by Space", "cmdAdd", Qt::Key_Space, 1, false},
        {"Exit by Return", "cmdExit", Qt::Key_Return, 0, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        PropertiesBench b;
        b.open(1);
        if (row.stored != 0)
            b.fillValidDevice();
        QTest::keyClick(b.get<QToolButton>(row.button), row.key);
        EXPECT_EQ(b.list.refreshes, row.stored);
        EXPECT_EQ(b.dialog->isVisible(), !row.closed);
        EXPECT_TRUE(b.messages().empty());
    }
}

// Whatever the forward frame shows, the dialog is as large as that needs and no larger: no blank
// band stays behind when the FTP frame hides. The cover says once that the section is off.
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
    }
    EXPECT_EQ(b.dialog->size(), closed);
}

// While the cover says the forward section is not available, Tab reaches none of what it covers,
// so Space cannot choose a forwarding kind the operator does not see.
TEST(Properties, CoveredForwardSettingsTakeNoFocus) {
    PropertiesBench b;
    b.open(1);
    b.dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(b.dialog.get()));
    const auto reached = [&] {
        std::set<QString> names;
        b.get<QCheckBox>("chkForward")->setFocus();
        for (int k = 0; k < 80; ++k) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            names.insert(QApplication::focusWidget()->objectName());
        }
        return names;
    };
    for (const bool forward : {false, true}) {
        SCOPED_TRACE(forward ? "forwarding on" : "forwarding off");
        if (forward)
            b.click("chkForward");
        const std::set<QString> names = reached();
        EXPECT_EQ(names.count("optFdType_0") + names.count("optFdType_1") > 0, forward);
        for (const char *covered : {"optFdType_0", "optFdType_1", "txtMail", "txtAddress"})
            EXPECT_EQ(b.get<QWidget>(covered)->isEnabled(), forward) << covered;
    }
}

// A second "Setup" for a logger while its window loads (about three seconds of the station's
// pauses) or is open brings that window forward; the dialog closing closes them, and they store.
TEST(Properties, SetupOpensOncePerLoggerAndStoresWhenTheDialogCloses) {
    PropertiesBench b;
    b.open(1);
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
    StationBench next({2026, 2, 3, 9, 5, 0}, b.folder.path());
    ChannelSetupFile file(next.station);
    file.chooseSetupFile(1);
    ASSERT_FALSE(file.loadChannelSetup().failed());
    EXPECT_EQ(next.station.channelSetup.at(3, setup::absMinimum), "-12");
    EXPECT_TRUE(b.messages().empty());
}

// The demo configuration's device is one the dialog accepts as it is shown.
TEST(Properties, TheDemoRecordStoresAsShown) {
    PropertiesBench b;
    const std::string command = "/usr/bin/python3 " VANTRELL_SOURCE_DIR
                                "/scripts/demo-configure.py '" +
                                b.folder.path().string() + "' /dev/null 127.0.0.1:25";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_FALSE(DeviceFile(b.station).loadDeviceTable().failed());
    ASSERT_FALSE(ScheduleTimesFile(b.station).loadScheduleTimes().failed());
    const DeviceRecord demo = b.station.devices.at(1);
    b.open(1);

    b.click("cmdAdd");

    EXPECT_EQ(b.messages(), std::vector<std::string>{});
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

        ASSERT_EQ(b.messages().size(), 1u);
        EXPECT_TRUE(
            b.messages()[0].starts_with("Phone list update: The record could not be saved"));
        EXPECT_TRUE(b.station.devices.at(1).isFree());
        EXPECT_EQ(b.list.refreshes, 0);
        EXPECT_TRUE(diskFull ? b.propBytes() == before
                             : !std::filesystem::exists(b.folder.path() / "prop.xml"));
        EXPECT_TRUE(b.dialog->isVisible());
    }
}

TEST(Properties, BrowseOpensTheFolderPickerForTheRecordOnShow) {
    PropertiesBench b;
    b.open(4);
    b.station.selectedDevice = 9;

    b.click("cmdPath");

    ASSERT_NE(b.dialog->findChild<FolderPicker *>("frmPath"), nullptr);
    EXPECT_EQ(b.station.selectedDevice, 4);
}

} // namespace
} // namespace vantrell::testing
