// The device setup window: it shows the four channels of the logger it was opened on, writes
// them all back on every close into the file chosen at opening, refuses what must not reach the
// file, and never disturbs the channel table of a session that is running; then the phone book
// window it opens.
#include "ui/DeviceSetupWindow.h"

#include "SetupWindowBench.h"
#include "ui/PhoneBookWindow.h"

#include <QCheckBox>
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
const char *const setupFile = "DeviceSetup/dvcsetup2.xml";
const char *const leaveQuestion = "\nClose the window without saving the setup?";

// Distinct values in every field; channel 4 holds a decimal point the list cannot show.
LoggerSetup sample() {
    LoggerSetup s{"96", {}};
    const char *const decimals[] = {"0", "3", "5", "7"};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i + 1);
        const char *on = i % 2 == 0 ? "1" : "0";
        const char *off = i % 2 == 0 ? "0" : "1";
        s.columns.at(i) = {"",
                           "",
                           on,
                           "1." + n,
                           n,
                           decimals[i],
                           "fast " + n,
                           off,
                           "-" + n + "0",
                           n + "00",
                           "out of range " + n};
    }
    return s;
}

// What field `f` of channel column `i` shows, as the file would store it.
std::string shownField(QWidget *dialog, int f, std::size_t i) {
    static const std::map<int, const char *> names = {
        {setup::accelAlarmOn, "chkAlarm1"},   {setup::accelDelta, "txtDisplacement"},
        {setup::accelDays, "txtHours"},       {setup::decimalPoint, "cmbDP"},
        {setup::accelMessage, "txtMessage1"}, {setup::absAlarmOn, "chkAlarm2"},
        {setup::absMinimum, "txtMin"},        {setup::absMaximum, "txtMax"},
        {setup::absMessage, "txtMessage2"}};
    const QString name = QString("%1_%2").arg(names.at(f)).arg(i + 1);
    if (auto *box = dialog->findChild<QCheckBox *>(name))
        return box->isChecked() ? "1" : "0";
    if (auto *list = dialog->findChild<QComboBox *>(name))
        return list->currentText().toStdString();
    return dialog->findChild<QLineEdit *>(name)->text().toStdString();
}

struct DeviceSetupWindowTest : ::testing::Test {
    void SetUp() override {
        putSample();
        s.station.channelSetup = {};
        s.bench.progress.clear();
    }
    void putSample() {
        ChannelSetupFile file(s.station);
        file.chooseSetupFile(record);
        ASSERT_FALSE(file.saveLoggerSetup(logger, sample()).failed());
    }
    QPointer<DeviceSetupWindow> open() {
        auto *dialog = new DeviceSetupWindow(s.station, nullptr);
        dialog->openLogger("1234KV0125", record, logger);
        return dialog;
    }
    // The logger's channels as a fresh load of the file finds them; the interval of all four.
    std::pair<LoggerSetup, std::vector<std::string>> inFile() {
        const ChannelSetup stored = storedSetup(s.folder.path(), record);
        std::vector<std::string> intervals;
        for (int channel = 9; channel <= 12; ++channel)
            intervals.push_back(stored.at(channel, setup::readingsPerDay));
        return {loggerSetup(stored, logger), intervals};
    }
    std::string fileBytes() const { return SetupWindowBench::bytesOf(s.file(setupFile)); }

    SetupWindowBench s;
};

