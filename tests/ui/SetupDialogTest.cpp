// The device setup window: it shows the four channels of the logger it was opened on, writes
// them all back on every close into the file chosen at opening, refuses text that must not
// reach the file, and never disturbs the channel table of a session that is running.
#include "ui/frmDeviceSetup.h"

#include "SetupWindowBench.h"
#include "config/SetupFiles.h"
#include "ui/frmPhonebook.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <map>

namespace vantrell::testing {
namespace {

constexpr int record = 2;
constexpr int logger = 3; // channels 9..12
constexpr int firstChannel = 9;
const char *const setupFile = "DeviceSetup/dvcsetup2.xml";
const char *const leaveQuestion = "\nClose the window without saving the setup?";

// Distinct values in every field of the logger's four channels; channel 4 holds a decimal-point
// text the list cannot show.
LoggerSetup sample() {
    LoggerSetup s;
    s.readingsPerDay = "96";
    const char *const decimals[] = {"0", "3", "5", "7"};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i + 1);
        auto &c = s.columns.at(i);
        c.at(setup::accelAlarmOn) = i % 2 == 0 ? "1" : "0";
        c.at(setup::accelDelta) = "1." + n;
        c.at(setup::accelDays) = n;
        c.at(setup::decimalPoint) = decimals[i];
        c.at(setup::accelMessage) = "fast move " + n;
        c.at(setup::absAlarmOn) = i % 2 == 0 ? "0" : "1";
        c.at(setup::absMinimum) = "-" + n + "0";
        c.at(setup::absMaximum) = n + "00";
        c.at(setup::absMessage) = "out of range " + n;
    }
    return s;
}

// The control of field `f` of channel column `i`, and what it shows as the file would store it.
std::string shownField(QWidget &dialog, int f, std::size_t i) {
    static const std::map<int, const char *> names = {
        {setup::accelAlarmOn, "chkAlarm1"},   {setup::accelDelta, "txtDisplacement"},
        {setup::accelDays, "txtHours"},       {setup::decimalPoint, "cmbDP"},
        {setup::accelMessage, "txtMessage1"}, {setup::absAlarmOn, "chkAlarm2"},
        {setup::absMinimum, "txtMin"},        {setup::absMaximum, "txtMax"},
        {setup::absMessage, "txtMessage2"},
    };
    const QString name = QString("%1_%2").arg(names.at(f)).arg(i + 1);
    if (auto *box = dialog.findChild<QCheckBox *>(name))
        return box->isChecked() ? "1" : "0";
    if (auto *list = dialog.findChild<QComboBox *>(name))
        return list->currentText().toStdString();
    auto *text = dialog.findChild<QLineEdit *>(name);
    EXPECT_NE(text, nullptr) << name.toStdString();
    return text != nullptr ? text->text().toStdString() : std::string();
}

struct SetupDialogTest : ::testing::Test {
    void SetUp() override {
        ChannelSetupFile file(s.station);
        file.chooseSetupFile(record);
        ASSERT_FALSE(file.saveLoggerSetup(logger, sample()).failed());
        s.station.channelSetup = {};
        s.station.setupFileName.clear();
        s.bench.progress.clear();
    }

