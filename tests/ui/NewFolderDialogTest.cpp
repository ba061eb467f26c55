// The new-folder dialog over a temporary folder: the names it refuses, with their messages, and
// the folder it creates.
#include "ui/NewFolderDialog.h"

#include "StationBench.h"
#include "TempFolder.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace vantrell::testing {
namespace {

QString native(const std::filesystem::path &path) {
    return QDir::toNativeSeparators(QString::fromStdString(path.string()));
}

struct NewFolderBench {
    NewFolderBench() { std::filesystem::create_directories(data.path() / "existing"); }

    TempFolder data;
    StationBench bench;
    Station &station = bench.station;
};

TEST(NewFolder, RefusesMissingAndUnusableNamesAndCreatesTheRest) {
    struct Case {
        const char *legend;
        QString name;
        const char *message; // nullptr: created
        const char *created;
    };
    for (const Case &c : {
             Case{"blanks only", "   ", "Folder name missing", nullptr},
             Case{"empty", "", "Folder name missing", nullptr},
             Case{"a folder that exists", "existing", "Folder name is not valid", nullptr},
             Case{"a path, not a name", "a/b", "Folder name is not valid", nullptr},
             Case{"the parent itself", "..", "Folder name is not valid", nullptr},
             Case{"a pasted line break", "in\nbox", "Folder name is not valid", nullptr},
             Case{"a new name, blanks around it dropped", "  fresh ", nullptr, "fresh"},
         }) {
        NewFolderBench b;
        NewFolderDialog dialog(b.station, native(b.data.path()), nullptr);
        dialog.show();
        QSignalSpy created(&dialog, &NewFolderDialog::created);
        EXPECT_EQ(dialog.findChild<QLabel *>("Label2")->text(), native(b.data.path()));
        EXPECT_EQ(dialog.findChild<QLineEdit *>("Text1")->text(), "New Folder");
        dialog.findChild<QLineEdit *>("Text1")->setText(c.name);

        QTest::mouseClick(dialog.findChild<QPushButton *>("btnok"), Qt::LeftButton);

        if (c.message) {
            ASSERT_EQ(b.bench.dialogs.shown().size(), 1u) << c.legend;
            EXPECT_EQ(b.bench.dialogs.shown()[0].title, "New Folder") << c.legend;
            EXPECT_EQ(b.bench.dialogs.shown()[0].text, c.message) << c.legend;
            EXPECT_EQ(b.bench.dialogs.shown()[0].icon, DialogIcon::exclamation) << c.legend;
            EXPECT_TRUE(dialog.isVisible()) << c.legend;
            EXPECT_EQ(created.count(), 0) << c.legend;
        } else {
            EXPECT_TRUE(b.bench.dialogs.shown().empty()) << c.legend;
            EXPECT_TRUE(std::filesystem::is_directory(b.data.path() / c.created)) << c.legend;
            EXPECT_FALSE(dialog.isVisible()) << c.legend;
            EXPECT_EQ(created.count(), 1) << c.legend;
        }
    }
}

TEST(NewFolder, EnterInTheNameBoxCreatesTheFolder) {
    NewFolderBench b;
    NewFolderDialog dialog(b.station, native(b.data.path()), nullptr);
    dialog.show();
    auto *name = dialog.findChild<QLineEdit *>("Text1");
    name->setText("by keyboard");
    name->setFocus();

    QTest::keyClick(name, Qt::Key_Return);

    EXPECT_TRUE(std::filesystem::is_directory(b.data.path() / "by keyboard"));
    EXPECT_FALSE(dialog.isVisible());
}

} // namespace
} // namespace vantrell::testing
