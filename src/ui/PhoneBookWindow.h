// The ten telephone numbers that receive the channel alarm SMS. The exit button stores them;
// the window's close box leaves the phone book as it was.
#pragma once

#include "config/Tables.h"

#include <QDialog>

#include <array>

class QLineEdit;

namespace vantrell {

class Station;

class PhoneBookWindow : public QDialog {
    Q_OBJECT

public:
    PhoneBookWindow(Station &station, QWidget *parent);

    // Loads the phone book and shows the window; when the file cannot be read the operator is
    // told and the window closes.
    void openPhonebook();

private:
    void exitClicked();
    bool inputAccepted();

    Station &station_;
    std::array<QLineEdit *, phonebookSize> txtPhone_{};
};

} // namespace vantrell
