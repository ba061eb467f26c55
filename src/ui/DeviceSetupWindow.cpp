#include "ui/DeviceSetupWindow.h"

#include "config/CheckingData.h"
#include "config/Station.h"
#include "general/Dialogs.h"
#include "general/Text.h"
#include "ui/BoxInputCheck.h"
#include "ui/HeldStores.h"
#include "ui/PhoneBookWindow.h"
#include "ui/PictureButton.h"
#include "ui/QtText.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <optional>

namespace vantrell {

namespace {

constexpr const char *caption = "Device Setup";
constexpr const char *serialCaption = "Device no.:";
constexpr const char *loggerCaption = "Korvane no.:";
constexpr const char *recordCaption = "Record number";
constexpr const char *intervalFrameCaption = " Interval ";
constexpr const char *intervalCaption = "Insert the no. of readings per day";
constexpr const char *accelCaption = "Alarm Acceleration";
constexpr const char *deltaCaption = "Delta";
constexpr const char *daysCaption = "Time (Days)";
constexpr const char *decimalCaption = "D.P.";
constexpr const char *messageCaption = "Message";
constexpr const char *absCaption = "Alarm Absolute";
constexpr const char *minimumCaption = "Minimum";
constexpr const char *maximumCaption = "Maximum";
constexpr const char *phonesTip = "Phonebook";
constexpr const char *exitTip = "Exit";
constexpr int decimalPlaces = 5; // the list offers "0" ... "5"
constexpr int numberWidth = 80;  // pixels: a count, a limit, a delta or a number of days

constexpr const char *cannotOpenText = "The device setup cannot be opened.\n";
constexpr const char *cannotSaveText = "The device setup was not saved.\n";
constexpr const char *leaveQuestion = "\nClose the window without saving the setup?";
constexpr const char *notSavedNote = "\nThe setup of this logger is as it was before.";

// Limits, deltas and days are numbers; the messages go out as SMS, which hold 160 characters,
// with "; Channel NN" appended.
constexpr int numberLength = 15;
constexpr int messageLength = 140;

// Wide enough for a whole SMS text of ordinary words in the box's font ("x" is wider than the
// average letter of a text), frame and margins included.
int messageWidth(const QFontMetrics &metrics) {
    constexpr int frameAndMargins = 12;
    return metrics.horizontalAdvance(QString(messageLength, QChar('x'))) + frameAndMargins;
}

std::string channelName(std::size_t i) {
    return "CH" + std::to_string(i + 1);
}

std::string checkText(const QCheckBox *box) {
    return box->isChecked() ? "1" : "0";
}

// The memory is put back as well, so the message must not say that the change was kept.
std::string notSavedText(ConfigError error) {
    error.changeKept = false;
    return cannotSaveText + describe(error);
}

// A session's alarm check reads ChannelSetup and the setup file name between its own waits, and
// this window may open or close inside one of them: the session must find both as it left them.
// A save that did not reach the file leaves the memory as it was, too.
class SetupMemory {
public:
    explicit SetupMemory(Station &station)
        : station_(station), channels_(station.channelSetup), fileName_(station.setupFileName) {}
    void restoreUnless(bool kept) {
        if (kept && !station_.session.sessionRunning)
            return;
        station_.channelSetup = channels_;
        station_.setupFileName = fileName_;
    }

private:
    Station &station_;
    ChannelSetup channels_;
    std::string fileName_;
};

template <typename Control> Control *named(Control *control, const QString &name) {
    control->setObjectName(name);
    return control;
}

QString arrayName(const char *name, std::size_t i) {
    return QString("%1_%2").arg(name).arg(i + 1);
}

// The setup file of the record and what it holds for the logger, read with the station's
// pauses. It touches no window: the window that asked may be gone when it returns.
struct LoadedSetup {
    std::string fileName;
    LoggerSetup shown;
    ConfigError error;
};

LoadedSetup loadLoggerSetup(Station &station, int record, int logger) {
    SetupMemory before(station);
    ChannelSetupFile file(station);
    file.chooseSetupFile(record);
    LoadedSetup loaded{station.setupFileName, {}, file.loadChannelSetup()};
    if (!loaded.error.failed())
        loaded.shown = loggerSetup(station.channelSetup, logger);
    before.restoreUnless(!loaded.error.failed());
    return loaded;
}

// The pointer says the program is busy while the setup loads; the windows stay usable.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace

struct DeviceSetupWindow::Refusal {
    std::string title;
    std::string text;
};

// The channels lie on tabs: a message box shows the whole of a 140-character SMS text, and four
// channels of such boxes side by side or one under another would not fit a laptop's screen.
DeviceSetupWindow::DeviceSetupWindow(Station &station, QWidget *parent)
    : QDialog(parent), station_(station) {
    setObjectName("frmDeviceSetup");
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buildHeader());
    layout->addWidget(buildInterval());
    auto *tabs = named(new QTabWidget(this), "tabChannels");
    for (std::size_t i = 0; i < channels_.size(); ++i)
        tabs->addTab(buildChannel(i), qtext(" " + channelName(i)));
    layout->addWidget(tabs);
    layout->addLayout(buildButtons());
}

QLayout *DeviceSetupWindow::buildHeader() {
    auto *header = new QHBoxLayout;
    lblSerialNo_ = named(new QLabel(this), "lblSerialNo");
    lblMN_ = named(new QLabel(this), "lblMN");
    lblSelRow_ = named(new QLabel(this), "lblSelRow");
    header->addWidget(named(new QLabel(serialCaption, this), "lblTitle"));
    header->addWidget(lblSerialNo_);
    header->addSpacing(20);
    header->addWidget(named(new QLabel(loggerCaption, this), "Label1"));
    header->addWidget(lblMN_);
    header->addSpacing(20);
    header->addWidget(named(new QLabel(recordCaption, this), "Label5"));
    header->addWidget(lblSelRow_);
    header->addStretch();
    return header;
}

QWidget *DeviceSetupWindow::buildInterval() {
    auto *frame = named(new QGroupBox(intervalFrameCaption, this), "FrameInterval");
    auto *row = new QHBoxLayout(frame);
    txtInterval_ = named(new QLineEdit(frame), "txtInterval");
    txtInterval_->setMaxLength(numberLength);
    txtInterval_->setMaximumWidth(numberWidth);
    auto *label = named(new QLabel(intervalCaption, frame), "lblInterval");
    label->setBuddy(txtInterval_);
    row->addWidget(label);
    row->addWidget(txtInterval_);
    row->addStretch();
    return frame;
}

// A line for each alarm's switch and limits, its message below them across the whole width.
QWidget *DeviceSetupWindow::buildChannel(std::size_t i) {
    auto *frame = named(new QWidget(this), arrayName("FrameChannel", i));
    auto *grid = new QGridLayout(frame);
    ChannelControls &c = channels_.at(i);
    const auto addNumber = [&](const char *name, const char *caption, int row, int column) {
        QLineEdit *box = named(new QLineEdit(frame), arrayName(name, i));
        box->setMaxLength(numberLength);
        box->setMaximumWidth(numberWidth);
        auto *label = new QLabel(caption, frame);
        label->setBuddy(box);
        grid->addWidget(label, row, column);
        grid->addWidget(box, row, column + 1);
        return box;
    };
    const auto addMessage = [&](const char *name, int row) {
        QLineEdit *box = named(new QLineEdit(frame), arrayName(name, i));
        box->setMaxLength(messageLength);
        box->setMinimumWidth(messageWidth(box->fontMetrics()));
        auto *label = new QLabel(messageCaption, frame);
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row + 1, 0, 1, -1);
        return box;
    };
    c.chkAlarm1 = named(new QCheckBox(accelCaption, frame), arrayName("chkAlarm1", i));
    grid->addWidget(c.chkAlarm1, 0, 0);
    c.txtDisplacement = addNumber("txtDisplacement", deltaCaption, 0, 1);
    c.txtHours = addNumber("txtHours", daysCaption, 0, 3);
    c.cmbDP = named(new QComboBox(frame), arrayName("cmbDP", i));
    for (int places = 0; places <= decimalPlaces; ++places)
        c.cmbDP->addItem(QString::number(places));
    grid->addWidget(new QLabel(decimalCaption, frame), 0, 5);
    grid->addWidget(c.cmbDP, 0, 6);
    c.txtMessage1 = addMessage("txtMessage1", 1);
    c.chkAlarm2 = named(new QCheckBox(absCaption, frame), arrayName("chkAlarm2", i));
    grid->addWidget(c.chkAlarm2, 3, 0);
    c.txtMin = addNumber("txtMin", minimumCaption, 3, 1);
    c.txtMax = addNumber("txtMax", maximumCaption, 3, 3);
    c.txtMessage2 = addMessage("txtMessage2", 4);
    grid->setColumnStretch(7, 1);
    grid->setRowStretch(6, 1);
    return frame;
}

