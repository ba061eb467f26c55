// The operator's console and the station's heart: the four schedule times, the report address,
// the two ports and the phone list, and the timers that drive the cycle and the tray icon. The
// window is never closed while the program runs: the close box and cmdExit only hide it, and
// only the tray menu's Exit ends the program, after any running session has ended cleanly.
#pragma once

#include "config/Station.h"
#include "cycle/Schedule.h"
#include "ui/PhoneListJournal.h"
#include "ui/PhoneListView.h"
#include "ui/PropertiesDialog.h"
#include "ui/ReadingsWindow.h"
#include "ui/TelGrid.h"
#include "ui/TrayIcon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <array>
#include <filesystem>
#include <functional>
#include <optional>

namespace vantrell {

class HeldStores;
class SerialPort;
struct ConfigError;

class Main final : public QMainWindow, public PhoneListView {
    Q_OBJECT
public:
    Main(Station &station, Schedule &schedule, QWidget *parent = nullptr);

    // The SMS modem's port, checked at start-up beside the line's port.
    void setSmsPort(SerialPort &port) { smsPort_ = &port; }
    // How the program ends once Exit is through (the application's quit by default).
    void setQuit(std::function<void()> quit) { quit_ = std::move(quit); }
    // Whether the desktop has a notification area (asked of the platform by default).
    void setTrayCheck(std::function<bool()> check) { trayAvailable_ = std::move(check); }

    // The start-up load: icon, configuration, lists, ports; the window stays hidden unless the
    // desktop has no notification area.
    void load();
    void startTimers();
    // The phone list's rows show, as tooltips, what `journalFile` remembers of each device, and
    // its rows and the properties dialog offer the device's readings.
    void showJournal(const std::filesystem::path &journalFile);

    std::optional<int> findFreeRow() override;
    void refreshGrid() override;

    TrayIcon &tray() { return tray_; }
    bool trayShown() const { return trayShown_; }
    bool exitPending() const { return exitPending_; }
    // The device properties dialog the phone list opened last, while it is open.
    PropertiesDialog *propertiesDialog() const { return properties_; }
    // The readings window, once opened and while it is open.
    ReadingsWindow *readingsWindow() const { return readings_; }

public slots:
    void trayTick();
    void cycleTick();
    void openWindow();
    void requestExit();
    // One window for every device: it shows the device asked for last.
    void openReadings(int record);

signals:
    // The phone list's double click: record `record` is to be edited.
    void propertiesRequested(int record);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildSchedules(QWidget *parent);
    void buildReport(QWidget *parent);
    void buildPorts(QWidget *parent);
    void buildHidden(QWidget *parent);
    void buildStatusBar();

    // The stored times in the four lists, and beside the properties dialog's schedule boxes.
    void showScheduleTimes();
    void showPorts();
    void checkPorts();
    void showProblems(const std::vector<ConfigError> &problems);
    // True when the step went through; a failure is shown to the operator.
    bool succeeded(const ConfigError &error);

    void timeChosen(int list);
    void resetTimetable();
    void setTimes();
    void resetDailySchedule();
    void saveReport();
    void portChosen(QComboBox *list, bool modem);
    void rowClicked(int row);
    void rowDoubleClicked(int row);
    void openProperties();
    void openRowMenu(const QPoint &position);
    void hideToTray();
    void finishExit();
    void showCountdown();
    // The schedule's tooltip, unless no active device is scheduled at a time that is set: then
    // the countdown would count down to nothing, and the tip says so instead.
    std::string tooltipText() const;

    Station &station_;
    Schedule &schedule_;
    SerialPort *smsPort_ = nullptr;
    std::function<void()> quit_;
    std::function<bool()> trayAvailable_;
    TrayIcon tray_;
    bool trayShown_ = false;
    bool loading_ = false;
    bool inCycle_ = false;
    bool exitPending_ = false;

    std::array<QComboBox *, scheduleTimeCount> cmbTime_{};
    QCheckBox *chkReport_ = nullptr;
    QLineEdit *txtReport_ = nullptr;
    QComboBox *cmbPort_ = nullptr;
    QComboBox *cmbModemPort_ = nullptr;
    QLabel *lblComDevice_ = nullptr;
    QLabel *lblModemDevice_ = nullptr;
    TelGrid *grid_ = nullptr;
    PhoneListJournal *journal_ = nullptr;
    std::optional<std::filesystem::path> journalFile_;
    QLabel *lblCountdown_ = nullptr;
    QPushButton *cmdQuit_ = nullptr;
    QTimer *trayTimer_ = nullptr;
    QTimer *cycleTimer_ = nullptr;
    // What the windows store about the device a session reads, until its session has ended.
    HeldStores *held_ = nullptr;
    QPointer<PropertiesDialog> properties_;
    QPointer<ReadingsWindow> readings_;
};

} // namespace vantrell