// The window shows the four channels of the logger it opened on; every close stores them all.
TEST_F(DeviceSetupWindowTest, EveryCloseStoresAllFourChannelsAndTheInterval) {
    struct Row {
        const char *legend;
        void (*closeIt)(DeviceSetupWindow *);
    };
    const Row rows[] = {
        {"close box", [](DeviceSetupWindow *d) { clickCloseBox(d); }},
        {"exit button",
         [](DeviceSetupWindow *d) {
             QTest::mouseClick(d->findChild<QPushButton *>("cmdExit"), Qt::LeftButton);
         }},
        {"Esc", [](DeviceSetupWindow *d) { QTest::keyClick(d, Qt::Key_Escape); }},
        {"the program closing its windows", [](DeviceSetupWindow *d) { d->close(); }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        putSample();
        s.bench.progress.clear();
        QPointer<DeviceSetupWindow> dialog = open();
        ASSERT_TRUE(dialog && dialog->isVisible());
        EXPECT_TRUE(
            s.bench.progress.contains("opening file.../DeviceSetup/dvcsetup2.xml loading data..."));
        EXPECT_EQ(dialog->findChild<QLabel *>("lblSerialNo")->text(), "1234KV0125");
        EXPECT_EQ(dialog->findChild<QLabel *>("lblMN")->text(), "3");
        EXPECT_EQ(dialog->findChild<QLabel *>("lblSelRow")->text(), "2");
        EXPECT_EQ(dialog->findChild<QLineEdit *>("txtInterval")->text(), "96");
        for (std::size_t i = 0; i < 4; ++i)
            for (int f = setup::accelAlarmOn; f <= setup::absMessage; ++f) {
                const bool unlisted = i == 3 && f == setup::decimalPoint;
                EXPECT_EQ(shownField(dialog, f, i), unlisted ? "" : sample().columns.at(i).at(f))
                    << "column " << i + 1 << " field " << f;
            }
        QLineEdit *minimum = dialog->findChild<QLineEdit *>("txtMin_2");
        minimum->clear();
        QTest::keyClicks(minimum, "-45");
        row.closeIt(dialog);
        deleteClosedWindows();
        EXPECT_TRUE(dialog.isNull());

        LoggerSetup expected = sample();
        expected.columns.at(1).at(setup::absMinimum) = "-45";
        const auto [stored, intervals] = inFile();
        EXPECT_EQ(stored.columns, expected.columns); // CH4's unlisted "7" included
        EXPECT_EQ(intervals, std::vector<std::string>(4, "96"));
        EXPECT_TRUE(s.bench.dialogs.shown().empty());
    }
}

// The operator may keep the window to correct it, or leave it; a close the program asks for
// never waits. Either way file and memory stay as they were.
TEST_F(DeviceSetupWindowTest, ARefusedStoreLeavesFileAndMemoryAsTheyWere) {
    struct Row {
        const char *legend;
        const char *box;
        QString text;
        bool fullDisk;
        void (*closeIt)(DeviceSetupWindow *); // none: the program closes it
        std::string message;
    };
    const auto closeBox = [](DeviceSetupWindow *d) { clickCloseBox(d); };
    const char *const control = ": the text holds a control character (a line break, a tab or "
                                "similar)";
    const char *const notSaved = "The device setup was not saved.\n";
    const Row rows[] = {
        {"pasted tab, close box", "txtDisplacement_1", "1\t5", false, closeBox,
         std::string("CH1 Delta") + control},
        {"pasted line break, Esc", "txtMessage1_2", "too\nfast", false,
         [](DeviceSetupWindow *d) { QTest::keyClick(d, Qt::Key_Escape); },
         std::string("CH2 Alarm Acceleration Message") + control},
        {"the disk takes no bytes", "txtMax_4", "250", true, closeBox, notSaved},
        {"the disk takes no bytes as the program ends", "txtMax_4", "250", true, nullptr, notSaved},
    };
    const std::string before = fileBytes();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        s.bench.dialogs.clear();
        QPointer<DeviceSetupWindow> dialog = open();
        const ChannelSetup loaded = s.station.channelSetup;
        QLineEdit *box = dialog->findChild<QLineEdit *>(row.box);
        box->clear();
        paste(box, row.text);
        std::optional<FullDisk> full;
        if (row.fullDisk)
            full.emplace();
        s.bench.dialogs.setNextAnswer(DialogAnswer::no);
        row.closeIt ? row.closeIt(dialog) : void(dialog->close());
        deleteClosedWindows();
        ASSERT_EQ(s.bench.dialogs.shown().size(), 1u);
        const std::string text = s.bench.dialogs.shown()[0].text;
        EXPECT_EQ(s.bench.dialogs.shown()[0].title, row.fullDisk ? "Device Setup" : "Data error");
        EXPECT_TRUE(text.starts_with(row.message)) << text;
        EXPECT_TRUE(text.ends_with(row.closeIt ? leaveQuestion
                                               : "\nThe setup of this logger is as it was before."))
            << text;
        EXPECT_EQ(text.find("kept in memory"), std::string::npos) << text;
        EXPECT_EQ(dialog.isNull(), row.closeIt == nullptr);
        EXPECT_EQ(fileBytes(), before);
        EXPECT_EQ(s.station.channelSetup, loaded);
        if (dialog) {
            s.bench.dialogs.setNextAnswer(DialogAnswer::yes);
            QTest::mouseClick(dialog->findChild<QPushButton *>("cmdExit"), Qt::LeftButton);
            deleteClosedWindows();
            EXPECT_TRUE(dialog.isNull());
            EXPECT_EQ(fileBytes(), before);
        }
    }
}

