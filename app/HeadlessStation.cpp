#include "HeadlessStation.h"

#include "ProgramEnvironment.h"
#include "ServiceManager.h"
#include "config/ComPorts.h"
#include "config/ConfigFiles.h"
#include "config/DeviceFile.h"
#include "config/ScheduleFiles.h"
#include "config/Startup.h"
#include "general/Text.h"
#include "loggerdata/DataFile.h"
#include "web/StatusServer.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include <unistd.h>

namespace vantrell {

namespace {
// The cycle timer of the station: one step every ten seconds.
constexpr double cycleInterval = 10.0;
// Copies of the attachments of deliveries still to go, in the configuration folder.
// How long a one-shot read waits for the broker's acknowledgements before it exits.
constexpr double publishedWithin = 5.0;
constexpr const char *retryAtText = "  retry at ";

// The port's own lines: the byte dump at the I/O level, a port that opens again as progress, and
// a port that cannot be opened or written as an error.
LogPriority portLinePriority(const std::string &line) {
    if (line.starts_with("=> ") || line.starts_with("<= "))
        return LogPriority::io;
    return line.ends_with(": open again") ? LogPriority::progress : LogPriority::error;
}

LogPriority priorityOf(DialogIcon icon) {
    switch (icon) {
    case DialogIcon::critical:
        return LogPriority::error;
    case DialogIcon::exclamation:
        return LogPriority::warning;
    default:
        return LogPriority::progress;
    }
}
} // namespace

void HeadlessStation::StoppablePump::beat() const {
    if (heartbeat)
        heartbeat();
}

void HeadlessStation::StoppablePump::yield(SerialPort *port, double until) {
    beat();
    if (stepped)
        stepped();
    if (stopSignal && station_ != nullptr)
        station_->session.stopRequested = true;
    inner_.yield(port, until);
}

DialogAnswer HeadlessStation::PrioritisedDialogs::message(std::string_view title,
                                                          std::string_view text,
                                                          DialogButtons buttons, DialogIcon icon) {
    const LogPriority priority = priorityOf(icon);
    if (style_.quiet && priority > LogPriority::warning)
        return quietened_.message(title, text, buttons, icon);
    if (style_.journal)
        std::cout << "<" << static_cast<int>(priority) << ">";
    return shown_.message(title, text, buttons, icon);
}

HeadlessStation::HeadlessStation(const std::filesystem::path &configDir, bool logIo, LogStyle style,
                                 const ConfSettings &settings)
    : progress_(std::cout, clock_, style), linePort_(deviceMap(configDir)),
      smsPort_(deviceMap(configDir)),
      loggedLine_(
          linePort_,
          [this](const std::string &line) { progress_.log("line", line, portLinePriority(line)); },
          logIo),
      loggedSms_(
          smsPort_,
          [this](const std::string &line) { progress_.log("sms", line, portLinePriority(line)); },
          logIo),
      station_({clock_, pump_, loggedLine_, sessionLog_, dialogs_}, configDir), settings_(settings),
      journal_(station_, settings),
      outbox_(journal_.journal(), settings.outbox, configDir / outboxFolder, clock_, outboxLog()),
      smsRetries_(station_.line(), loggedSms_, station_.modemPortNumber),
      // A mail the loop sends shows the loop at work (an upload waits through the pump already);
      // the outbox thread's retries show nothing, as only the loop proves the station alive.
      forwarding_(station_, {curlMailSessions([this] { pump_.beat(); }), curlFtpSessions(),
                             loggedSms_, outbox_}) {
    self_ = &station_;
    journal_.attachAlarms(forwarding_.alarm());
    if (settings.metrics && settings.metrics->on())
        metrics_.emplace(station_, journal_, *settings.metrics, settings.station,
                         unpublishedReadings(settings));
    if (settings.hooks)
        attachHooks();
}

void HeadlessStation::attachHooks() {
    hooks_.emplace(
        *settings_.hooks, settings_.station,
        [this](LogPriority priority, const std::string &text) {
            progress_.log("hook", text, priority);
        },
        clock_);
    session_.onEnded([this](const SessionRequest &request, const SessionResult &result) {
        hooks_->sessionEnded(request, result);
    });
    schedule_.onReportSent([this](int time) { hooks_->reportSent(station_, time); });
}

void HeadlessStation::awaitHooks() {
    if (hooks_)
        hooks_->awaitAll();
}

void HeadlessStation::refreshMetrics() {
    if (metrics_)
        metrics_->refresh();
}

OutboxLog HeadlessStation::outboxLog() {
    return [this](LogPriority priority, const std::string &text) {
        progress_.log("outbox", text, priority);
    };
}

bool HeadlessStation::deviceTableUsable() {
    const ConfigError error = DeviceFile(station_).loadDeviceTable();
    if (error.problem == FileProblem::missing)
        progress_.log("config",
                      "no device table in " + station_.configDir().string() +
                          ": run 'vantrelld init' there first",
                      LogPriority::error);
    else if (error.failed())
        progress_.log("config", describe(error) + "; the station cannot work without it",
                      LogPriority::error);
    return !error.failed();
}

void HeadlessStation::logProblems(const std::vector<ConfigError> &problems) {
    for (const auto &problem : problems)
        progress_.log("config", describe(problem), LogPriority::warning);
}

bool HeadlessStation::loadConfiguration() {
    if (!deviceTableUsable())
        return false;
    if (const ConfigError error = checkWritable(station_.configDir())) {
        progress_.log("config", describe(error), LogPriority::error);
        return false;
    }
    logProblems(vantrell::loadConfiguration(station_));
    logProblems(refreshScheduledMarks(station_));
    return true;
}

bool HeadlessStation::portsPermitted() {
    // Nothing opens the line before a device is active: a port refused then is worth a line in
    // the log, not a station that will not start.
    const bool needed = !activeDevices().empty();
    const auto permitted = [this, needed](PosixSerialPort &port, int number) {
        const PortError error = port.open(number);
        port.close();
        if (error == PortError::accessDenied)
            progress_.log("config",
                          describe(port, number, error) + "; " +
                              whoMayOpen(port.deviceName(number)),
                          needed ? LogPriority::error : LogPriority::warning);
        return !needed || error != PortError::accessDenied;
    };
    const bool line = permitted(linePort_, station_.linePortNumber);
    return station_.modemPortNumber == station_.linePortNumber
               ? line
               : permitted(smsPort_, station_.modemPortNumber) && line;
}

bool HeadlessStation::readConfiguration() {
    if (!deviceTableUsable())
        return false;
    logProblems(vantrell::readConfiguration(station_));
    return true;
}

void HeadlessStation::checkDataFolders() {
    for (int slot = 1; slot <= maxDevices; ++slot) {
        const DeviceRecord &device = station_.devices[slot];
        if (device.isFree() || trim(device[field::dataDirectory]).empty())
            continue;
        const std::filesystem::path path =
            dataFolderPath(station_.configDir(), device[field::dataDirectory]);
        if (::access(path.c_str(), W_OK | X_OK) != 0)
            progress_.log("config",
                          "the data folder of device " + std::to_string(slot) + ", " +
                              path.string() + ", cannot be written (" + std::strerror(errno) +
                              "); as a service it needs ReadWritePaths= in a drop-in",
                          LogPriority::error);
    }
}

void HeadlessStation::reload() {
    service::reloading();
    progress_.log("station", "reading the configuration again");
    if (loadConfiguration())
        checkDataFolders();
    service::ready();
}

void HeadlessStation::runCycle() {
    checkDataFolders();
    progress_.log("station", "running; the line is port " +
                                 std::to_string(station_.linePortNumber) + ", SMS on port " +
                                 std::to_string(station_.modemPortNumber));
    if (activeDevices().empty())
        progress_.log("station", "no device is active in " +
                                     (station_.configDir() / files::deviceProperties).string() +
                                     ": nothing will be read");
    if (journal_.on() && journal_.journal() != nullptr)
        progress_.log("journal", "sessions and readings go to " + journal_.file().string());
    if (metrics_)
        progress_.log("metrics", "the station's counts go to " + metrics_->file().string());
    refreshMetrics();
    // Mail and uploads are retried beside the loop, never in the way of a session.
    std::optional<OutboxWorker> retries;
    if (settings_.outbox && journal_.journal() != nullptr) {
        retries.emplace(journal_.file(), *settings_.outbox, curlMailSessions(), curlFtpSessions(),
                        outboxLog());
        retries->start();
    }
    // Before the page, which tells whether the publisher has its broker.
    startPublisher();
    std::optional<StatusServer> page;
    if (settings_.web && settings_.web->on()) {
        page.emplace(StatusSources{&snapshots_, station_.configDir(), settings_,
                                   publisher_ ? &publisher_->connected() : nullptr,
                                   VANTRELL_VERSION},
                     *settings_.web, clock_);
        schedule_.previewCountdown();
        publishSnapshot();
        if (const std::string problem = page->start(); !problem.empty())
            progress_.log("web", problem, LogPriority::error);
        else
            progress_.log("web", "the status page is on " + settings_.web->listen);
        pump_.stepped = [this] {
            if (sessionLog_.generation() != publishedLog_)
                publishSnapshot();
        };
    }
    // A request may read a device or change one: the counts and the page follow before the
    // answer ends, so that what the client looks at next is up to date.
    const ControlHandler served = [this, &page](const std::vector<std::string> &arguments,
                                                std::ostream &out, std::ostream &err) {
        const int exit = requests_(arguments, out, err);
        refreshMetrics();
        if (page)
            publishSnapshot();
        return exit;
    };
    ControlServer control;
    if (requests_) {
        if (const std::string problem =
                control.open(runFolder(station_.configDir()), station_.configDir());
            !problem.empty())
            progress_.log("station", problem + "; other vantrelld commands wait for the folder",
                          LogPriority::warning);
        else
            progress_.log("station",
                          "other vantrelld commands reach it through " + control.path().string());
    }
    service::ready();
    while (!stopSignal) {
        schedule_.tick();
        if (publisher_)
            publisher_->sessionEnded();
        outbox_.retryDueSms(smsRetries_);
        if (page)
            publishSnapshot();
        // A tick runs at most one session; between sessions the outbox changes the counts too.
        refreshMetrics();
        // Between steps no session runs: the place to read the configuration again.
        const Deadline next(clock_, cycleInterval);
        while (!next.expired() && !stopSignal) {
            if (reloadSignal.exchange(false))
                reload();
            if (requests_)
                control.serveWaiting(served);
            pump_.yield(nullptr, next.end());
        }
    }
    pump_.stepped = nullptr;
    service::stopping();
    if (hooks_)
        hooks_->stop();
    publisher_.reset();
    progress_.log("station", "stopped");
}

void HeadlessStation::publishSnapshot() {
    publishedLog_ = sessionLog_.generation();
    snapshots_.publish(takeSnapshot(station_, schedule_, sessionLog_.lines()));
}

std::string HeadlessStation::readDevice(int slot, int time) {
    station_.session.dailyMarkIndex = 2 * time - 1;
    const DeviceRecord &device = station_.devices.at(slot);
    const SessionResult result =
        session_.read({slot, station_.session.dailyMarkIndex, device.connection(), device});
    refreshMetrics();
    return trim(result.mark);
}

void HeadlessStation::startPublisher() {
    if (!settings_.mqtt || !settings_.mqtt->on() || journal_.journal() == nullptr)
        return;
    publisher_.emplace(journal_.file(), *settings_.mqtt, station_.configDir(),
                       [this](LogPriority priority, const std::string &text) {
                           progress_.log("mqtt", text, priority);
                       });
    publisher_->start();
}

void HeadlessStation::awaitPublished() {
    if (!publisher_)
        return;
    if (!publisher_->waitForAcknowledgements(publishedWithin))
        progress_.log(
            "mqtt", "the broker has not acknowledged every reading yet; they go with the next run",
            LogPriority::warning);
}

void HeadlessStation::printStatus(std::ostream &out) {
    out << "schedule times:";
    for (int s = 1; s <= scheduleTimeCount; ++s) {
        const std::string t = scheduleTimeText(station_.scheduleTimes, s);
        out << "  " << s << " " << (t.empty() ? "not set" : t);
    }
    ScheduleDayFile dayFile(station_);
    std::string day;
    (void)dayFile.readScheduleDay(day);
    out << "\nschedule day: " << (day.empty() ? "not set" : printable(day)) << "\ntimes done:";
    for (int s = 1; s <= scheduleTimeCount; ++s) {
        std::string mark;
        (void)dayFile.readSlotMark(s, mark);
        out << "  " << s << " " << (trim(mark).empty() ? "-" : printable(trim(mark)));
    }
    out << "\ndevices:\n";
    for (int slot = 1; slot <= maxDevices; ++slot) {
        const DeviceRecord &d = station_.devices[slot];
        if (d.isFree())
            continue;
        out << "  " << slot << "  " << printable(d.connection()) << "  \""
            << printable(d[field::description]) << "\"  "
            << (d.flag(field::active) ? "active" : "inactive") << "  marks:";
        for (int s = 1; s <= scheduleTimeCount; ++s) {
            const std::string &done = station_.dailyMarks.at(2 * s, slot);
            out << "  " << s << (d.scheduledAt(s) ? "* " : "  ")
                << (done.empty() ? "-" : printable(done));
        }
        if (const std::optional<LocalDateTime> retry = schedule_.retryAt(slot))
            out << retryAtText << zeroPad(retry->hour, 2) << ":" << zeroPad(retry->minute, 2);
        out << "\n";
    }
    schedule_.previewCountdown();
    std::string tooltip = schedule_.tooltipText();
    for (char &c : tooltip)
        if (c == '\r')
            c = '\n';
    out << "(* scheduled at that time)\n" << tooltip << "\n";
}

std::vector<int> HeadlessStation::configuredDevices() const {
    std::vector<int> slots;
    for (int slot = 1; slot <= maxDevices; ++slot)
        if (!station_.devices[slot].isFree())
            slots.push_back(slot);
    return slots;
}

std::vector<int> HeadlessStation::activeDevices() const {
    std::vector<int> slots;
    for (int slot : configuredDevices())
        if (station_.devices[slot].flag(field::active))
            slots.push_back(slot);
    return slots;
}

nlohmann::ordered_json HeadlessStation::statusJson() {
    schedule_.previewCountdown();
    return vantrell::statusJson(takeSnapshot(station_, schedule_, {}));
}

} // namespace vantrell
