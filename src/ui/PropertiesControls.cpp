// The controls of the device properties dialog and where they sit: every control a child named
// as the operator's manuals name it, grouped in the frames the operator knows.
#include "ui/PropertiesDialog.h"

#include "config/Station.h"
#include "config/Tables.h"
#include "ui/DefaultTextBox.h"
#include "ui/EdgeCheckFrame.h"
#include "ui/PictureButton.h"
#include "ui/QtText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace vantrell {

namespace {

constexpr const char *defaultRootDirectory = "/ForwardData";
constexpr const char *notAvailableText = "This section is not available ";
constexpr const char *newFileText =
    "Saving data each time creating a new file in format xxxxddmmyy.txt";
constexpr const char *existingFileText = "Saving data to an already existing file";
constexpr int phoneLength = 20;
constexpr int serialLength = 10;
constexpr int descriptionLength = 50;

QString indexed(const char *name, int index) {
    return QString("%1_%2").arg(name).arg(index);
}

template <typename Widget> Widget *named(const QString &name, Widget *widget) {
    widget->setObjectName(name);
    return widget;
}

QLabel *label(const QString &name, const QString &text) {
    return named(name, new QLabel(text));
}
// A box without a caption of its own (its label stands beside it) is only as wide as its mark,
// so a click beside the mark does not count as a click on it.
QCheckBox *check(const QString &name, const QString &text) {
    auto *box = named(name, new QCheckBox(text));
    if (text.isEmpty())
        box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return box;
}
QRadioButton *option(const QString &name, const QString &text) {
    return named(name, new QRadioButton(text));
}
QGroupBox *frame(const QString &name, const QString &title) {
    return named(name, new QGroupBox(title));
}
QLineEdit *textBox(const QString &name, int maxLength = 32767) {
    auto *box = named(name, new QLineEdit);
    box->setMaxLength(maxLength);
    return box;
}
// Enter in a text box must not press a button the operator never chose.
QPushButton *button(const QString &name, const QString &text) {
    auto *pushButton = named(name, new QPushButton(text));
    pushButton->setAutoDefault(false);
    return pushButton;
}
QToolButton *pictureButton(const QString &name, QStyle::StandardPixmap picture, const QString &tip,
                           QWidget *owner) {
    auto *button = named(name, new QToolButton);
    button->setIcon(owner->style()->standardIcon(picture));
    button->setIconSize(QSize(32, 32));
    button->setToolTip(tip);
    pressOnEnter(*button);
    return button;
}

QButtonGroup *optionGroup(QWidget *owner, std::initializer_list<QRadioButton *> options) {
    auto *group = new QButtonGroup(owner);
    for (QRadioButton *o : options)
        group->addButton(o);
    return group;
}

} // namespace

