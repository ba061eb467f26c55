// The phone book window: the exit button stores the ten numbers, the close box forgets the
// edits, and a number that must not reach the file, or a disk that refuses it, leaves the phone
// book as it was with the window open.
#include "ui/PhoneBookWindow.h"

#include "SetupWindowBench.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace vantrell::testing {
namespace {

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
        {"close box: the edit is lost", clickCloseBox, "+3910"},
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
        bool paste, fullDisk;
        const char *title, *message;
    };
    const char *const control =
        "Phone no 4: the text holds a control character (a line break, a tab or similar)";
    const Row rows[] = {
        {"pasted with a line break", "+39\n1234", true, false, "Data error", control},
        {"pasted with a tab", "+39\t1234", true, false, "Data error", control},
        {"the disk takes no bytes", "+391111", false, true, "Phonebook",
         "The phone book was not saved.\n"},
    };
    const std::string before = SetupWindowBench::bytesOf(s.file("phonebook.xml"));
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        s.bench.dialogs.clear();
        QPointer<PhoneBookWindow> book = open();
        const SmsPhonebook loaded = s.station.phonebook;
        if (row.paste) {
            QGuiApplication::clipboard()->setText(row.text);
            phone(book, 4)->setFocus();
            QTest::keySequence(phone(book, 4), QKeySequence::Paste);
            phone(book, 1)->setFocus();
        } else {
            phone(book, 4)->setText(row.text);
        }
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

TEST_F(PhoneBookWindowTest, AMissingPhoneBookIsReportedAndTheWindowDoesNotOpen) {
    std::filesystem::remove(s.file("phonebook.xml"));
    QPointer<PhoneBookWindow> book = open();
    deleteClosedWindows();
    EXPECT_TRUE(book.isNull());
    ASSERT_EQ(s.bench.dialogs.shown().size(), 1u);
    EXPECT_EQ(s.bench.dialogs.shown()[0].text.rfind("The phone book cannot be opened.\n", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(s.file("phonebook.xml")));
}

} // namespace
} // namespace vantrell::testing