QLayout *DeviceSetupWindow::buildButtons() {
    auto *cmdPhones = named(new QPushButton(this), "cmdPhones");
    cmdPhones->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    cmdPhones->setToolTip(phonesTip);
    cmdPhones->setAutoDefault(false);
    pressOnEnter(*cmdPhones);
    connect(cmdPhones, &QPushButton::clicked, this, &DeviceSetupWindow::phonesClicked);
    auto *cmdExit = named(new QPushButton(this), "cmdExit");
    cmdExit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    cmdExit->setToolTip(exitTip);
    cmdExit->setAutoDefault(false);
    pressOnEnter(*cmdExit);
    connect(cmdExit, &QPushButton::clicked, this, &DeviceSetupWindow::exitClicked);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdPhones);
    buttons->addStretch();
    buttons->addWidget(cmdExit);
    return buttons;
}

void DeviceSetupWindow::openLogger(const std::string &serialNumber, int record, int logger) {
    record_ = record;
    logger_ = logger;
    lblSerialNo_->setText(qtext(serialNumber));
    lblMN_->setText(QString::number(logger));
    lblSelRow_->setText(QString::number(record));
    Station &station = station_;
    const QPointer<DeviceSetupWindow> self(this);
    const LoadedSetup loaded = [&] {
        const BusyCursor busy;
        return loadLoggerSetup(station, record, logger);
    }();
    if (self.isNull())
        return; // closed with its owner while it loaded
    if (loaded.error.failed())
        station_.dialogs().message(caption, cannotOpenText + describe(loaded.error),
                                   DialogButtons::ok, DialogIcon::critical);
    if (loaded.error.failed() || phase_ == Phase::closed) {
        phase_ = Phase::closed; // nothing was shown, so there is nothing to write back
        close();
        return;
    }
    setupFileName_ = loaded.fileName;
    showSetup(loaded.shown);
    phase_ = Phase::open;
    show();
}

