#include "ui/Main.h"

#include "config/ComPorts.h"
#include "config/ConfigFiles.h"
#include "config/PortFiles.h"
#include "config/ScheduleFiles.h"
#include "config/ScheduleTimeStore.h"
#include "config/Startup.h"
#include "general/Dialogs.h"
#include "general/SerialPort.h"
#include "general/Text.h"
#include "ui/EdgeCheckFrame.h"
#include "ui/HeldStores.h"
#include "ui/PictureButton.h"
#include "ui/PropertiesDialog.h"
#include "ui/QtText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

namespace vantrell {

namespace {

constexpr const char *windowCaption = "Vantrell - Automatic communication system";
constexpr const char *schedulesCaption = " Schedules ";
constexpr const char *setTimesCaption = "Set Times";
constexpr const char *resetTimeCaption = "Reset timetable";
constexpr const char *resetDayCaption = "Reset Daily Schedule ";
constexpr const char *reportCaption = "       Report ";
constexpr const char *mailCaption = "Mail:";
constexpr const char *comCaption = "Select a com port";
constexpr const char *modemCaption = "Modem";
constexpr const char *exitTip = "Exit";
constexpr const char *saveTip = "Save";
constexpr const char *quitCaption = "Exit";
constexpr const char *readingsCaption = "Readings";
constexpr const char *nothingToReadTip = "No device to read";

constexpr const char *listFullTitle = " Dial-up memory ";
constexpr const char *listFullText = "ATTENTION: Auto dialig number list is full \r\n"
                                     "    Delete a number to store a new one     ";
constexpr const char *portTitle = "Serial port";
constexpr const char *portInvalid = "The port is not valid";
constexpr const char *configurationTitle = "Configuration";
constexpr const char *noTrayTitle = "Vantrell";
constexpr const char *noTrayText =
    "This desktop has no notification area: Vantrell stays open in this window, and the "
    "countdown to the next connection is shown at its foot.";

// The units a logger may report, in the order the hidden list has always held them.
constexpr const char *scaleUnits[] = {
    "°C", "°F",   "µE",  "µS",  "A",  "atm", "bar", "cm",   "deg", "E",   "gr",  "imp", "K",
    "Kg", "Km/h", "KN",  "KPa", "m",  "m/s", "mA",  "mbar", "mm",  "mm2", "MPa", "mS",  "mV",
    "N",  "NPa",  "ntu", "ohm", "Pa", "PH",  "ppm", "rad",  "RH",  "S",   "Ton", "V",   "W/m2"};

// The cycle steps every ten seconds; the tray turns its picture twice a second.
constexpr int trayInterval = 500;
constexpr int cycleInterval = 10'000;
// The report address box; longer texts are not addresses anyone types.
constexpr int reportAddressLimit = 128;

QString hourText(int hour) {
    return QString("%1:00").arg(hour, 2, 10, QChar('0'));
}

// Pasted text may carry line breaks or tabs; none of them belongs in a stored address.
void dropControlCharacters(QLineEdit *box) {
    QString text = box->text();
    const auto removed =
        text.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    if (removed.size() != box->text().size())
        box->setText(removed);
}

bool anyDeviceToRead(const Station &station) {
    for (const DeviceRecord &device : station.devices) {
        if (!device.flag(field::active))
            continue;
        for (int time = 1; time <= scheduleTimeCount; ++time)
            if (device.scheduledAt(time) && !scheduleTimeText(station.scheduleTimes, time).empty())
                return true;
    }
    return false;
}

} // namespace

Main::Main(Station &station, Schedule &schedule, QWidget *parent)
    : QMainWindow(parent), station_(station), schedule_(schedule),
      quit_([] { QCoreApplication::quit(); }),
      trayAvailable_([] { return QSystemTrayIcon::isSystemTrayAvailable(); }), tray_(this),
      held_(new HeldStores(station, this)) {
    setObjectName("Main");
    setWindowTitle(windowCaption);
    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *layout = new QVBoxLayout(central);
    auto *top = new QHBoxLayout;
    layout->addLayout(top);

    auto *left = new QVBoxLayout;
    top->addLayout(left);
    buildSchedules(central);
    left->addWidget(central->findChild<QGroupBox *>("FrameSchedules"));
    buildReport(central);
    left->addWidget(central->findChild<QGroupBox *>("FrameReport"));
    buildPorts(central);
    left->addWidget(central->findChild<QWidget *>("FramePorts"));
    left->addStretch();

    grid_ = new TelGrid(central);
    grid_->setMinimumSize(480, 420);
    top->addWidget(grid_, 1);
    connect(grid_, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row >= 0)
            rowClicked(row);
    });
    connect(grid_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { rowDoubleClicked(row); });
    connect(grid_, &TelGrid::rowOpened, this, &Main::rowDoubleClicked);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    auto *cmdExit = new QToolButton(central);
    cmdExit->setObjectName("cmdExit");
    cmdExit->setToolTip(exitTip);
    cmdExit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    cmdExit->setIconSize(QSize(24, 24));
    pressOnEnter(*cmdExit);
    connect(cmdExit, &QToolButton::clicked, this, &Main::hideToTray);
    bottom->addWidget(cmdExit);
    layout->addLayout(bottom);

    buildHidden(central);
    buildStatusBar();

    trayTimer_ = new QTimer(this);
    trayTimer_->setObjectName("Timer1");
    trayTimer_->setInterval(trayInterval);
    connect(trayTimer_, &QTimer::timeout, this, &Main::trayTick);
    cycleTimer_ = new QTimer(this);
    cycleTimer_->setObjectName("Timer2");
    cycleTimer_->setInterval(cycleInterval);
    connect(cycleTimer_, &QTimer::timeout, this, &Main::cycleTick);

    connect(&tray_, &TrayIcon::openRequested, this, &Main::openWindow);
    connect(&tray_, &TrayIcon::exitRequested, this, &Main::requestExit);
    connect(this, &Main::propertiesRequested, this, &Main::openProperties);
}

