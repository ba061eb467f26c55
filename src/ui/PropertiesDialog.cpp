#include "ui/PropertiesDialog.h"

#include "config/CheckingData.h"
#include "config/DeviceStore.h"
#include "config/Station.h"
#include "general/Dialogs.h"
#include "general/Text.h"
#include "ui/BoxInputCheck.h"
#include "ui/DefaultTextBox.h"
#include "ui/DeviceSetupWindow.h"
#include "ui/FolderPicker.h"
#include "ui/HeldStores.h"
#include "ui/PhoneListView.h"
#include "ui/QtText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <algorithm>

namespace vantrell {

namespace {

constexpr const char *caption = "Properties";
constexpr const char *updateTitle = "Phone list update";
constexpr const char *deleteQuestion = "Are you sure you want to delete this record?";
constexpr const char *unsavedQuestion =
    "This record has changes that are not stored yet.\nStore them before leaving the record?";
constexpr const char *notSavedText = "The record could not be saved; nothing was changed.\n";
constexpr const char *marksNotSavedText =
    "The record was saved, but its schedule marks could not be written.\n";


// An option pair with neither option chosen: Qt keeps one chosen in an exclusive group.
void clearOptions(QButtonGroup *group) {
    group->setExclusive(false);
    for (QAbstractButton *button : group->buttons())
        button->setChecked(false);
    group->setExclusive(true);
}

std::string flagText(const QAbstractButton *box) {
    return box->isChecked() ? "1" : "0";
}
bool isSet(const std::string &value) {
    return valInt(value) != 0;
}

// A stored list position, or the first entry where the text is not one of the list's positions.
void choose(QComboBox *list, const std::string &position) {
    const long long p = valInt(position);
    list->setCurrentIndex(p >= 0 && p < list->count() ? int(p) : 0);
}

void fill(QComboBox *list, const QStringList &items) {
    list->clear();
    list->addItems(items);
}

// The device store, then the phone list and the schedule marks; false when the disk refused the
// record (and nothing changed).
bool storeDevice(Station &station, PhoneListView &list, int slot, const DeviceRecord &edited) {
    DeviceStore store(station);
    if (const ConfigError error = store.store(slot, edited)) {
        station.dialogs().message(updateTitle, notSavedText + describe(error), DialogButtons::ok,
                                  DialogIcon::exclamation);
        return false;
    }
    list.refreshGrid();
    if (const ConfigError error = store.storeScheduleMarks(slot))
        station.dialogs().message(updateTitle, marksNotSavedText + describe(error),
                                  DialogButtons::ok, DialogIcon::exclamation);
    return true;
}

QStringList twoDigitNumbers(int count) {
    QStringList numbers;
    for (int k = 1; k <= count; ++k)
        numbers << qtext(zeroPad(k, 2));
    return numbers;
}

} // namespace

PropertiesDialog::PropertiesDialog(Station &station, PhoneListView &list, QWidget *parent)
    : QDialog(parent), station_(station), list_(list) {
    setObjectName("frmProperties");
    setWindowTitle(caption);
    buildControls();
    connectReactions();
    connectCommands();
    watchEdits();
    if (HeldStores *held = HeldStores::of(this))
        connect(held, &HeldStores::changed, this, &PropertiesDialog::showWaitingStore);
    loadRecord();
}

void PropertiesDialog::connectReactions() {
    connect(optCommType_[0], &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            chooseLocal();
    });
    connect(optCommType_[1], &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            chooseRemote();
    });
    connect(chkNetwork_, &QCheckBox::toggled, this, &PropertiesDialog::networkToggled);
    connect(chkSwitch_, &QCheckBox::toggled, this, &PropertiesDialog::switchToggled);
    connect(chkForward_, &QCheckBox::toggled, this, &PropertiesDialog::forwardToggled);
    for (QRadioButton *type : optFdType_)
        connect(type, &QRadioButton::toggled, this, &PropertiesDialog::forwardTypeChosen);
    for (QRadioButton *mode : optSaving_)
        connect(mode, &QRadioButton::clicked, this, &PropertiesDialog::savingChosen);
}