// Numbers stop at 15 characters and messages at 140 (an SMS holds 160, "; Channel NN" is added),
// and a message box shows a whole 140-character text.
TEST_F(DeviceSetupWindowTest, BoxesTakeWhatTheirFieldHoldsAndShowAWholeMessage) {
    QPointer<DeviceSetupWindow> dialog = open();
    const QString message = QString("Level above the limit at the dam: open the spillway gates, "
                                    "check the sensor on channel two and call the duty engineer "
                                    "now!! 0123456789 - Station 7")
                                .left(140);
    ASSERT_EQ(message.size(), 140);
    const std::pair<const char *, int> boxes[] = {{"txtInterval", 15},
                                                  {"txtMin_1", 15},
                                                  {"txtHours_4", 15},
                                                  {"txtMessage1_1", 140},
                                                  {"txtMessage2_4", 140}};
    for (const auto &[name, limit] : boxes) {
        QLineEdit *box = dialog->findChild<QLineEdit *>(name);
        box->clear();
        QTest::keyClicks(box, message + message);
        EXPECT_EQ(box->text(), (message + message).left(limit)) << name;
    }
    for (const char *name : {"txtMessage1_1", "txtMessage2_1", "txtMessage1_4", "txtMessage2_4"}) {
        QLineEdit *box = dialog->findChild<QLineEdit *>(name);
        // Inside the frame a line box keeps two pixels of margin on either side.
        constexpr int frameAndMargins = 8;
        EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(message) + frameAndMargins)
            << name;
    }
    // Yet it fits a 1366 x 768 screen at 125 %: a title bar and a panel leave 1093 x 560.
    EXPECT_LE(dialog->sizeHint().width(), 1093);
    EXPECT_LE(dialog->sizeHint().height(), 560);
    clickCloseBox(dialog);
}

