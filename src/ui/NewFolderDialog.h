// Creates a sub-folder from inside the folder picker, refusing a missing or unusable name.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace vantrell {

class Station;

class NewFolderDialog : public QDialog {
    Q_OBJECT

public:
    NewFolderDialog(Station &station, QString parentFolder, QWidget *parent);

signals:
    void created(const QString &folder);

private:
    void okClicked();

    Station &station_;
    QString parentFolder_;
    QLineEdit *text1_ = nullptr;
};

} // namespace vantrell