void PropertiesDialog::connectCommands() {
    connect(cmdPrevious_, &QToolButton::clicked, this, [this] { page(-1); });
    connect(cmdNext_, &QToolButton::clicked, this, [this] { page(+1); });
    connect(findChild<QToolButton *>("cmdAdd"), &QToolButton::clicked, this,
            &PropertiesDialog::insertRecord);
    connect(findChild<QToolButton *>("cmdDel"), &QToolButton::clicked, this,
            &PropertiesDialog::deleteRecord);
    connect(findChild<QToolButton *>("cmdExit"), &QToolButton::clicked, this,
            &PropertiesDialog::exitClicked);
    connect(findChild<QPushButton *>("cmdPath"), &QPushButton::clicked, this,
            &PropertiesDialog::openFolderPicker);
    for (int k = 1; k <= maxLoggers; ++k)
        connect(cmdSetup_[k], &QPushButton::clicked, this, [this, k] { openSetup(k); });
    connect(findChild<QPushButton *>("cmdReadings"), &QPushButton::clicked, this,
            [this] { emit readingsRequested(record_); });
}

void PropertiesDialog::offerReadings() {
    findChild<QPushButton *>("cmdReadings")->show();
}

// Only what the operator does counts as an edit: these signals stay silent while the program
// fills the controls.
void PropertiesDialog::watchEdits() {
    const auto edited = [this] { edited_ = true; };
    for (QLineEdit *box : findChildren<QLineEdit *>())
        connect(box, &QLineEdit::textEdited, this, edited);
    for (QAbstractButton *button : findChildren<QAbstractButton *>())
        if (button->isCheckable())
            connect(button, &QAbstractButton::clicked, this, edited);
    for (QComboBox *list : findChildren<QComboBox *>())
        connect(list, &QComboBox::activated, this, edited);
}

// --- reactions: the enabled and visible states follow the values ---

void PropertiesDialog::chooseLocal() {
    frameComm_[0]->setEnabled(true);
    frameComm_[1]->setEnabled(false);
    chkNetwork_->setEnabled(true);
    cmbNetwork_->setEnabled(chkNetwork_->isChecked());
    cmbSection_->setEnabled(chkNetwork_->isChecked());
}

void PropertiesDialog::chooseRemote() {
    frameComm_[0]->setEnabled(false);
    frameComm_[1]->setEnabled(true);
    chkNetwork_->setChecked(false);
    chkNetwork_->setEnabled(false);
    cmbNetwork_->setCurrentIndex(0);
    cmbSection_->setCurrentIndex(0);
}

void PropertiesDialog::networkToggled(bool ticked) {
    cmbNetwork_->setEnabled(ticked);
    cmbSection_->setEnabled(ticked);
    cmbNetwork_->setCurrentIndex(0);
    cmbSection_->setCurrentIndex(0);
}

void PropertiesDialog::switchToggled(bool ticked) {
    for (int k = 2; k <= maxLoggers; ++k) {
        lblSN_[k]->setEnabled(ticked);
        txtSN_[k]->setEnabled(ticked);
    }
}

void PropertiesDialog::forwardToggled(bool ticked) {
    frameForwardTop_->setVisible(!ticked);
    forwardSettings_->setEnabled(ticked);
    if (!ticked) {
        clearOptions(fdTypeGroup_);
        frameMail_->hide();
        frameFtp_->hide();
    }
}

void PropertiesDialog::forwardTypeChosen() {
    if (optFdType_[0]->isChecked() || optFdType_[1]->isChecked()) {
        frameMail_->setVisible(optFdType_[0]->isChecked());
        frameFtp_->setVisible(optFdType_[1]->isChecked());
    }
}