void Main::buildSchedules(QWidget *parent) {
    auto *frame = new QGroupBox(schedulesCaption, parent);
    frame->setObjectName("FrameSchedules");
    auto *grid = new QGridLayout(frame);
    for (int k = 0; k < scheduleTimeCount; ++k) {
        auto *list = new QComboBox(frame);
        list->setObjectName(QString("cmbTime_%1").arg(k));
        for (int h = 0; h < 24; ++h)
            list->addItem(hourText(h));
        list->setCurrentIndex(-1);
        connect(list, &QComboBox::currentIndexChanged, this, [this, k] { timeChosen(k); });
        grid->addWidget(list, 0, k);
        cmbTime_[std::size_t(k)] = list;
    }
    const std::pair<const char *, const char *> buttons[] = {{"cmdSETPROG", setTimesCaption},
                                                             {"cmdResetTime", resetTimeCaption},
                                                             {"cmdRSTDAY", resetDayCaption}};
    auto *row = new QHBoxLayout;
    for (const auto &[name, caption] : buttons) {
        auto *button = new QPushButton(caption, frame);
        button->setObjectName(name);
        row->addWidget(button);
    }
    grid->addLayout(row, 1, 0, 1, scheduleTimeCount);
    connect(frame->findChild<QPushButton *>("cmdSETPROG"), &QPushButton::clicked, this,
            &Main::setTimes);
    connect(frame->findChild<QPushButton *>("cmdResetTime"), &QPushButton::clicked, this,
            &Main::resetTimetable);
    connect(frame->findChild<QPushButton *>("cmdRSTDAY"), &QPushButton::clicked, this,
            &Main::resetDailySchedule);
}