bool DeviceSetupWindow::editing(int record, int logger) const {
    return phase_ != Phase::closed && record == record_ && logger == logger_;
}

void DeviceSetupWindow::showSetup(const LoggerSetup &shown) {
    txtInterval_->setText(qtext(shown.readingsPerDay));
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        ChannelControls &c = channels_.at(i);
        const auto &column = shown.columns.at(i);
        c.chkAlarm1->setChecked(val(column.at(setup::accelAlarmOn)) == 1);
        c.txtDisplacement->setText(qtext(column.at(setup::accelDelta)));
        c.txtHours->setText(qtext(column.at(setup::accelDays)));
        c.loadedDecimalPoint = column.at(setup::decimalPoint);
        c.cmbDP->setCurrentIndex(c.cmbDP->findText(qtext(trim(c.loadedDecimalPoint))));
        c.txtMessage1->setText(qtext(column.at(setup::accelMessage)));
        c.chkAlarm2->setChecked(val(column.at(setup::absAlarmOn)) == 1);
        c.txtMin->setText(qtext(column.at(setup::absMinimum)));
        c.txtMax->setText(qtext(column.at(setup::absMaximum)));
        c.txtMessage2->setText(qtext(column.at(setup::absMessage)));
    }
}

// A decimal-point text the list cannot show is written back as it was read.
LoggerSetup DeviceSetupWindow::shownSetup() const {
    LoggerSetup shown;
    shown.readingsPerDay = txtInterval_->text().toStdString();
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        const ChannelControls &c = channels_.at(i);
        auto &column = shown.columns.at(i);
        column.at(setup::accelAlarmOn) = checkText(c.chkAlarm1);
        column.at(setup::accelDelta) = stdtext(c.txtDisplacement->text());
        column.at(setup::accelDays) = stdtext(c.txtHours->text());
        column.at(setup::decimalPoint) = c.cmbDP->currentIndex() >= 0
                                             ? std::to_string(c.cmbDP->currentIndex())
                                             : c.loadedDecimalPoint;
        column.at(setup::accelMessage) = stdtext(c.txtMessage1->text());
        column.at(setup::absAlarmOn) = checkText(c.chkAlarm2);
        column.at(setup::absMinimum) = stdtext(c.txtMin->text());
        column.at(setup::absMaximum) = stdtext(c.txtMax->text());
        column.at(setup::absMessage) = stdtext(c.txtMessage2->text());
    }
    return shown;
}

