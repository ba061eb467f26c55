// The folder picker for a device's data files: the roots the platform offers, the folder tree of
// the chosen root, and the chosen folder, stored as the device's saving path on "Save".
#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QFileSystemModel;
class QTreeView;

namespace vantrell {

class PathLabel;
class Station;

class FolderPicker : public QDialog {
    Q_OBJECT

public:
    FolderPicker(Station &station, QWidget *parent);

    // Back to where the picker opens: the record's saving path, or the home folder.
    void restart();
    const QString &folder() const { return folder_; }

private:
    void buildControls();
    QString startFolder() const;
    void showRoot(const QString &root);
    void chooseFolder(const QString &folder);
    void driveChosen(int index);
    void saveClicked();
    void newClicked();

    Station &station_;
    int record_;
    QString folder_;
    QString root_;
    bool followChosen_ = false;
    QComboBox *drive1_ = nullptr;
    QTreeView *dir1_ = nullptr;
    PathLabel *lblPath_ = nullptr;
    QFileSystemModel *model_ = nullptr;
};

} // namespace vantrell
