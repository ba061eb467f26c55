#include "GuiStation.h"

#include "ProgramEnvironment.h"

#include "config/Templates.h"

#include <QCoreApplication>

namespace vantrell {

namespace {

constexpr const char *configurationTitle = "Configuration";
// As often as the station's cycle steps: no SMS and no session's counts wait for long.
constexpr int betweenSessionsMs = 10'000;

} // namespace

GuiStation::GuiStation(const std::filesystem::path &configDir, const ConfSettings &settings)
    : settings_(settings), linePort_(deviceMap(configDir)), smsPort_(deviceMap(configDir)),
      station_({clock_, pump_, linePort_, progress_, dialogs_}, configDir),
      journal_(station_, settings),
      outbox_(journal_.journal(), settings.outbox, configDir / outboxFolder, clock_, outboxLog()),
      smsRetries_(station_.line(), smsPort_, station_.modemPortNumber),
      forwarding_(station_,
                  // A mail on its way keeps the windows alive as every other wait does.
                  {curlMailSessions([] { QCoreApplication::processEvents(); }), curlFtpSessions(),
                   smsPort_, outbox_}) {
    journal_.attachAlarms(forwarding_.alarm());
    progress_.attach(window_);
    window_.keepClearOf([this] { return main_.tray().geometry(); });
    dialogs_.setParent(&main_);
    main_.setSmsPort(smsPort_);
    if (settings.metrics && settings.metrics->on())
        metrics_.emplace(station_, journal_, *settings.metrics, settings.station,
                         unpublishedReadings(settings));
    if (settings.hooks)
        attachHooks();
}

void GuiStation::attachHooks() {
    hooks_.emplace(*settings_.hooks, settings_.station, outboxLog(), clock_);
    session_.onEnded([this](const SessionRequest &request, const SessionResult &result) {
        hooks_->sessionEnded(request, result);
    });
    schedule_.onReportSent([this](int time) { hooks_->reportSent(station_, time); });
}

void GuiStation::start() {
    installMissingFiles();
    main_.load();
    if (settings_.journalOn())
        main_.showJournal(journal_.file());
    if (settings_.mqtt && settings_.mqtt->on() && journal_.journal() != nullptr) {
        // Its problems reach the progress window on the window system's thread.
        publisher_.emplace(journal_.file(), *settings_.mqtt, station_.configDir(), outboxLog());
        publisher_->start();
    }
    main_.startTimers();
    startRetries();
    if (metrics_)
        metrics_->refresh();
    QObject::connect(&betweenSessions_, &QTimer::timeout, [this] { betweenSessions(); });
    betweenSessions_.start(betweenSessionsMs);
}

OutboxLog GuiStation::outboxLog() {
    return [this](LogPriority priority, const std::string &text) {
        if (priority > LogPriority::warning)
            return;
        QMetaObject::invokeMethod(
            &main_, [this, text] { progress_.failure(text); }, Qt::QueuedConnection);
    };
}

void GuiStation::startRetries() {
    if (!settings_.outbox || journal_.journal() == nullptr)
        return;
    // No idle function for the thread: the windows' events belong to the windows' thread.
    retries_.emplace(journal_.file(), *settings_.outbox, curlMailSessions(), curlFtpSessions(),
                     outboxLog());
    retries_->start();
}

// The windows' waits run the timers, also inside a session: then all this waits for the next
// turn.
void GuiStation::betweenSessions() {
    if (station_.session.sessionRunning || station_.session.communicating)
        return;
    if (retries_)
        outbox_.retryDueSms(smsRetries_);
    if (metrics_)
        metrics_->refresh();
}

// A first start in an empty folder finds the templates in place; a folder that cannot be
// written is said once, and the program goes on with what it can read.
void GuiStation::installMissingFiles() {
    const TemplateInstall install = installTemplates(station_.configDir());
    if (install.failures.empty())
        return;
    std::string text;
    for (const auto &failure : install.failures)
        text += describe(failure) + "\n";
    text.pop_back();
    dialogs_.message(configurationTitle, text, DialogButtons::ok, DialogIcon::exclamation);
}

} // namespace vantrell
