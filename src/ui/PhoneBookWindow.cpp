#include "ui/PhoneBookWindow.h"

#include "config/CheckingData.h"
#include "config/SetupFiles.h"
#include "config/Station.h"
#include "general/Dialogs.h"
#include "ui/BoxInputCheck.h"
#include "ui/PictureButton.h"
#include "ui/QtText.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vantrell {

namespace {

constexpr const char *caption = "Phonebook";
constexpr const char *frameCaption = " Insert phone numbers for SMS ";
constexpr const char *exitTip = "Exit";
constexpr const char *cannotOpenText = "The phone book cannot be opened.\n";
constexpr const char *cannotSaveText = "The phone book was not saved.\n";
// International numbers have at most 15 digits; the rest leaves room for "+" and blanks.
constexpr int phoneLength = 20;

std::string phoneName(int entry) {
    return "Phone no " + std::to_string(entry);
}

// The memory is put back as well, so the message must not say that the change was kept.
std::string notSavedText(ConfigError error) {
    error.changeKept = false;
    return cannotSaveText + describe(error);
}

} // namespace

PhoneBookWindow::PhoneBookWindow(Station &station, QWidget *parent)
    : QDialog(parent), station_(station) {
    setObjectName("frmPhonebook");
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);

    auto *frame = new QGroupBox(frameCaption, this);
    frame->setObjectName("Frame1");
    auto *grid = new QGridLayout(frame);
    for (int entry = 1; entry <= phonebookSize; ++entry) {
        auto *label = new QLabel(qtext(phoneName(entry) + ":"), frame);
        label->setObjectName(QString("lblPhone_%1").arg(entry));
        QLineEdit *box = new QLineEdit(frame);
        box->setObjectName(QString("txtPhone_%1").arg(entry));
        box->setMaxLength(phoneLength);
        label->setBuddy(box);
        grid->addWidget(label, entry - 1, 0);
        grid->addWidget(box, entry - 1, 1);
        txtPhone_.at(static_cast<std::size_t>(entry - 1)) = box;
    }

    auto *cmdExit = new QPushButton(this);
    cmdExit->setObjectName("cmdExit");
    cmdExit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    cmdExit->setToolTip(exitTip);
    cmdExit->setAutoDefault(false);
    pressOnEnter(*cmdExit);
    connect(cmdExit, &QPushButton::clicked, this, &PhoneBookWindow::exitClicked);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdExit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
}

void PhoneBookWindow::openPhonebook() {
    if (const ConfigError error = PhonebookFile(station_).loadPhonebook(); error.failed()) {
        station_.dialogs().message(caption, cannotOpenText + describe(error), DialogButtons::ok,
                                   DialogIcon::critical);
        close();
        return;
    }
    for (int entry = 1; entry <= phonebookSize; ++entry)
        txtPhone_.at(static_cast<std::size_t>(entry - 1))
            ->setText(qtext(station_.phonebook.at(entry)));
    show();
}

bool PhoneBookWindow::inputAccepted() {
    for (int entry = 1; entry <= phonebookSize; ++entry) {
        QLineEdit *box = txtPhone_.at(static_cast<std::size_t>(entry - 1));
        if (const auto problem = boxProblem(box->text(), phoneName(entry))) {
            station_.dialogs().message(dataErrorTitle, *problem, DialogButtons::ok,
                                       DialogIcon::exclamation);
            box->setFocus();
            return false;
        }
    }
    return true;
}

// A phone book that did not reach its file stays as it was in memory too, so the alarms send
// to the numbers the file holds, and the window stays open with the operator's input.
void PhoneBookWindow::exitClicked() {
    if (!inputAccepted())
        return;
    std::array<std::string, phonebookSize> numbers;
    for (std::size_t p = 0; p < numbers.size(); ++p)
        numbers.at(p) = stdtext(txtPhone_.at(p)->text());
    const SmsPhonebook before = station_.phonebook;
    if (const ConfigError error = PhonebookFile(station_).savePhonebook(numbers); error.failed()) {
        station_.phonebook = before;
        station_.dialogs().message(caption, notSavedText(error), DialogButtons::ok,
                                   DialogIcon::critical);
        return;
    }
    close();
}

} // namespace vantrell