std::optional<std::string> DeviceSetupWindow::inputProblem() const {
    if (auto problem = boxProblem(txtInterval_->text(), intervalCaption))
        return problem;
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        const ChannelControls &c = channels_.at(i);
        const std::string ch = channelName(i) + " ";
        const std::pair<const QLineEdit *, std::string> boxes[] = {
            {c.txtDisplacement, ch + deltaCaption},
            {c.txtHours, ch + daysCaption},
            {c.txtMessage1, ch + accelCaption + " " + messageCaption},
            {c.txtMin, ch + minimumCaption},
            {c.txtMax, ch + maximumCaption},
            {c.txtMessage2, ch + absCaption + " " + messageCaption},
        };
        for (const auto &[box, name] : boxes)
            if (auto problem = boxProblem(box->text(), name))
                return problem;
    }
    return std::nullopt;
}

std::optional<DeviceSetupWindow::Refusal> DeviceSetupWindow::saveSetup(Station &station,
                                                                       const std::string &fileName,
                                                                       int logger,
                                                                       const LoggerSetup &shown) {
    SetupMemory before(station);
    station.setupFileName = fileName;
    const ConfigError error = ChannelSetupFile(station).saveLoggerSetup(logger, shown);
    before.restoreUnless(!error.failed());
    if (error.failed())
        return Refusal{caption, notSavedText(error)};
    return std::nullopt;
}

// The file is the one chosen at opening: a session or another setup window may have chosen
// another station's file since. While a session reads the record's device the setup waits for
// the session's end (the properties dialog says so), and the window closes as after any store.
std::optional<DeviceSetupWindow::Refusal> DeviceSetupWindow::storeSetup() {
    if (auto problem = inputProblem())
        return Refusal{dataErrorTitle, *problem};
    HeldStores *held = HeldStores::of(this);
    if (held == nullptr || !held->mustWait(record_))
        return saveSetup(station_, setupFileName_, logger_, shownSetup());
    held->hold(record_, [&station = station_, fileName = setupFileName_, logger = logger_,
                         shown = shownSetup()] {
        if (const auto refusal = saveSetup(station, fileName, logger, shown))
            station.dialogs().message(refusal->title, refusal->text + notSavedNote,
                                      DialogButtons::ok, DialogIcon::exclamation);
    });
    return std::nullopt;
}

// Every close stores. When storing is refused the operator may keep the window and correct it;
// a close the program asks for (it is ending) is never held up.
bool DeviceSetupWindow::storeOrLeave(bool operatorAsked) {
    const std::optional<Refusal> refusal = storeSetup();
    if (!refusal)
        return true;
    if (!operatorAsked) {
        station_.dialogs().message(refusal->title, refusal->text + notSavedNote, DialogButtons::ok,
                                   DialogIcon::exclamation);
        return true;
    }
    return station_.dialogs().message(refusal->title, refusal->text + leaveQuestion,
                                      DialogButtons::yesNo,
                                      DialogIcon::exclamation) == DialogAnswer::yes;
}

bool DeviceSetupWindow::leave(bool operatorAsked) {
    if (phase_ == Phase::open && !storeOrLeave(operatorAsked))
        return false;
    phase_ = Phase::closed;
    if (phonebook_ != nullptr)
        phonebook_->close();
    return true;
}

void DeviceSetupWindow::closeEvent(QCloseEvent *event) {
    if (!leave(event->spontaneous())) {
        event->ignore();
        return;
    }
    event->accept();
}

void DeviceSetupWindow::exitClicked() {
    if (leave(true))
        close();
}

void DeviceSetupWindow::reject() {
    exitClicked();
}

void DeviceSetupWindow::phonesClicked() {
    if (phonebook_ != nullptr) {
        phonebook_->raise();
        phonebook_->activateWindow();
        return;
    }
    phonebook_ = new PhoneBookWindow(station_, this);
    phonebook_->openPhonebook();
}

} // namespace vantrell