void Main::buildReport(QWidget *parent) {
    chkReport_ = new QCheckBox;
    chkReport_->setObjectName("chkReport");
    auto *frame = new EdgeCheckFrame(reportCaption, chkReport_, parent);
    frame->setObjectName("FrameReport");
    auto *row = new QHBoxLayout(frame);
    auto *label = new QLabel(mailCaption, frame);
    label->setObjectName("lblMailto");
    txtReport_ = new QLineEdit(frame);
    txtReport_->setObjectName("txtReport");
    txtReport_->setMaxLength(reportAddressLimit);
    connect(txtReport_, &QLineEdit::textEdited, this,
            [this] { dropControlCharacters(txtReport_); });
    auto *cmdSave = new QToolButton(frame);
    cmdSave->setObjectName("cmdSave");
    cmdSave->setToolTip(saveTip);
    cmdSave->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    pressOnEnter(*cmdSave);
    connect(cmdSave, &QToolButton::clicked, this, &Main::saveReport);
    row->addWidget(label);
    row->addWidget(txtReport_, 1);
    row->addWidget(cmdSave);
}

void Main::buildPorts(QWidget *parent) {
    auto *frame = new QWidget(parent);
    frame->setObjectName("FramePorts");
    auto *grid = new QGridLayout(frame);
    grid->setContentsMargins(0, 0, 0, 0);
    auto addList = [&](int row, const char *labelName, const char *caption, const char *listName,
                       const char *deviceName, QComboBox *&list, QLabel *&device) {
        auto *label = new QLabel(caption, frame);
        label->setObjectName(labelName);
        list = new QComboBox(frame);
        list->setObjectName(listName);
        for (int n = 1; n <= portListSize; ++n)
            list->addItem(QString("Com %1").arg(n));
        device = new QLabel(frame);
        device->setObjectName(deviceName);
        device->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(label, row, 0);
        grid->addWidget(list, row, 1);
        grid->addWidget(device, row, 2);
    };
    addList(0, "lblCom", comCaption, "cmbPort", "lblComDevice", cmbPort_, lblComDevice_);
    addList(1, "Label1", modemCaption, "cmbModemPort", "lblModemDevice", cmbModemPort_,
            lblModemDevice_);
    grid->setColumnStretch(2, 1);
    connect(cmbPort_, &QComboBox::currentIndexChanged, this,
            [this] { portChosen(cmbPort_, false); });
    connect(cmbModemPort_, &QComboBox::currentIndexChanged, this,
            [this] { portChosen(cmbModemPort_, true); });
}

void Main::buildHidden(QWidget *parent) {
    auto *units = new QComboBox(parent);
    units->setObjectName("cmbScaleUnit");
    for (const char *unit : scaleUnits)
        units->addItem(QString::fromUtf8(unit));
    units->hide();
    auto *pluv = new QLineEdit(parent);
    pluv->setObjectName("txtConverPluv");
    pluv->hide();
}

void Main::buildStatusBar() {
    lblCountdown_ = new QLabel(this);
    lblCountdown_->setObjectName("lblCountdown");
    statusBar()->setObjectName("statusBar");
    statusBar()->addWidget(lblCountdown_, 1);
    cmdQuit_ = new QPushButton(quitCaption, this);
    cmdQuit_->setObjectName("cmdQuit");
    connect(cmdQuit_, &QPushButton::clicked, this, &Main::requestExit);
    statusBar()->addPermanentWidget(cmdQuit_);
    statusBar()->hide();
}

void Main::load() {
    loading_ = true;
    trayShown_ = trayAvailable_();
    if (trayShown_)
        tray_.showIcon();
    showProblems(loadConfiguration(station_));
    showScheduleTimes();
    refreshGrid();
    station_.selectedDevice = 1;
    const DeviceRecord &first = station_.devices[1];
    chkReport_->setChecked(first.flag(field::reportEnabled));
    txtReport_->setText(qtext(first[field::reportAddress]));
    showPorts();
    loading_ = false;
    schedule_.previewCountdown();
    checkPorts();
    if (!trayShown_) {
        station_.dialogs().message(noTrayTitle, noTrayText);
        statusBar()->show();
        showCountdown();
        openWindow();
    }
}