    QPointer<frmDeviceSetup> open(int slot = record) {
        auto *dialog = new frmDeviceSetup(s.station, nullptr);
        dialog->openLogger("1234KV0125", slot, logger);
        return dialog;
    }
    template <typename Control> Control *child(QWidget *dialog, const char *name) {
        auto *control = dialog->findChild<Control *>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    // The logger's channels as the file of `slot` holds them.
    LoggerSetup inFile(int slot = record) {
        StationBench other{{2026, 2, 3, 9, 5, 0}, s.folder.path()};
        ChannelSetupFile file(other.station);
        file.chooseSetupFile(slot);
        EXPECT_FALSE(file.loadChannelSetup().failed());
        LoggerSetup stored = loggerSetup(other.station.channelSetup, logger);
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(other.station.channelSetup.at(firstChannel + c, setup::readingsPerDay),
                      stored.readingsPerDay)
                << "channel " << firstChannel + c;
        return stored;
    }

    SetupWindowBench s;
};

bool operator==(const LoggerSetup &a, const LoggerSetup &b) {
    return a.readingsPerDay == b.readingsPerDay && a.columns == b.columns;
}

TEST_F(SetupDialogTest, OpeningShowsTheFourChannelsOfTheLogger) {
    QPointer<frmDeviceSetup> dialog = open();
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(child<QLabel>(dialog, "lblSerialNo")->text(), "1234KV0125");
    EXPECT_EQ(child<QLabel>(dialog, "lblMN")->text(), "3");
    EXPECT_EQ(child<QLabel>(dialog, "lblSelRow")->text(), "2");
    EXPECT_EQ(child<QLineEdit>(dialog, "txtInterval")->text(), "96");
    const LoggerSetup expected = sample();
    for (std::size_t i = 0; i < 4; ++i)
        for (int f = setup::accelAlarmOn; f <= setup::absMessage; ++f) {
            // "7" is no item of the list, which then shows nothing.
            const std::string want =
                i == 3 && f == setup::decimalPoint ? "" : expected.columns.at(i).at(f);
            EXPECT_EQ(shownField(*dialog, f, i), want) << "column " << i + 1 << " field " << f;
        }
    EXPECT_TRUE(s.bench.progress.contains("opening file.../DeviceSetup/dvcsetup2.xml"));
    EXPECT_TRUE(
        s.bench.progress.contains("opening file.../DeviceSetup/dvcsetup2.xml loading data..."));
    clickCloseBox(dialog);
}

TEST_F(SetupDialogTest, EveryCloseStoresAllFourChannelsAndTheInterval) {
    struct Row {
        const char *legend;
        void (*closeIt)(frmDeviceSetup *);
    };
    const Row rows[] = {
        {"the close box of the title bar", [](frmDeviceSetup *d) { clickCloseBox(d); }},
        {"the exit button",
         [](frmDeviceSetup *d) {
             QTest::mouseClick(d->findChild<QPushButton *>("cmdExit"), Qt::LeftButton);
         }},
        {"the program closing its windows", [](frmDeviceSetup *d) { d->close(); }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        ASSERT_FALSE(inFile() == LoggerSetup{}); // the sample is back in place
        QPointer<frmDeviceSetup> dialog = open();
        QLineEdit *minimum = child<QLineEdit>(dialog, "txtMin_2");
        minimum->clear();
        QTest::keyClicks(minimum, "-45");
        row.closeIt(dialog);
        deleteClosedWindows();
        EXPECT_TRUE(dialog.isNull());

        LoggerSetup expected = sample();
        expected.columns.at(1).at(setup::absMinimum) = "-45";
        EXPECT_TRUE(inFile() == expected);
        EXPECT_EQ(s.station.channelSetup.at(firstChannel + 1, setup::absMinimum), "-45");
        EXPECT_TRUE(s.bench.dialogs.shown().empty());

        ChannelSetupFile file(s.station);
        file.chooseSetupFile(record);
        ASSERT_FALSE(file.saveLoggerSetup(logger, sample()).failed());
    }
}

TEST_F(SetupDialogTest, TextThatMustNotReachTheFileIsRefused) {
    struct Row {
        const char *legend;
        const char *box;
        QString text;
        bool paste;
        const char *message; // empty: stored
    };
    const Row rows[] = {
        {"interval past 15 characters", "txtInterval", "1234567890123456", false,
         "Insert the no. of readings per day: the text is longer than 15 characters"},
        {"message past 140 characters", "txtMessage2_3", QString(141, 'x'), false,
         "CH3 Alarm Absolute Message: the text is longer than 140 characters"},
        {"140 accented letters are 140 characters", "txtMessage1_4", QString(140, QChar(0xE9)),
         false, ""},
        {"pasted tab", "txtDisplacement_1", "1\t5", true,
         "CH1 Delta: the text holds a control character (a line break, a tab or similar)"},
        {"pasted line break", "txtMessage1_2", "too\nfast", true,
         "CH2 Alarm Acceleration Message: the text holds a control character (a line break, "
         "a tab or similar)"},
        {"bell character", "txtMax_4", QString("9") + QChar(7), false,
         "CH4 Maximum: the text holds a control character (a line break, a tab or similar)"},
    };
    const std::string before = SetupWindowBench::bytesOf(s.file(setupFile));
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        s.bench.dialogs.clear();
        QPointer<frmDeviceSetup> dialog = open();
        const ChannelSetup loaded = s.station.channelSetup;
        QLineEdit *box = child<QLineEdit>(dialog, row.box);
        box->clear();
        if (row.paste) {
            QGuiApplication::clipboard()->setText(row.text);
            box->setFocus();
            QTest::keySequence(box, QKeySequence::Paste);
        } else {
            box->setText(row.text);
        }
        if (std::string(row.message).empty()) {
            clickCloseBox(dialog);
            EXPECT_TRUE(s.bench.dialogs.shown().empty());
            EXPECT_EQ(inFile().columns.at(3).at(setup::accelMessage), row.text.toStdString());
            ChannelSetupFile file(s.station);
            file.chooseSetupFile(record);
            ASSERT_FALSE(file.saveLoggerSetup(logger, sample()).failed());
            continue;
        }
        s.bench.dialogs.setNextAnswer(DialogAnswer::no);
        clickCloseBox(dialog);
        ASSERT_EQ(s.bench.dialogs.shown().size(), 1u);
        EXPECT_EQ(s.bench.dialogs.shown()[0].title, "Data error");
        EXPECT_EQ(s.bench.dialogs.shown()[0].text, row.message + std::string(leaveQuestion));
        EXPECT_TRUE(dialog->isVisible()) << "the operator may correct the text";
        EXPECT_EQ(SetupWindowBench::bytesOf(s.file(setupFile)), before);
        EXPECT_EQ(s.station.channelSetup.values, loaded.values);

        s.bench.dialogs.setNextAnswer(DialogAnswer::yes);
        QTest::mouseClick(child<QPushButton>(dialog, "cmdExit"), Qt::LeftButton);
        deleteClosedWindows();
        EXPECT_TRUE(dialog.isNull());
        EXPECT_EQ(SetupWindowBench::bytesOf(s.file(setupFile)), before);
    }
}

TEST_F(SetupDialogTest, ASaveTheDiskRefusesLeavesFileAndMemoryAsTheyWere) {
    struct Row {
        const char *legend;
        bool closeBox;
        DialogAnswer answer;
        const char *messageEnd;
        bool staysOpen;
    };
    const Row rows[] = {
        {"close box, operator keeps the window", true, DialogAnswer::no, leaveQuestion, true},
        {"close box, operator leaves", true, DialogAnswer::yes, leaveQuestion, false},
        {"the program closing never waits for an answer", false, DialogAnswer::ok,
         "\nThe setup of this logger is as it was before.", false},
    };
    const std::string before = SetupWindowBench::bytesOf(s.file(setupFile));
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        s.bench.dialogs.clear();
        QPointer<frmDeviceSetup> dialog = open();
        const ChannelSetup loaded = s.station.channelSetup;
        child<QLineEdit>(dialog, "txtMessage2_1")->setText("changed");
        s.bench.dialogs.setNextAnswer(row.answer);
        {
            FullDisk full;
            row.closeBox ? clickCloseBox(dialog) : static_cast<void>(dialog->close());
        }
        deleteClosedWindows();
        ASSERT_EQ(s.bench.dialogs.shown().size(), 1u);
        const std::string text = s.bench.dialogs.shown()[0].text;
        EXPECT_EQ(s.bench.dialogs.shown()[0].title, "Device Setup");
        EXPECT_EQ(text.rfind("The device setup was not saved.\n", 0), 0u) << text;
        EXPECT_EQ(text.find("kept in memory"), std::string::npos) << text;
        EXPECT_TRUE(text.ends_with(row.messageEnd)) << text;
        EXPECT_EQ(!dialog.isNull(), row.staysOpen);
        EXPECT_EQ(SetupWindowBench::bytesOf(s.file(setupFile)), before);
        EXPECT_EQ(s.station.channelSetup.values, loaded.values);
        if (dialog) {
            s.bench.dialogs.setNextAnswer(DialogAnswer::yes);
            dialog->close(); // the disk takes bytes again: this close stores
            deleteClosedWindows();
            EXPECT_EQ(inFile().columns.at(0).at(setup::absMessage), "changed");
            ChannelSetupFile file(s.station);
            file.chooseSetupFile(record);
            ASSERT_FALSE(file.saveLoggerSetup(logger, sample()).failed());
        }
    }
}