// Three columns under a top row that holds the description, the commands at the foot of the
// shortest column: at 125 % on a 1366 x 768 screen the dialog fits with every button in reach.
// The dialog always takes the size of what it shows, so it shrinks again when a frame hides.
void PropertiesDialog::buildControls() {
    const auto column = [](std::initializer_list<QWidget *> frames) {
        auto *layout = new QVBoxLayout;
        for (QWidget *frame : frames)
            layout->addWidget(frame);
        return layout;
    };
    auto *deviceRow = new QHBoxLayout;
    deviceRow->addWidget(buildDevice(), 0, Qt::AlignTop);
    deviceRow->addWidget(buildOptions());
    auto *left = column({buildCommunication()});
    left->addLayout(deviceRow);
    left->addWidget(buildSaving());
    left->addStretch();
    auto *middle = column({buildSerials(), buildSchedules()});
    middle->addStretch();
    auto *right = column({buildForward(), buildAlarm()});
    right->addStretch();
    right->addWidget(buildCommands());
    auto *columns = new QHBoxLayout;
    for (QLayout *layout : {left, middle, right})
        columns->addLayout(layout);
    // Under the three columns, where a line of any length fits without widening them.
    lblHeld_ = label("lblHeld", {});
    lblHeld_->hide();
    auto *whole = new QVBoxLayout(this);
    whole->addWidget(buildTop());
    whole->addLayout(columns);
    whole->addWidget(lblHeld_);
    whole->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget *PropertiesDialog::buildTop() {
    auto *top = new QWidget;
    auto *row = new QHBoxLayout(top);
    row->setContentsMargins(0, 0, 0, 0);
    chkActive_ = check("chkActive", "Active");
    lblSelRow_ = label("lblSelRow", {});
    cmdPrevious_ = named("cmdPrevious", new QToolButton);
    cmdPrevious_->setText("<");
    cmdNext_ = named("cmdNext", new QToolButton);
    cmdNext_->setText(">");
    row->addWidget(chkActive_);
    row->addWidget(buildDescription(), 1);
    row->addWidget(label("Label5", "Record number"));
    row->addWidget(lblSelRow_);
    row->addWidget(cmdPrevious_);
    row->addWidget(cmdNext_);
    return top;
}

QWidget *PropertiesDialog::buildCommunication() {
    auto *communication = frame("FrameCommunication", " Communication ");
    auto *type = frame("FrameType", " Type ");
    optCommType_ = {option(indexed("optCommType", 0), "Local "),
                    option(indexed("optCommType", 1), "Remote")};
    auto *typeRow = new QHBoxLayout(type);
    typeRow->addWidget(optCommType_[0]);
    typeRow->addWidget(optCommType_[1]);
    optionGroup(this, {optCommType_[0], optCommType_[1]});

    frameComm_[0] = frame(indexed("FrameComm", 0), {});
    chkNetwork_ = check("chkNetwork", {});
    cmbNetwork_ = named("cmbNetwork", new QComboBox);
    cmbSection_ = named("cmbSection", new QComboBox);
    auto *local = new QGridLayout(frameComm_[0]);
    local->addWidget(chkNetwork_, 0, 0);
    local->addWidget(label("lblNetwork", "Network"), 0, 1);
    local->addWidget(label(indexed("lblNet", 0), "Network"), 1, 0);
    local->addWidget(cmbNetwork_, 1, 1);
    local->addWidget(label(indexed("lblNet", 1), "Section"), 2, 0);
    local->addWidget(cmbSection_, 2, 1);

    frameComm_[1] = frame(indexed("FrameComm", 1), {});
    txtPhone_ = textBox("txtPhone", phoneLength);
    chkOutLine_ = check("chkOutLine", {});
    cmbOutline_ = named("cmbOutline", new QComboBox);
    auto *modem = new QGridLayout(frameComm_[1]);
    modem->addWidget(label("lblPhone", "Phone no.:"), 0, 0);
    modem->addWidget(txtPhone_, 0, 1, 1, 2);
    modem->addWidget(chkOutLine_, 1, 0);
    modem->addWidget(label("lblOut", "Outside line"), 1, 1);
    modem->addWidget(cmbOutline_, 1, 2);

    auto *layout = new QVBoxLayout(communication);
    layout->addWidget(type);
    auto *kinds = new QHBoxLayout;
    kinds->addWidget(frameComm_[0]);
    kinds->addWidget(frameComm_[1]);
    layout->addLayout(kinds);
    return communication;
}

QWidget *PropertiesDialog::buildDevice() {
    auto *device = frame("FrameDevice", " Device ");
    cmbDevice_ = named("cmbDevice", new QComboBox);
    chkSwitch_ = check("chkSwitch", "Switch");
    auto *row = new QHBoxLayout(device);
    row->addWidget(cmbDevice_);
    row->addWidget(chkSwitch_);
    return device;
}

QWidget *PropertiesDialog::buildSerials() {
    auto *serials = frame("FrameSerial", " Serial no. ");
    auto *grid = new QGridLayout(serials);
    for (int k = 1; k <= maxLoggers; ++k) {
        lblSN_[k] = label(indexed("lblSN", k), QString("Serial No.%1 :").arg(k));
        txtSN_[k] = textBox(indexed("txtSN", k), serialLength);
        cmdSetup_[k] = button(indexed("cmdSetup", k), "Setup");
        grid->addWidget(lblSN_[k], k, 0);
        grid->addWidget(txtSN_[k], k, 1);
        grid->addWidget(cmdSetup_[k], k, 2);
        if (k > 1) {
            lblSN_[k]->setEnabled(false);
            txtSN_[k]->setEnabled(false);
        }
    }
    return serials;
}

QWidget *PropertiesDialog::buildDescription() {
    auto *description = frame("FrameDescription", " Description ");
    txtDescription_ = textBox("txtDescription", descriptionLength);
    auto *row = new QHBoxLayout(description);
    row->addWidget(label("lblDescription", "Description:"));
    row->addWidget(txtDescription_);
    return description;
}

QWidget *PropertiesDialog::buildSchedules() {
    auto *schedules = frame("FrameSchedules", " Schedules ");
    auto *grid = new QGridLayout(schedules);
    const std::array names = {"Daily", "Weekly", "Monthly"};
    auto *kinds = new QButtonGroup(this);
    for (int k = 0; k < 3; ++k) {
        QRadioButton *kind = option(indexed("optSchedules", k), names[std::size_t(k)]);
        kind->setEnabled(k == 0);
        kind->setChecked(k == 0);
        kinds->addButton(kind);
        grid->addWidget(kind, 0, k);
    }
    for (int i = 0; i < scheduleTimeCount; ++i) {
        chkTime_[std::size_t(i)] = check(indexed("chkTime", i), {});
        lblTime_[std::size_t(i)] = label(indexed("lblTime", i), {});
        auto *slot = new QHBoxLayout;
        slot->addWidget(chkTime_[std::size_t(i)]);
        slot->addWidget(lblTime_[std::size_t(i)]);
        grid->addLayout(slot, 1 + i / 2, i % 2);
    }
    return schedules;
}

QWidget *PropertiesDialog::buildSaving() {
    auto *file = frame("FrameSaving", " Saving File ");
    optSaving_ = {option(indexed("optSaving", 0), "New"),
                  option(indexed("optSaving", 1), "Existing")};
    optionGroup(this, {optSaving_[0], optSaving_[1]});
    optSaving_[0]->setChecked(true);
    auto *grid = new QGridLayout(file);
    const std::array explanations = {label("lblSavingNew", newFileText),
                                     label("lblSavingExisting", existingFileText)};
    for (std::size_t k = 0; k < explanations.size(); ++k) {
        explanations[k]->setWordWrap(true);
        grid->addWidget(optSaving_[k], int(k), 0, Qt::AlignTop);
        grid->addWidget(explanations[k], int(k), 1);
    }
    grid->addWidget(button("cmdPath", "Browse"), 2, 0, 1, 2, Qt::AlignLeft);
    return file;
}

QWidget *PropertiesDialog::buildOptions() {
    auto *options = new QWidget;
    auto *layout = new QVBoxLayout(options);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *time = frame("FrameTime", {});
    chkFixTime_ = check("chkFixTime", "Fix Device clock");
    (new QVBoxLayout(time))->addWidget(chkFixTime_);
    frameMemory_ = frame("FrameMemory", {});
    chkMemory_ = check("chkMemory", "Memory reset");
    (new QVBoxLayout(frameMemory_))->addWidget(chkMemory_);
    layout->addWidget(time);
    layout->addWidget(frameMemory_);
    return options;
}

QWidget *PropertiesDialog::buildForward() {
    auto *forward = frame("FrameForward", " Forward ");
    chkForward_ = check("chkForward", "Send data forward");

    forwardSettings_ = new QWidget;
    auto *details = new QVBoxLayout(forwardSettings_);
    details->setContentsMargins(0, 0, 0, 0);
    optFdType_ = {option(indexed("optFdType", 0), "Mail"), option(indexed("optFdType", 1), "FTP")};
    fdTypeGroup_ = optionGroup(this, {optFdType_[0], optFdType_[1]});
    auto *types = new QHBoxLayout;
    types->addWidget(optFdType_[0]);
    types->addWidget(optFdType_[1]);
    details->addLayout(types);

    frameMail_ = frame("FrameMail", " Mail Properties");
    txtSMTPServer_ = textBox("txtSMTPServer");
    txtMail_ = textBox("txtMail");
    auto *mail = new QGridLayout(frameMail_);
    mail->addWidget(label("lblSMTPServer", "Server :"), 0, 0);
    mail->addWidget(txtSMTPServer_, 0, 1);
    mail->addWidget(label("lblMail", "Mail to :"), 1, 0);
    mail->addWidget(txtMail_, 1, 1);
    details->addWidget(frameMail_);

    frameFtp_ = frame("FrameFTP", " FTP Properties ");
    txtAddress_ = named("txtAddress", new DefaultTextBox(qtext(station_.settings.ftpHost)));
    txtUser_ = textBox("txtUser");
    txtPass_ = textBox("txtPass");
    txtPass_->setEchoMode(QLineEdit::Password);
    txtDirectory_ = named("txtDirectory", new DefaultTextBox(defaultRootDirectory));
    auto *ftp = new QGridLayout(frameFtp_);
    const std::array<std::pair<int, const char *>, 4> captions = {
        {{0, "Host Name :"}, {2, "Username :"}, {1, "Password :"}, {3, "Root Directory :"}}};
    const std::array<QLineEdit *, 4> boxes = {txtAddress_, txtUser_, txtPass_, txtDirectory_};
    for (std::size_t r = 0; r < boxes.size(); ++r) {
        ftp->addWidget(label(indexed("Label1", captions[r].first), captions[r].second), int(r), 0);
        ftp->addWidget(boxes[r], int(r), 1);
    }
    details->addWidget(frameFtp_);
    frameMail_->hide();
    frameFtp_->hide();

    // The cover lies over the settings in the same place and hides them while forwarding is off;
    // what it covers is disabled with it, so neither Tab nor Space reaches a control unseen.
    frameForwardTop_ = frame("FrameForwardTop", " Forward ");
    frameForwardTop_->setAutoFillBackground(true);
    auto *cover = new QVBoxLayout(frameForwardTop_);
    cover->addWidget(label(indexed("Label3", 0), notAvailableText), 0, Qt::AlignCenter);
    forwardSettings_->setEnabled(false);
    auto *stack = new QGridLayout;
    stack->addWidget(forwardSettings_, 0, 0);
    stack->addWidget(frameForwardTop_, 0, 0);
    frameForwardTop_->raise();

    auto *layout = new QVBoxLayout(forward);
    layout->addWidget(chkForward_);
    layout->addLayout(stack);
    return forward;
}

QWidget *PropertiesDialog::buildAlarm() {
    chkAlarm_ = check("chkAlarm", {});
    auto *alarm = named(
        "FrameAlarm", new EdgeCheckFrame("     Alarm based on hardware device limits ", chkAlarm_));
    optAlarm_ = {option(indexed("optAlarm", 0), "Mail"), option(indexed("optAlarm", 1), "SMS")};
    optionGroup(this, {optAlarm_[0], optAlarm_[1]});
    txtAlarm_ = textBox("txtAlarm");
    auto *grid = new QGridLayout(alarm);
    grid->addWidget(optAlarm_[0], 0, 1);
    grid->addWidget(optAlarm_[1], 0, 2);
    grid->addWidget(label("lblAlarm", "Insert address:"), 1, 0);
    grid->addWidget(txtAlarm_, 1, 1, 1, 2);
    return alarm;
}

QWidget *PropertiesDialog::buildCommands() {
    auto *commands = new QWidget;
    auto *row = new QHBoxLayout(commands);
    row->setContentsMargins(0, 0, 0, 0);
    // Left of the record's commands, and only where a journal is kept: without one the row is
    // as it always was.
    auto *readings = button("cmdReadings", "Readings");
    readings->hide();
    row->addWidget(readings);
    row->addStretch();
    row->addWidget(pictureButton("cmdAdd", QStyle::SP_DialogSaveButton, "Insert record", this));
    row->addWidget(
        pictureButton("cmdDel", QStyle::SP_TrashIcon, "Delete record from phone list", this));
    row->addWidget(pictureButton("cmdExit", QStyle::SP_DialogCloseButton, "Exit", this));
    return commands;
}

} // namespace vantrell
