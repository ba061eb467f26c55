#include "ui/NewFolderDialog.h"

#include "config/Station.h"
#include "general/Dialogs.h"
#include "ui/PathLabel.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace vantrell {

namespace {

constexpr const char *caption = "Create new folder";
constexpr const char *messageTitle = "New Folder";
constexpr const char *missingText = "Folder name missing";
constexpr const char *notValidText = "Folder name is not valid";
constexpr const char *defaultName = "New Folder";

// One folder name: no separator of either kind (a "\" would make a name that looks like a path
// to the operator), no control character, not "." or "..".
bool usableName(const QString &name) {
    const bool control = std::any_of(name.begin(), name.end(),
                                     [](QChar c) { return c.category() == QChar::Other_Control; });
    return !control && name != "." && name != ".." && !name.contains('/') && !name.contains('\\');
}

QLabel *label(const char *name, const QString &text) {
    auto *shown = new QLabel(text);
    shown->setObjectName(name);
    return shown;
}

} // namespace

NewFolderDialog::NewFolderDialog(Station &station, QString parentFolder, QWidget *parent)
    : QDialog(parent), station_(station), parentFolder_(std::move(parentFolder)) {
    setObjectName("newfolder");
    setWindowTitle(caption);
    auto *parentLabel = new PathLabel;
    parentLabel->setObjectName("Label2");
    parentLabel->setPath(parentFolder_);
    QFont bold = parentLabel->font();
    bold.setBold(true);
    parentLabel->setFont(bold);
    text1_ = new QLineEdit(defaultName);
    text1_->setObjectName("Text1");
    // Enter in the name box creates the folder.
    auto *ok = new QPushButton("&Ok");
    ok->setObjectName("btnok");
    ok->setDefault(true);
    auto *cancel = new QPushButton("&Close");
    cancel->setObjectName("btncancel");
    cancel->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label("Label1", "The new folder will be inserted in..."));
    layout->addWidget(parentLabel);
    layout->addWidget(label("Label3", "Insert the new folder name"));
    layout->addWidget(text1_);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &NewFolderDialog::okClicked);
    connect(cancel, &QPushButton::clicked, this, &NewFolderDialog::close);
}

// Blanks around the name are dropped: a folder named " data" cannot be told from "data".
void NewFolderDialog::okClicked() {
    const QString name = text1_->text().trimmed();
    if (name.isEmpty()) {
        station_.dialogs().message(messageTitle, missingText, DialogButtons::ok,
                                   DialogIcon::exclamation);
        return;
    }
    QDir parent(QDir::fromNativeSeparators(parentFolder_));
    if (!usableName(name) || !parent.mkdir(name)) {
        station_.dialogs().message(messageTitle, notValidText, DialogButtons::ok,
                                   DialogIcon::exclamation);
        return;
    }
    const QString folder = parent.filePath(name);
    close();
    emit created(folder);
}

} // namespace vantrell
