// The folder picker and its new-folder dialog over real folders of a temporary tree.
#include "ui/FolderPicker.h"

#include "ui/NewFolderDialog.h"
#include "ui/PathLabel.h"

#include "SetupWindowBench.h"
#include "config/DeviceFile.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace vantrell::testing {
namespace {

QString native(const std::filesystem::path &path) {
    return QDir::toNativeSeparators(QString::fromStdString(path.string()));
}

// Enter in `box`, or a click on `button`: the operator's two ways to say OK.
void confirm(QWidget *box, QAbstractButton *button, bool byEnter) {
    if (!byEnter)
        return QTest::mouseClick(button, Qt::LeftButton);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return);
}

struct FolderBench : SetupWindowBench {
    FolderBench() {
        EXPECT_FALSE(DeviceFile(station).loadDeviceTable().failed());
        std::filesystem::create_directories(data.path() / "existing");
        station.selectedDevice = 2;
    }

    std::unique_ptr<FolderPicker> openPicker(const std::string &savingPath) {
        station.devices.at(2)[field::dataDirectory] = savingPath;
        auto picker = std::make_unique<FolderPicker>(station, nullptr);
        picker->show();
        return picker;
    }
    QString shownPath(const FolderPicker &picker) const {
        return picker.findChild<QLabel *>("lblPath")->text();
    }
    static void choose(const FolderPicker &picker, const std::filesystem::path &folder) {
        auto *tree = picker.findChild<QTreeView *>("Dir1");
        auto *model = qobject_cast<QFileSystemModel *>(tree->model());
        tree->setCurrentIndex(model->index(QString::fromStdString(folder.string())));
    }

    TempFolder data;
};

TEST(FolderPicker, StartsInTheSavingPathOrTheNearestFolderThatIsLeftOrHome) {
    struct Case {
        const char *legend;
        std::string savingPath;
        QString shown;
    };
    FolderBench b;
    const std::filesystem::path existing = b.data.path() / "existing";
    const QString home = QDir::toNativeSeparators(QDir::homePath());
    for (const Case &c : {
             Case{"no saving path: the home folder", "", home},
             Case{"blanks only: the home folder", "   ", home},
             Case{"a folder that exists", existing.string(), native(existing)},
             Case{"a folder gone since: the nearest one left",
                  (existing / "gone" / "deeper").string(), native(existing)},
         }) {
        auto picker = b.openPicker(c.savingPath);
        EXPECT_EQ(b.shownPath(*picker), c.shown) << c.legend;
        EXPECT_GE(picker->findChild<QComboBox *>("Drive1")->count(), 1) << c.legend;
    }
}

// The tree reads its folders in the background; once they are in, the folder the picker opened
// on is still the chosen one, and in view among its many neighbours.
TEST(FolderPicker, OpensWithTheCurrentFolderSelectedAndInView) {
    FolderBench b;
    const std::filesystem::path many = b.data.path() / "many";
    for (int k = 0; k < 80; ++k)
        std::filesystem::create_directories(many / ("f" + std::to_string(100 + k)));
    const std::filesystem::path chosen = many / "f170";
    auto picker = b.openPicker(chosen.string());
    auto *tree = picker->findChild<QTreeView *>("Dir1");
    auto *model = qobject_cast<QFileSystemModel *>(tree->model());
    const QModelIndex parent = model->index(QString::fromStdString(many.string()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(parent) == 80; }));
    QCoreApplication::processEvents();

    const QModelIndex current = tree->currentIndex();
    EXPECT_EQ(model->filePath(current).toStdString(), chosen.string());
    EXPECT_TRUE(tree->selectionModel()->isSelected(current));
    EXPECT_TRUE(tree->viewport()->rect().contains(tree->visualRect(current)));
    EXPECT_EQ(b.shownPath(*picker), native(chosen));
}

// "Save", or Enter in the tree ("New" needs a click of its own), stores the folder chosen as the
// record's saving path, in the table and in prop.xml; a save that fails keeps the old path and
// the picker open.
TEST(FolderPicker, SaveStoresTheChosenFolderAsTheRecordsSavingPath) {
    struct Row {
        const char *legend;
        bool byEnter, fails;
    };
    for (const Row &row : {Row{"Save", false, false}, Row{"Enter", true, false},
                           Row{"Save with prop.xml gone", false, true}}) {
        SCOPED_TRACE(row.legend);
        FolderBench b;
        auto picker = b.openPicker("/srv/old");
        const std::filesystem::path chosen = b.data.path() / "existing";
        b.choose(*picker, chosen);
        ASSERT_EQ(b.shownPath(*picker), native(chosen));
        if (row.fails)
            std::filesystem::remove(b.folder.path() / "prop.xml");

        confirm(picker->findChild<QTreeView *>("Dir1"), picker->findChild<QPushButton *>("btnsave"),
                row.byEnter);

        EXPECT_EQ(picker->isVisible(), row.fails);
        EXPECT_EQ(picker->findChild<NewFolderDialog *>(), nullptr);
        const std::string path = row.fails ? "/srv/old" : chosen.string();
        EXPECT_EQ(b.station.devices.at(2)[field::dataDirectory], path);
        if (!row.fails) {
            EXPECT_EQ(storedDevice(b.folder.path(), 2)[field::dataDirectory], path);
        }
        EXPECT_EQ(said(b.bench.dialogs).starts_with("Select path: "), row.fails);
    }
}

