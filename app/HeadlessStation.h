// The station without a screen, wired to the real world: the system clock, a blocking event
// pump that notices a stop request, the termios ports (numbers mapped through comports.xml),
// real mail and FTP, progress and messages as log lines on standard output.
#pragma once

#include "ControlSocket.h"
#include "config/ConfFile.h"
#include "config/Station.h"
#include "cycle/Schedule.h"
#include "cycle/Session.h"
#include "cycle/StationHooks.h"
#include "cycle/StationJournal.h"
#include "cycle/StationSnapshot.h"
#include "forwarding/Outbox.h"
#include "forwarding/StationForwarding.h"
#include "general/Clock.h"
#include "general/Dialogs.h"
#include "general/EventPump.h"
#include "general/Progress.h"
#include "link/LoggingSerialPort.h"
#include "link/PosixSerialPort.h"
#include "link/SmsModem.h"
#include "publish/MetricsFile.h"
#include "publish/MqttPublisher.h"
#include "web/Pages.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <vector>

namespace vantrell {

class HeadlessStation {
public:
    // `settings` are those of vantrell.conf; without them the journal and all it carries are off.
    HeadlessStation(const std::filesystem::path &configDir, bool logIo, LogStyle style = {},
                    const ConfSettings &settings = {});

    Station &station() { return station_; }
    LoggingProgress &log() { return progress_; }

    // Loads the configuration for reading loggers; false (after logging why) when the station
    // cannot work with it: no usable device table, or a folder it may not write in. Nothing is
    // written before the device table is known to be good.
    bool loadConfiguration();
    // False (after logging why) when a port's device refuses this program while a device is
    // active: group membership is fixed when a process starts, so no session could ever open
    // it. A device that is missing is no such case: a USB adapter may come later.
    bool portsPermitted();
    // Loads it for a look only: false without a usable device table; nothing is written.
    bool readConfiguration();
    // The scheduled cycle until a stop is requested, telling the service manager how it goes.
    void runCycle();
    // Called on every turn of the event loop, also inside a session.
    void onLoop(std::function<void()> heartbeat) { pump_.heartbeat = std::move(heartbeat); }
    // The cycle answers other vantrelld commands through its control socket with `handler`,
    // between sessions.
    void onRequest(ControlHandler handler) { requests_ = std::move(handler); }
    // The log's lines also go to `copy` until it is taken back with nothing.
    void copyLogTo(std::ostream *copy) { progress_.copyTo(copy); }
    // One reading session of `slot` as for schedule time `time`; returns the letter left.
    std::string readDevice(int slot, int time);
    // Until the hooks queued so far have ended: a read of its own ends after its session's.
    void awaitHooks();
    // Readings and device states go to the MQTT broker when vantrell.conf names one.
    void startPublisher();
    // Waits a bounded time for the broker to acknowledge every reading still to go.
    void awaitPublished();
    // Texts from the files are shown only where printable: a terminal takes control
    // characters as commands.
    void printStatus(std::ostream &out);
    // The same as one JSON object: "schedule", "countdown" and "devices".
    nlohmann::ordered_json statusJson();
    // The configured devices, and of them those that are active.
    std::vector<int> configuredDevices() const;
    std::vector<int> activeDevices() const;

private:
    bool deviceTableUsable();
    void logProblems(const std::vector<ConfigError> &problems);
    // Says which configured data folders cannot be written; their sessions would read a logger
    // and then fail to save.
    void checkDataFolders();
    void reload();
    void refreshMetrics();
    // The outbox's lines, from its thread too.
    OutboxLog outboxLog();
    // The commands of [hooks], after each session and each report, their lines from their thread.
    void attachHooks();
    // The state the status page shows, again whenever a step logged something.
    void publishSnapshot();

    // Passes the stop signal on to the running session.
    class StoppablePump final : public EventPump {
    public:
        StoppablePump(const Clock &clock, Station *&station) : inner_(clock), station_(station) {}
        void yield(SerialPort *port, double until) override;
        // The loop is at work: what feeds the service manager's watchdog, and nothing else.
        void beat() const;
        std::function<void()> heartbeat;
        std::function<void()> stepped;

    private:
        BlockingEventPump inner_;
        Station *&station_;
    };

    Station *self_ = nullptr;
    SystemClock clock_;
    StoppablePump pump_{clock_, self_};
    LoggingProgress progress_;
    PosixSerialPort linePort_;
    PosixSerialPort smsPort_;
    LoggingSerialPort loggedLine_;
    LoggingSerialPort loggedSms_;
    // Messages keep their own line format; the journal gets their priority in front.
    class PrioritisedDialogs final : public Dialogs {
    public:
        explicit PrioritisedDialogs(const LogStyle &style) : style_(style) {}
        DialogAnswer message(std::string_view title, std::string_view text, DialogButtons buttons,
                             DialogIcon icon) override;

    private:
        const LogStyle &style_;
        LoggingDialogs shown_{std::cout};
        std::ostream dropped_{nullptr};
        LoggingDialogs quietened_{dropped_};
    };
    PrioritisedDialogs dialogs_{progress_.style()};
    LogRing sessionLog_{progress_};
    SnapshotBox snapshots_;
    std::size_t publishedLog_ = 0;
    Station station_;
    ConfSettings settings_;
    StationJournal journal_;
    // Written at start and after every tick of the cycle or reading session; only when
    // vantrell.conf names a file.
    std::optional<MetricsFile> metrics_;
    // Built on the loop's journal connection, opened with the station.
    Outbox outbox_;
    // The SMS the outbox tries again, between sessions: the modem's port is the loop's.
    SmsModem smsRetries_;
    StationForwarding forwarding_;
    Session session_{station_, forwarding_, &journal_};
    Schedule schedule_{station_, session_, forwarding_, settings_.retry};
    std::optional<MqttPublisher> publisher_;
    std::optional<StationHooks> hooks_;
    ControlHandler requests_;
};

} // namespace vantrell