void PropertiesDialog::savingChosen() {
    const bool existing = optSaving_[1]->isChecked();
    frameMemory_->setEnabled(!existing);
    chkMemory_->setChecked(existing);
}

// --- record <-> controls ---

// The main window may change the times while a record is on show.
void PropertiesDialog::showScheduleTimes() {
    for (int i = 0; i < scheduleTimeCount; ++i) {
        const QString time = qtext(scheduleTimeText(station_.scheduleTimes, i + 1));
        lblTime_[std::size_t(i)]->setText(time);
        chkTime_[std::size_t(i)]->setEnabled(!time.isEmpty());
    }
}

void PropertiesDialog::fillLists() {
    fill(cmbDevice_, {deviceTypes[0], deviceTypes[1], deviceTypes[2]});
    fill(cmbNetwork_, twoDigitNumbers(networkCount));
    fill(cmbSection_, twoDigitNumbers(sectionCount));
    QStringList outside{" "};
    for (int digit = 0; digit <= 9; ++digit)
        outside << QString::number(digit);
    fill(cmbOutline_, outside);
    optCommType_[0]->setChecked(true);
    cmbNetwork_->setCurrentIndex(0);
    cmbSection_->setCurrentIndex(0);
}

void PropertiesDialog::loadRecord() {
    record_ = std::clamp(station_.selectedDevice, 1, maxDevices);
    station_.selectedDevice = record_;
    const DeviceRecord &record = station_.devices.at(record_);
    lblSelRow_->setText(QString::number(record_));
    fillLists();
    showScheduleTimes();
    chkActive_->setChecked(isSet(record[field::active]));
    txtPhone_->setText(qtext(record.connection()));
    loadCommunication(record);
    chkOutLine_->setChecked(isSet(record[field::outsideLine]));
    choose(cmbOutline_, record[field::outsideLineIndex]);
    for (int k = 1; k <= maxLoggers; ++k)
        txtSN_[k]->setText(qtext(record.serialNumber(k)));
    choose(cmbDevice_, record[field::deviceType]);
    txtDescription_->setText(qtext(record[field::description]));
    for (int i = 0; i < scheduleTimeCount; ++i)
        chkTime_[std::size_t(i)]->setChecked(isSet(record[field::scheduleSlot1 + i]));
    optSaving_[isSet(record[field::savingMode]) ? 1 : 0]->setChecked(true);
    savingChosen();
    loadForward(record);
    chkMemory_->setChecked(isSet(record[field::eraseMemory]));
    chkFixTime_->setChecked(isSet(record[field::setClock]));
    chkSwitch_->setChecked(isSet(record[field::useSwitch]));
    txtDirectory_->showValue(qtext(record[field::ftpRootDirectory]));
    chkAlarm_->setChecked(isSet(record[field::alarmEnabled]));
    optAlarm_[isSet(record[field::alarmNotifyKind]) ? 1 : 0]->setChecked(true);
    txtAlarm_->setText(qtext(record[field::alarmAddress]));
    txtSMTPServer_->setText(qtext(record[field::smtpServer]));
    edited_ = false;
    showWaitingStore();
}

void PropertiesDialog::loadCommunication(const DeviceRecord &record) {
    switch (record.connectionKind()) {
    case ConnectionKind::local:
        chooseLocal();
        chkNetwork_->setChecked(false);
        break;
    case ConnectionKind::network:
        chooseLocal();
        chkNetwork_->setChecked(true);
        cmbNetwork_->setCurrentIndex(
            std::clamp(record.networkNumber() - 1, 0, cmbNetwork_->count() - 1));
        cmbSection_->setCurrentIndex(
            std::clamp(record.sectionNumber() - 1, 0, cmbSection_->count() - 1));
        break;
    case ConnectionKind::modem:
        optCommType_[1]->setChecked(true);
        break;
    }
}