TEST(FolderPicker, ACreatedFolderTakesThePickerBackToItsStart) {
    FolderBench b;
    auto picker = b.openPicker("");
    const QString start = b.shownPath(*picker);
    b.choose(*picker, b.data.path());

    QTest::mouseClick(picker->findChild<QPushButton *>("btnmkdir"), Qt::LeftButton);
    auto *dialog = picker->findChild<NewFolderDialog *>("newfolder");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->findChild<QLabel *>("Label2")->text(), native(b.data.path()));
    QTest::mouseClick(dialog->findChild<QPushButton *>("btnok"), Qt::LeftButton);

    EXPECT_TRUE(std::filesystem::is_directory(b.data.path() / "New Folder"));
    EXPECT_EQ(b.shownPath(*picker), start);
}

// A long path never makes the picker, or the new-folder dialog it opens, wider than the screen:
// the path is shown with its middle left out, and the whole of it is in the tip.
TEST(FolderPicker, ALongPathStaysWithinTheScreen) {
    FolderBench b;
    std::filesystem::path deep = b.data.path();
    for (int k = 0; k < 12; ++k)
        deep /= "a folder with a rather long name " + std::to_string(k);
    std::filesystem::create_directories(deep);
    auto picker = b.openPicker(deep.string());
    QTest::mouseClick(picker->findChild<QPushButton *>("btnmkdir"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents();
    for (const auto &[window, label] :
         {std::pair<QWidget *, const char *>{picker.get(), "lblPath"},
          {picker->findChild<NewFolderDialog *>("newfolder"), "Label2"}}) {
        SCOPED_TRACE(label);
        ASSERT_NE(window, nullptr);
        const auto *path = window->findChild<PathLabel *>(label);
        EXPECT_LE(window->frameGeometry().width(), window->screen()->availableGeometry().width());
        EXPECT_EQ(path->toolTip(), native(deep));
        EXPECT_TRUE(path->shownText().contains(QChar(0x2026))) << path->shownText().toStdString();
        EXPECT_LE(path->fontMetrics().horizontalAdvance(path->shownText()),
                  path->contentsRect().width());
    }
}

// Enter in the name box creates the folder as the OK button does.
TEST(NewFolder, RefusesMissingAndUnusableNamesAndCreatesTheRest) {
    struct Case {
        const char *legend;
        QString name;
        const char *message; // nullptr: created
        bool byEnter;
    };
    for (const Case &c : {
             Case{"blanks only", "   ", "Folder name missing", false},
             Case{"a folder that exists", "existing", "Folder name is not valid", false},
             Case{"a path, not a name", "a/b", "Folder name is not valid", false},
             Case{"the parent itself", "..", "Folder name is not valid", false},
             Case{"a pasted line break", "in\nbox", "Folder name is not valid", false},
             Case{"a new name, blanks around it dropped", "  fresh ", nullptr, false},
             Case{"Enter in the name box", "by keyboard", nullptr, true},
         }) {
        SCOPED_TRACE(c.legend);
        FolderBench b;
        const QString parent = native(b.data.path());
        NewFolderDialog dialog(b.station, parent, nullptr);
        dialog.show();
        QSignalSpy created(&dialog, &NewFolderDialog::created);
        EXPECT_EQ(dialog.findChild<QLabel *>("Label2")->text(), parent);
        auto *name = dialog.findChild<QLineEdit *>("Text1");
        EXPECT_EQ(name->text(), "New Folder");
        name->setText(c.name);

        confirm(name, dialog.findChild<QPushButton *>("btnok"), c.byEnter);

        EXPECT_EQ(dialog.isVisible(), c.message != nullptr);
        EXPECT_EQ(created.count(), c.message ? 0 : 1);
        if (!c.message) {
            EXPECT_TRUE(b.bench.dialogs.shown().empty());
            EXPECT_TRUE(
                std::filesystem::is_directory(b.data.path() / c.name.trimmed().toStdString()));
            continue;
        }
        ASSERT_EQ(said(b.bench.dialogs), std::string("New Folder: ") + c.message);
        EXPECT_EQ(b.bench.dialogs.shown()[0].icon, DialogIcon::exclamation);
    }
}

} // namespace
} // namespace vantrell::testing