void Main::startTimers() {
    trayTimer_->start();
    cycleTimer_->start();
}

void Main::showScheduleTimes() {
    const bool wasLoading = loading_;
    loading_ = true;
    const ScheduleHours hours = ScheduleTimeStore(station_).hours();
    for (std::size_t k = 0; k < hours.size(); ++k)
        cmbTime_[k]->setCurrentIndex(hours[k]);
    loading_ = wasLoading;
    if (properties_ != nullptr)
        properties_->showScheduleTimes();
}

void Main::showPorts() {
    const bool wasLoading = loading_;
    loading_ = true;
    cmbPort_->setCurrentIndex(std::clamp(station_.linePortNumber, 1, portListSize) - 1);
    cmbModemPort_->setCurrentIndex(std::clamp(station_.modemPortNumber, 1, portListSize) - 1);
    lblComDevice_->setText(
        qtext(portDevicePath(station_.configDir(), station_.linePortNumber).string()));
    lblModemDevice_->setText(
        qtext(portDevicePath(station_.configDir(), station_.modemPortNumber).string()));
    loading_ = wasLoading;
}

// The ports are opened for every exchange, not held; a port that cannot be opened now is worth
// one message at start, and the station keeps running so the operator can choose another.
void Main::checkPorts() {
    std::string problems;
    auto tryPort = [&problems](SerialPort &port, int number) {
        if (port.isOpen())
            return;
        if (const PortError error = port.open(number); error != PortError::none)
            problems += "\n" + describe(port, number, error);
        port.close();
    };
    tryPort(station_.port(), station_.linePortNumber);
    if (smsPort_ != nullptr)
        tryPort(*smsPort_, station_.modemPortNumber);
    if (!problems.empty())
        station_.dialogs().message(portTitle, portInvalid + problems, DialogButtons::ok,
                                   DialogIcon::critical);
}

void Main::showProblems(const std::vector<ConfigError> &problems) {
    if (problems.empty())
        return;
    std::string text;
    for (const auto &problem : problems)
        text += describe(problem) + "\n";
    text.pop_back();
    station_.dialogs().message(configurationTitle, text, DialogButtons::ok,
                               DialogIcon::exclamation);
}

bool Main::succeeded(const ConfigError &error) {
    if (!error.failed())
        return true;
    showProblems({error});
    return false;
}

// The records decide, not the grid: the grid leaves the connection of an inactive local device
// blank, and a new device put there would overwrite it.
std::optional<int> Main::findFreeRow() {
    for (int record = 1; record <= maxDevices; ++record)
        if (station_.devices.at(record).isFree())
            return record;
    station_.dialogs().message(listFullTitle, listFullText, DialogButtons::ok,
                               DialogIcon::exclamation);
    return std::nullopt;
}

void Main::refreshGrid() {
    grid_->showAll(station_.devices);
    if (journal_ != nullptr)
        journal_->refresh();
}

void Main::showJournal(const std::filesystem::path &journalFile) {
    delete journal_;
    journal_ = new PhoneListJournal(*grid_, station_.devices, journalFile, this);
    journal_->refresh();
    if (!journalFile_) {
        grid_->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(grid_, &TelGrid::customContextMenuRequested, this, &Main::openRowMenu);
    }
    journalFile_ = journalFile;
}

void Main::openRowMenu(const QPoint &position) {
    const int row = grid_->rowAt(position.y());
    if (row < 0 || station_.devices.at(row + 1).isFree())
        return;
    rowClicked(row);
    auto *menu = new QMenu(this);
    menu->setObjectName("mnuRow");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *readings = menu->addAction(readingsCaption);
    readings->setObjectName("mnuReadings");
    connect(readings, &QAction::triggered, this, [this, row] { openReadings(row + 1); });
    menu->popup(grid_->viewport()->mapToGlobal(position));
}