// A session may read another station while the window is open, or be running when it opens.
TEST_F(DeviceSetupWindowTest, TheWindowWritesItsOwnFileAndLeavesTheSessionsTableAlone) {
    struct Row {
        const char *legend;
        bool sessionRunning;
        const char *interval, *fileNameAfter;
    };
    const Row rows[] = {
        {"no session: the window's file is the last chosen", false, "48",
         "/DeviceSetup/dvcsetup2.xml"},
        {"a session keeps its table and file name", true, "24", "/DeviceSetup/dvcsetup5.xml"},
    };
    const std::string otherFile = SetupWindowBench::bytesOf(s.file("DeviceSetup/dvcsetup5.xml"));
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        s.station.session.sessionRunning = row.sessionRunning;
        s.station.setupFileName = "/DeviceSetup/dvcsetup5.xml";
        s.station.channelSetup.at(9, setup::absMinimum) = "session's";
        const ChannelSetup sessions = s.station.channelSetup;
        QPointer<DeviceSetupWindow> dialog = open();
        if (row.sessionRunning) {
            EXPECT_EQ(s.station.channelSetup, sessions);
        }
        dialog->findChild<QLineEdit *>("txtInterval")->setText(row.interval);
        s.station.setupFileName = "/DeviceSetup/dvcsetup5.xml"; // the session chose it meanwhile
        clickCloseBox(dialog);

        EXPECT_EQ(inFile().second, std::vector<std::string>(4, row.interval));
        EXPECT_EQ(SetupWindowBench::bytesOf(s.file("DeviceSetup/dvcsetup5.xml")), otherFile);
        EXPECT_EQ(s.station.setupFileName, row.fileNameAfter);
        EXPECT_EQ(s.station.channelSetup.at(9, setup::absMinimum),
                  row.sessionRunning ? "session's" : "-10");
    }
}

TEST_F(DeviceSetupWindowTest, ThePhoneButtonOpensOnePhoneBookThatClosesWithTheWindow) {
    QPointer<DeviceSetupWindow> dialog = open();
    auto *phones = dialog->findChild<QPushButton *>("cmdPhones");
    QTest::mouseClick(phones, Qt::LeftButton);
    QTest::mouseClick(phones, Qt::LeftButton);
    const auto books = dialog->findChildren<PhoneBookWindow *>();
    ASSERT_EQ(books.size(), 1);
    QPointer<PhoneBookWindow> book = books.front();
    EXPECT_TRUE(book->isVisible() && book->isWindow() && !book->isModal());
    clickCloseBox(dialog);
    deleteClosedWindows();
    EXPECT_TRUE(book.isNull());
}

// The phone book window: the exit button stores the ten numbers, the close box forgets the
// edits, and a number that must not reach the file, or a disk that refuses it, leaves the phone
// book as it was with the window open.
struct PhoneBookWindowTest : ::testing::Test {
    void SetUp() override {
        std::array<std::string, phonebookSize> numbers{};
        numbers.at(0) = "+391234";
        numbers.at(9) = "+3910";
        ASSERT_FALSE(PhonebookFile(s.station).savePhonebook(numbers).failed());
        s.station.phonebook = {};
    }
    QPointer<PhoneBookWindow> open() {
        auto *book = new PhoneBookWindow(s.station, nullptr);
        book->openPhonebook();
        return book;
    }
    static QLineEdit *phone(QWidget *book, int entry) {
        return book->findChild<QLineEdit *>(QString("txtPhone_%1").arg(entry));
    }
    static void clickExit(QWidget *book) {
        QTest::mouseClick(book->findChild<QPushButton *>("cmdExit"), Qt::LeftButton);
    }
    // The phone book as the next start of the program finds it.
    SmsPhonebook inFile() {
        StationBench other{{2026, 2, 3, 9, 5, 0}, s.folder.path()};
        EXPECT_FALSE(PhonebookFile(other.station).loadPhonebook().failed());
        return other.station.phonebook;
    }

    SetupWindowBench s;
};