TEST_F(SetupDialogTest, ClosingWritesTheFileChosenAtOpening) {
    QPointer<frmDeviceSetup> dialog = open();
    child<QLineEdit>(dialog, "txtInterval")->setText("48");
    const std::string otherBefore = SetupWindowBench::bytesOf(s.file("DeviceSetup/dvcsetup5.xml"));
    // A session read station 5 meanwhile.
    s.station.setupFileName = "/DeviceSetup/dvcsetup5.xml";
    clickCloseBox(dialog);
    EXPECT_EQ(inFile().readingsPerDay, "48");
    EXPECT_EQ(SetupWindowBench::bytesOf(s.file("DeviceSetup/dvcsetup5.xml")), otherBefore);
}

TEST_F(SetupDialogTest, ASessionRunningFindsItsChannelTableAsItLeftIt) {
    s.station.session.sessionRunning = true;
    s.station.setupFileName = "/DeviceSetup/dvcsetup7.xml";
    s.station.channelSetup.at(firstChannel, setup::absMinimum) = "session limit";
    const ChannelSetup sessions = s.station.channelSetup;

    QPointer<frmDeviceSetup> dialog = open();
    EXPECT_EQ(child<QLineEdit>(dialog, "txtMin_1")->text(), "-10");
    EXPECT_EQ(s.station.channelSetup.values, sessions.values);
    child<QLineEdit>(dialog, "txtMin_1")->setText("-99");
    clickCloseBox(dialog);

    EXPECT_EQ(s.station.channelSetup.values, sessions.values);
    EXPECT_EQ(s.station.setupFileName, "/DeviceSetup/dvcsetup7.xml");
    EXPECT_EQ(inFile().columns.at(0).at(setup::absMinimum), "-99");
}