// Every forwarding box takes the record's own value, so paging never carries one device's host,
// user or password over into the next one; a device without an FTP host is offered the default.
void PropertiesDialog::loadForward(const DeviceRecord &record) {
    const bool forward = isSet(record[field::forwardEnabled]);
    const bool ftp = isSet(record[field::forwardKind]);
    chkForward_->setChecked(forward);
    forwardToggled(forward);
    if (forward) {
        optFdType_[ftp ? 1 : 0]->setChecked(true);
        forwardTypeChosen();
    }
    txtAddress_->showValue(ftp ? qtext(record[field::forwardAddress]) : QString());
    txtMail_->setText(ftp ? QString() : qtext(record[field::forwardAddress]));
    txtUser_->setText(qtext(record[field::forwardUser]));
    txtPass_->setText(qtext(record[field::forwardPassword]));
}

void PropertiesDialog::storeInto(DeviceRecord &record) const {
    record[field::active] = flagText(chkActive_);
    record[field::connection] = stdtext(txtPhone_->text());
    record[field::outsideLine] = flagText(chkOutLine_);
    record[field::outsideLineIndex] = std::to_string(cmbOutline_->currentIndex());
    for (int k = 1; k <= maxLoggers; ++k)
        record.serialNumber(k) = stdtext(txtSN_[k]->text());
    record[field::deviceType] = std::to_string(cmbDevice_->currentIndex());
    record[field::description] = stdtext(txtDescription_->text());
    for (int i = 0; i < scheduleTimeCount; ++i)
        record[field::scheduleSlot1 + i] = flagText(chkTime_[std::size_t(i)]);
    record[field::savingMode] = optSaving_[0]->isChecked() ? "0" : "1";
    record[field::forwardEnabled] = flagText(chkForward_);
    const bool mail = optFdType_[0]->isChecked();
    record[field::forwardKind] = mail ? "0" : "1";
    record[field::forwardAddress] = stdtext(mail ? txtMail_->text() : txtAddress_->text());
    record[field::forwardUser] = stdtext(txtUser_->text());
    record[field::forwardPassword] = stdtext(txtPass_->text());
    record[field::eraseMemory] = flagText(chkMemory_);
    record[field::setClock] = flagText(chkFixTime_);
    record[field::useSwitch] = flagText(chkSwitch_);
    record[field::ftpRootDirectory] = stdtext(txtDirectory_->text());
    record[field::alarmEnabled] = flagText(chkAlarm_);
    record[field::alarmNotifyKind] = optAlarm_[0]->isChecked() ? "0" : "1";
    record[field::alarmAddress] = stdtext(txtAlarm_->text());
    record[field::smtpServer] = stdtext(txtSMTPServer_->text());
}

// --- "Insert record" ---

bool PropertiesDialog::refuse(const char *text, QWidget *atFault) {
    station_.dialogs().message(dataErrorTitle, text, DialogButtons::ok, DialogIcon::exclamation);
    atFault->setFocus();
    return false;
}

bool PropertiesDialog::checkTexts() {
    const std::pair<QLineEdit *, const char *> boxes[] = {
        {txtPhone_, "Phone no."},      {txtSN_[1], "Serial No.1"},
        {txtSN_[2], "Serial No.2"},    {txtSN_[3], "Serial No.3"},
        {txtSN_[4], "Serial No.4"},    {txtSN_[5], "Serial No.5"},
        {txtSN_[6], "Serial No.6"},    {txtSN_[7], "Serial No.7"},
        {txtSN_[8], "Serial No.8"},    {txtDescription_, "Description"},
        {txtSMTPServer_, "Server"},    {txtMail_, "Mail to"},
        {txtAddress_, "Host Name"},    {txtUser_, "Username"},
        {txtPass_, "Password"},        {txtDirectory_, "Root Directory"},
        {txtAlarm_, "Insert address"},
    };
    for (const auto &[box, name] : boxes)
        if (const auto problem = boxProblem(box->text(), name))
            return refuse(problem->c_str(), box);
    return true;
}