void Main::openReadings(int record) {
    if (!journalFile_)
        return;
    if (readings_ == nullptr) {
        readings_ = new ReadingsWindow(*journalFile_, station_.configDir(), station_.clock(), this);
        readings_->setAttribute(Qt::WA_DeleteOnClose);
    }
    readings_->showDevice(record, station_.devices.at(record));
    readings_->show();
    readings_->raise();
    readings_->activateWindow();
}

void Main::rowClicked(int row) {
    station_.selectedDevice = row + 1;
}

void Main::rowDoubleClicked(int row) {
    rowClicked(row);
    emit propertiesRequested(station_.selectedDevice);
}

// One dialog at a time, owned by this window and not modal: a double click on another row
// closes the open one and opens the dialog afresh on the new record. Edits the open one has not
// stored are the operator's to keep or drop first; kept on screen, that dialog comes to the front.
void Main::openProperties() {
    if (properties_ != nullptr) {
        if (!properties_->leaveRecord()) {
            properties_->raise();
            properties_->activateWindow();
            return;
        }
        properties_->close();
    }
    auto *dialog = new PropertiesDialog(station_, *this, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (journalFile_) {
        dialog->offerReadings();
        connect(dialog, &PropertiesDialog::readingsRequested, this, &Main::openReadings);
    }
    properties_ = dialog;
    dialog->show();
}

// The tick comes inside a session's waits as well: a store held for a device whose session has
// ended goes through here at the latest.
void Main::trayTick() {
    if (exitPending_ && !inCycle_ && !station_.session.sessionRunning) {
        finishExit();
        return;
    }
    held_->release();
    tray_.refresh(station_.session.communicating, tooltipText());
    if (!trayShown_)
        showCountdown();
}

std::string Main::tooltipText() const {
    if (!station_.session.communicating && !schedule_.scheduleOff() && !anyDeviceToRead(station_))
        return nothingToReadTip;
    return schedule_.tooltipText();
}

void Main::showCountdown() {
    QString tip = qtext(tooltipText());
    tip.replace('\r', "   ");
    lblCountdown_->setText(tip);
}

// A cycle step waits with the window alive, so this timer fires again inside it; the step's
// own marks already keep that inner tick from repeating its work, and the flag keeps it from
// starting anything at all under the running step.
void Main::cycleTick() {
    if (inCycle_ || exitPending_)
        return;
    inCycle_ = true;
    schedule_.tick();
    if (!station_.session.sessionRunning)
        schedule_.previewCountdown();
    inCycle_ = false;
    held_->release();
    if (exitPending_)
        finishExit();
}

void Main::openWindow() {
    show();
    raise();
    activateWindow();
}

// A session on the line is first ended as on a stop signal: logger and switch released, modem
// hung up, the done mark written. The cycle step returns once it has, and Exit goes on there.
// A request that comes again once nothing runs quits again: a message box that opened after
// the first quit (one of the start-up messages) has its own event loop, which that quit
// never reached.
void Main::requestExit() {
    exitPending_ = true;
    if (inCycle_ || station_.session.sessionRunning) {
        station_.session.stopRequested = true;
        return;
    }
    finishExit();
}

void Main::finishExit() {
    held_->release();
    tray_.removeIcon();
    quit_();
}

// Only a close the operator or the window manager asked for hides the window; the closes that
// the application's quit sends to every window must go through, or the quit never finishes.
void Main::closeEvent(QCloseEvent *event) {
    if (!event->spontaneous() || exitPending_) {
        event->accept();
        return;
    }
    event->ignore();
    if (trayShown_)
        hideToTray();
    else
        showMinimized();
}

void Main::hideToTray() {
    DailyMarksFile marks(station_);
    succeeded(marks.writeScheduledMarks(station_.selectedDevice));
    if (trayShown_)
        hide();
    else
        showMinimized();
}

} // namespace vantrell
