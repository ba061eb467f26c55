// The desktop program's station, wired to the real world: the system clock, waits that keep
// the windows alive, the termios ports (numbers mapped through comports.xml), message boxes,
// the progress window, real mail and FTP, the reading session and the cycle its main window
// drives.
#pragma once

#include "config/ConfFile.h"
#include "config/Station.h"
#include "cycle/Schedule.h"
#include "cycle/Session.h"
#include "cycle/StationHooks.h"
#include "cycle/StationJournal.h"
#include "forwarding/Outbox.h"
#include "forwarding/StationForwarding.h"
#include "general/Clock.h"
#include "link/PosixSerialPort.h"
#include "link/SmsModem.h"
#include "publish/MetricsFile.h"
#include "publish/MqttPublisher.h"
#include "ui/GuiEventPump.h"
#include "ui/Main.h"
#include "ui/ProgressWindow.h"
#include "ui/QtDialogs.h"
#include "ui/WindowProgress.h"

#include <QTimer>

#include <filesystem>
#include <optional>

namespace vantrell {

class GuiStation {
public:
    // `settings` are those of vantrell.conf; without them the journal and all it carries are off.
    explicit GuiStation(const std::filesystem::path &configDir, const ConfSettings &settings = {});
    GuiStation(const GuiStation &) = delete;
    GuiStation &operator=(const GuiStation &) = delete;

    // Puts any missing configuration file in place (never over one that exists), loads the
    // main window hidden with its tray icon, and starts its timers.
    void start();

    Station &station() { return station_; }
    Main &main() { return main_; }
    ProgressWindow &progressWindow() { return window_; }

private:
    void installMissingFiles();
    // Lines of the outbox, also from its thread: they reach the window on the window's thread.
    OutboxLog outboxLog();
    // Mail and uploads beside the windows; SMS between sessions, as the modem's port is the
    // station's.
    void startRetries();
    // What the headless station's loop does between ticks: due SMS, the metrics file.
    void betweenSessions();
    // The commands of [hooks]; their problems reach the window as the outbox's do.
    void attachHooks();

    ConfSettings settings_;
    SystemClock clock_;
    GuiEventPump pump_{clock_};
    PosixSerialPort linePort_;
    PosixSerialPort smsPort_;
    QtDialogs dialogs_;
    WindowProgress progress_;
    Station station_;
    ProgressWindow window_{station_, nullptr};
    StationJournal journal_;
    Outbox outbox_;
    SmsModem smsRetries_;
    StationForwarding forwarding_;
    Session session_{station_, forwarding_, &journal_};
    Schedule schedule_{station_, session_, forwarding_, settings_.retry};
    Main main_{station_, schedule_};
    std::optional<OutboxWorker> retries_;
    // Only when vantrell.conf names a file: written at start, then between sessions, since the
    // main window's cycle does not say when one ended.
    std::optional<MetricsFile> metrics_;
    QTimer betweenSessions_;
    // Finds the sessions' readings in the journal by itself, every few seconds.
    std::optional<MqttPublisher> publisher_;
    // Last, so that it stops first: its lines go to the main window.
    std::optional<StationHooks> hooks_;
};

} // namespace vantrell
