#include "ui/FolderPicker.h"

#include "config/DeviceStore.h"
#include "config/Station.h"
#include "general/Dialogs.h"
#include "general/Text.h"
#include "ui/HeldStores.h"
#include "ui/NewFolderDialog.h"
#include "ui/PathLabel.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace vantrell {

namespace {

constexpr const char *caption = "Select path";
constexpr const char *notSavedText = "The folder could not be saved; nothing was changed.\n";

QString nativePath(const QString &path) {
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

// The root of the platform that holds `folder` (the longest one that is a prefix of it).
QString rootOf(const QString &folder) {
    QString best = QDir::rootPath();
    for (const QFileInfo &drive : QDir::drives()) {
        const QString root = drive.absoluteFilePath();
        if (folder.startsWith(root, Qt::CaseInsensitive) && root.size() > best.size())
            best = root;
    }
    return best;
}

} // namespace

FolderPicker::FolderPicker(Station &station, QWidget *parent)
    : QDialog(parent), station_(station),
      record_(std::clamp(station.selectedDevice, 1, maxDevices)) {
    setObjectName("frmPath");
    setWindowTitle(caption);
    buildControls();
    restart();
}

void FolderPicker::buildControls() {
    drive1_ = new QComboBox;
    drive1_->setObjectName("Drive1");
    for (const QFileInfo &drive : QDir::drives())
        drive1_->addItem(nativePath(drive.absoluteFilePath()), drive.absoluteFilePath());

    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    dir1_ = new QTreeView;
    dir1_->setObjectName("Dir1");
    dir1_->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column)
        dir1_->hideColumn(column);
    dir1_->header()->hide();

    lblPath_ = new PathLabel;
    lblPath_->setObjectName("lblPath");
    // Enter in the tree saves the folder chosen; only "New" asks for a click of its own.
    auto *save = new QPushButton("Save");
    save->setObjectName("btnsave");
    save->setDefault(true);
    auto *make = new QPushButton("New");
    make->setObjectName("btnmkdir");
    make->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(make);
    buttons->addWidget(save);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(drive1_);
    layout->addWidget(dir1_, 1);
    layout->addWidget(lblPath_);
    layout->addLayout(buttons);
    resize(360, 420);

    connect(drive1_, &QComboBox::activated, this, &FolderPicker::driveChosen);
    connect(dir1_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                followChosen_ = false;
                if (current.isValid())
                    chooseFolder(model_->filePath(current));
            });
    // The tree reads folders in the background, and each batch moves the rows below it: until
    // the operator scrolls or picks another folder, the chosen one is kept in view.
    const auto keepChosenInView = [this] {
        if (followChosen_)
            dir1_->scrollTo(dir1_->currentIndex(), QAbstractItemView::PositionAtCenter);
    };
    connect(model_, &QFileSystemModel::rowsInserted, this, keepChosenInView);
    connect(model_, &QFileSystemModel::layoutChanged, this, keepChosenInView);
    connect(dir1_->verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this] { followChosen_ = false; });
    connect(save, &QPushButton::clicked, this, &FolderPicker::saveClicked);
    connect(make, &QPushButton::clicked, this, &FolderPicker::newClicked);
}

// The stored folder when it is still there; otherwise the nearest folder above it that is, and
// the home folder when nothing is stored or nothing of it is left.
QString FolderPicker::startFolder() const {
    const std::string stored = trim(station_.devices.at(record_)[field::dataDirectory]);
    if (stored.empty())
        return QDir::homePath();
    QString folder =
        QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(qtext(stored))).absoluteFilePath());
    while (!QFileInfo(folder).isDir()) {
        const QString above = QFileInfo(folder).path();
        if (above == folder)
            return QDir::homePath();
        folder = above;
    }
    return folder;
}

void FolderPicker::restart() {
    const QString start = startFolder();
    showRoot(rootOf(start));
    chooseFolder(start);
    const QModelIndex shown = model_->index(start);
    dir1_->setCurrentIndex(shown);
    followChosen_ = true;
    dir1_->scrollTo(shown, QAbstractItemView::PositionAtCenter);
}

void FolderPicker::showRoot(const QString &root) {
    root_ = root;
    drive1_->setCurrentIndex(std::max(0, drive1_->findData(root)));
    model_->setRootPath(root);
    dir1_->setRootIndex(model_->index(root));
}

void FolderPicker::chooseFolder(const QString &folder) {
    folder_ = nativePath(folder);
    lblPath_->setPath(folder_);
}

// A root that cannot be read (a drive without a medium) leaves everything as it was.
void FolderPicker::driveChosen(int index) {
    const QString root = drive1_->itemData(index).toString();
    if (!QDir(root).isReadable()) {
        drive1_->setCurrentIndex(std::max(0, drive1_->findData(root_)));
        return;
    }
    showRoot(root);
    chooseFolder(root);
}

// While a session reads the record's device the folder waits for the session's end (the
// properties dialog says so) and the picker closes as after any save.
void FolderPicker::saveClicked() {
    const auto store = [&station = station_, record = record_, folder = stdtext(folder_)] {
        const ConfigError error = DeviceStore(station).storeDataFolder(record, folder);
        if (error)
            station.dialogs().message(caption, notSavedText + describe(error), DialogButtons::ok,
                                      DialogIcon::exclamation);
        return !error;
    };
    if (HeldStores *held = HeldStores::of(this); held != nullptr && held->mustWait(record_))
        held->hold(record_, store);
    else if (!store())
        return;
    close();
}

void FolderPicker::newClicked() {
    auto *dialog = new NewFolderDialog(station_, folder_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &NewFolderDialog::created, this, &FolderPicker::restart);
    dialog->show();
}

} // namespace vantrell
