// The desktop program's station, wired to the real world: the system clock, waits that keep
// the windows alive, the termios ports (numbers mapped through comports.xml), message boxes,
// the progress window, real mail and FTP, the reading session and the cycle its main window
// drives.
#pragma once

#include "config/ConfFile.h"
#include "config/Station.h"
#include "cycle/Schedule.h"
#include "cycle/Session.h"
#include "cycle/StationJournal.h"
#include "forwarding/Outbox.h"
#include "forwarding/StationForwarding.h"
#include "general/Clock.h"
#include "link/PosixSerialPort.h"
#include "publish/MqttPublisher.h"
#include "ui/GuiEventPump.h"
#include "ui/Main.h"
#include "ui/ProgressWindow.h"
#include "ui/QtDialogs.h"
#include "ui/WindowProgress.h"

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

    SystemClock clock_;
    GuiEventPump pump_{clock_};
    PosixSerialPort linePort_;
    PosixSerialPort smsPort_;
    QtDialogs dialogs_;
    WindowProgress progress_;
    Station station_;
    ProgressWindow window_{station_, nullptr};
    StationJournal journal_;
    // Records every delivery in the journal but keeps none for a retry: retries are the work
    // of vantrelld run, whose outbox thread and loop are made for them.
    Outbox outbox_;
    StationForwarding forwarding_;
    Session session_{station_, forwarding_, &journal_};
    Schedule schedule_{station_, session_, forwarding_};
    Main main_{station_, schedule_};
    // Finds the sessions' readings in the journal by itself, every few seconds.
    std::optional<MqttPublisher> publisher_;
};

} // namespace vantrell