// Esc is the close box. A number stops at 20 characters as it is typed.
TEST_F(PhoneBookWindowTest, TheExitButtonKeepsAnEditTheCloseBoxAndEscLoseIt) {
    struct Row {
        const char *legend;
        void (*close)(QWidget *);
        const char *stored;
    };
    const Row rows[] = {
        {"close box: the edit is lost", [](QWidget *book) { clickCloseBox(book); }, "+3910"},
        {"Esc: the edit is lost",
         [](QWidget *book) { QTest::keyClick(phone(book, 10), Qt::Key_Escape); }, "+3910"},
        {"exit button: the edit is kept", clickExit, "+4420"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        QPointer<PhoneBookWindow> book = open();
        EXPECT_EQ(phone(book, 1)->text(), "+391234");
        EXPECT_EQ(phone(book, 10)->text(), "+3910");
        phone(book, 10)->clear();
        QTest::keyClicks(phone(book, 10), "+4420");
        QTest::keyClicks(phone(book, 9), QString(25, QChar('9')));
        EXPECT_EQ(phone(book, 9)->text(), QString(20, QChar('9')));
        phone(book, 9)->clear();
        row.close(book);
        deleteClosedWindows();
        EXPECT_TRUE(book.isNull());
        SmsPhonebook expected{"+391234"};
        expected.at(10) = row.stored;
        EXPECT_EQ(inFile(), expected);
        EXPECT_EQ(s.station.phonebook, expected);
    }
}

TEST_F(PhoneBookWindowTest, ARefusedNumberLeavesThePhoneBookAsItWas) {
    struct Row {
        const char *legend;
        QString text;
        bool fullDisk;
        const char *title, *message;
    };
    const char *const control =
        "Phone no 4: the text holds a control character (a line break, a tab or similar)";
    const Row rows[] = {
        {"pasted with a line break", "+39\n1234", false, "Data error", control},
        {"the disk takes no bytes", "+391111", true, "Phonebook",
         "The phone book was not saved.\n"},
    };
    const std::string before = SetupWindowBench::bytesOf(s.file("phonebook.xml"));
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        s.bench.dialogs.clear();
        QPointer<PhoneBookWindow> book = open();
        const SmsPhonebook loaded = s.station.phonebook;
        paste(phone(book, 4), row.text);
        phone(book, 1)->setFocus();
        std::optional<FullDisk> full;
        if (row.fullDisk)
            full.emplace();
        clickExit(book);
        full.reset();
        deleteClosedWindows();
        ASSERT_EQ(s.bench.dialogs.shown().size(), 1u);
        const RecordingDialogs::Shown &shown = s.bench.dialogs.shown()[0];
        EXPECT_EQ(shown.title, row.title);
        EXPECT_EQ(shown.text.rfind(row.message, 0), 0u) << shown.text;
        EXPECT_EQ(shown.text.find("kept in memory"), std::string::npos) << shown.text;
        ASSERT_FALSE(book.isNull()) << "the operator may correct the number";
        if (!row.fullDisk) {
            EXPECT_EQ(book->focusWidget(), phone(book, 4)) << "back on the number at fault";
        }
        EXPECT_EQ(s.station.phonebook, loaded);
        EXPECT_EQ(SetupWindowBench::bytesOf(s.file("phonebook.xml")), before);
        clickCloseBox(book);
    }
}

// Without its file neither window opens, and no file is made up.
TEST_F(PhoneBookWindowTest, AMissingFileIsReportedAndItsWindowDoesNotOpen) {
    const std::function<QWidget *()> setupWindow = [this] {
        auto *window = new DeviceSetupWindow(s.station, nullptr);
        window->openLogger("1234KV0125", record, logger);
        return window;
    };
    for (const auto &[file, opened, said] :
         {std::tuple{"phonebook.xml", std::function<QWidget *()>([this] { return open(); }),
                     "The phone book cannot be opened.\n"},
          std::tuple{setupFile, setupWindow, "The device setup cannot be opened.\n"}}) {
        SCOPED_TRACE(file);
        s.bench.dialogs.clear();
        std::filesystem::remove(s.file(file));
        QPointer<QWidget> window = opened();
        deleteClosedWindows();
        EXPECT_TRUE(window.isNull());
        ASSERT_EQ(s.bench.dialogs.shown().size(), 1u);
        EXPECT_TRUE(s.bench.dialogs.shown()[0].text.starts_with(said));
        EXPECT_FALSE(std::filesystem::exists(s.file(file)));
    }
}

} // namespace
} // namespace vantrell::testing