TEST_F(SetupDialogTest, AMissingSetupFileIsReportedAndTheWindowDoesNotOpen) {
    std::filesystem::remove(s.file(setupFile));
    QPointer<frmDeviceSetup> dialog = open();
    deleteClosedWindows();
    EXPECT_TRUE(dialog.isNull());
    ASSERT_EQ(s.bench.dialogs.shown().size(), 1u);
    EXPECT_EQ(s.bench.dialogs.shown()[0].title, "Device Setup");
    EXPECT_EQ(s.bench.dialogs.shown()[0].text.rfind("The device setup cannot be opened.\n", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(s.file(setupFile))) << "no file is made up";
}

TEST_F(SetupDialogTest, ThePhoneButtonOpensOnePhoneBookOwnedByTheWindow) {
    QPointer<frmDeviceSetup> dialog = open();
    QPushButton *phones = child<QPushButton>(dialog, "cmdPhones");
    QTest::mouseClick(phones, Qt::LeftButton);
    QTest::mouseClick(phones, Qt::LeftButton);
    const auto books = dialog->findChildren<frmPhonebook *>();
    ASSERT_EQ(books.size(), 1);
    QPointer<frmPhonebook> book = books.front();
    EXPECT_TRUE(book->isVisible());
    EXPECT_FALSE(book->isModal());
    EXPECT_TRUE(book->isWindow());
    clickCloseBox(dialog);
    deleteClosedWindows();
    EXPECT_TRUE(book.isNull());
}

} // namespace
} // namespace vantrell::testing