// The phone field carries the communication type; false when the save must stop here.
bool PropertiesDialog::codeCommunication() {
    if (optCommType_[0]->isChecked()) {
        txtPhone_->setText(chkNetwork_->isChecked() ? networkPrefix + cmbNetwork_->currentText() +
                                                          cmbSection_->currentText()
                                                    : QString(localConnection));
        return true;
    }
    if (trim(stdtext(txtPhone_->text())).empty()) {
        txtPhone_->clear();
        return false;
    }
    if (!CheckingData(station_).checkPhoneNumber(stdtext(txtPhone_->text())))
        return true;
    txtPhone_->setFocus();
    return false;
}

// The check shows its own message; the focus goes to the first box it refused.
bool PropertiesDialog::checkSerialNumbers() {
    std::array<std::string, maxLoggers> serials;
    for (int k = 1; k <= maxLoggers; ++k)
        serials[std::size_t(k - 1)] = stdtext(txtSN_[k]->text());
    if (!CheckingData(station_).checkSerialNumbers(serials))
        return true;
    QLineEdit *atFault = txtSN_[1];
    for (int k = maxLoggers; k >= 1; --k) {
        const std::string &serial = serials[std::size_t(k - 1)];
        if (!trim(serial).empty() && !serialLayoutOk(serial))
            atFault = txtSN_[k];
    }
    atFault->setFocus();
    return false;
}

// Paths typed with backslashes are mended before the check, as the operator meant them.
bool PropertiesDialog::checkForward() {
    if (optFdType_[1]->isChecked())
        for (QLineEdit *box : std::array<QLineEdit *, 2>{txtAddress_, txtDirectory_})
            if (box->text().contains('\\'))
                box->setText(box->text().replace('\\', '/'));
    if (!optFdType_[0]->isChecked() && !optFdType_[1]->isChecked())
        return true;
    const std::optional<FieldProblem> problem = forwardProblem(editedRecord(record_));
    if (!problem)
        return true;
    QLineEdit *atFault = problem->field == field::ftpRootDirectory ? txtDirectory_
                         : optFdType_[1]->isChecked()              ? txtAddress_
                                                                   : txtMail_;
    return refuse(problem->text.c_str(), atFault);
}

bool PropertiesDialog::checkInput() {
    if (!checkTexts() || !codeCommunication() || !checkSerialNumbers())
        return false;
    if (const std::optional<FieldProblem> problem = scheduleProblem(editedRecord(record_))) {
        const auto offered = std::find_if(chkTime_.begin(), chkTime_.end(),
                                          [](const QCheckBox *box) { return box->isEnabled(); });
        return refuse(problem->text.c_str(), offered != chkTime_.end() ? *offered : chkActive_);
    }
    return !chkForward_->isChecked() || checkForward();
}

// A new device goes into the lowest free row so the list keeps no gaps. An existing device
// stays where it is: moved, it would leave its old record behind and be read twice.
int PropertiesDialog::targetSlot() {
    if (!station_.devices.at(record_).isFree())
        return record_;
    const std::optional<int> free = list_.findFreeRow();
    return free && *free < record_ ? *free : record_;
}

bool PropertiesDialog::insertRecord() {
    if (!checkInput())
        return false;
    const int slot = targetSlot();
    return storeRecord(slot, editedRecord(slot));
}

DeviceRecord PropertiesDialog::editedRecord(int slot) const {
    DeviceRecord edited = station_.devices.at(slot);
    storeInto(edited);
    return edited;
}

bool PropertiesDialog::storeRecord(int slot, const DeviceRecord &edited) {
    HeldStores *held = HeldStores::of(this);
    if (held != nullptr && held->mustWait(slot)) {
        held->hold(slot, [&station = station_, &list = list_, slot, edited] {
            storeDevice(station, list, slot, edited);
        });
    } else if (!storeDevice(station_, list_, slot, edited)) {
        return false;
    }
    record_ = slot;
    edited_ = false;
    lblSelRow_->setText(QString::number(slot));
    showWaitingStore();
    return true;
}

