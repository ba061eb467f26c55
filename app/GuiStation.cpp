#include "GuiStation.h"

#include "ProgramEnvironment.h"

#include "config/ConfFile.h"
#include "config/Templates.h"

#include <QCoreApplication>

namespace vantrell {

namespace {

constexpr const char *configurationTitle = "Configuration";

} // namespace

GuiStation::GuiStation(const std::filesystem::path &configDir, const ConfSettings &settings)
    : linePort_(deviceMap(configDir)), smsPort_(deviceMap(configDir)),
      station_({clock_, pump_, linePort_, progress_, dialogs_}, configDir),
      journal_(station_, settings), outbox_(journal_.journal(), std::nullopt, {}, clock_,
                                            [this](LogPriority priority, const std::string &text) {
                                                if (priority <= LogPriority::warning)
                                                    progress_.failure(text);
                                            }),
      forwarding_(station_,
                  // A mail on its way keeps the windows alive as every other wait does.
                  {curlMailSessions([] { QCoreApplication::processEvents(); }), curlFtpSessions(),
                   smsPort_, outbox_}) {
    journal_.sendSilenceAlarmsBy(forwarding_.alarm());
    progress_.attach(window_, station_);
    window_.keepClearOf([this] { return main_.tray().geometry(); });
    dialogs_.setParent(&main_);
    main_.setSmsPort(smsPort_);
}

void GuiStation::start() {
    installMissingFiles();
    main_.load();
    const ConfSettings settings = readConfFile(station_.configDir()).settings;
    if (settings.journalOn())
        main_.showJournal(station_.configDir() / settings.journalSettings().file);
    if (settings.mqtt && settings.mqtt->on() && journal_.journal() != nullptr) {
        // Its problems reach the progress window on the window system's thread.
        publisher_.emplace(journal_.file(), *settings.mqtt, station_.configDir(),
                           [this](LogPriority priority, const std::string &text) {
                               if (priority <= LogPriority::warning)
                                   QMetaObject::invokeMethod(
                                       &main_, [this, text] { progress_.failure(text); },
                                       Qt::QueuedConnection);
                           });
        publisher_->start();
    }
    main_.startTimers();
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