void PropertiesDialog::showWaitingStore() {
    const HeldStores *held = HeldStores::of(this);
    lblHeld_->setText(HeldStores::waitingText(record_));
    lblHeld_->setVisible(held != nullptr && held->holds(record_));
}

// --- "Delete record from phone list" ---

void PropertiesDialog::clearForDelete() {
    for (QCheckBox *box :
         {chkActive_, chkSwitch_, chkOutLine_, chkForward_, chkFixTime_, chkMemory_})
        box->setChecked(false);
    for (QCheckBox *box : chkTime_)
        box->setChecked(false);
    for (int k = 1; k <= maxLoggers; ++k)
        txtSN_[k]->clear();
    for (QLineEdit *box :
         std::array<QLineEdit *, 8>{txtPhone_, txtDescription_, txtAddress_, txtMail_, txtPass_,
                                    txtUser_, txtDirectory_, txtSMTPServer_})
        box->clear();
    cmbOutline_->setCurrentIndex(0);
    optSaving_[0]->setChecked(true);
    savingChosen();
    clearOptions(fdTypeGroup_);
}

// The record's data folder is emptied with it; a delete the disk refuses shows the record again.
void PropertiesDialog::deleteRecord() {
    if (station_.dialogs().message(updateTitle, deleteQuestion, DialogButtons::yesNo,
                                   DialogIcon::question) != DialogAnswer::yes)
        return;
    clearForDelete();
    DeviceRecord deleted = editedRecord(record_);
    deleted[field::dataDirectory].clear();
    if (!storeRecord(record_, deleted))
        loadRecord();
}

// --- leaving the record, navigation and the windows the dialog owns ---

bool PropertiesDialog::leaveRecord() {
    if (!edited_)
        return true;
    switch (station_.dialogs().message(updateTitle, unsavedQuestion, DialogButtons::yesNoCancel,
                                       DialogIcon::question)) {
    case DialogAnswer::yes:
        return insertRecord();
    case DialogAnswer::no:
        edited_ = false;
        return true;
    default:
        return false;
    }
}

// Storing the edits first may move a new record to a lower row; the step counts from there.
void PropertiesDialog::page(int step) {
    if (record_ + step < 1 || record_ + step > maxDevices || !leaveRecord())
        return;
    station_.selectedDevice = std::clamp(record_ + step, 1, maxDevices);
    loadRecord();
}

void PropertiesDialog::exitClicked() {
    if (leaveRecord())
        close();
}

void PropertiesDialog::reject() {
    exitClicked();
}

void PropertiesDialog::closeEvent(QCloseEvent *event) {
    if (event->spontaneous() && !leaveRecord()) {
        event->ignore();
        return;
    }
    closeOwnedWindows();
    event->accept();
}

// A setup window stores its channels as it closes, and it must do so before it goes with this
// dialog; the folder picker has nothing to store.
void PropertiesDialog::closeOwnedWindows() {
    for (DeviceSetupWindow *setup : findChildren<DeviceSetupWindow *>())
        setup->close();
    for (FolderPicker *picker : findChildren<FolderPicker *>())
        picker->close();
}

// One window per logger of a record: a second "Setup" while the first loads or is open brings
// that one to the front.
void PropertiesDialog::openSetup(int logger) {
    for (DeviceSetupWindow *open : findChildren<DeviceSetupWindow *>())
        if (open->editing(record_, logger)) {
            open->raise();
            open->activateWindow();
            return;
        }
    auto *setup = new DeviceSetupWindow(station_, this);
    setup->openLogger(stdtext(txtSN_[logger]->text()), record_, logger);
}

void PropertiesDialog::openFolderPicker() {
    station_.selectedDevice = record_;
    if (auto *open = findChild<FolderPicker *>("frmPath"))
        open->close();
    auto *picker = new FolderPicker(station_, this);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    picker->show();
}

} // namespace vantrell
