// vantrell: the desktop program. A splash, then the station lives in the notification area,
// with its main window, dialogs and progress window.
#include "FolderLock.h"
#include "HeadlessStation.h"
#include "general/Progress.h"
#include "ui/GuiStation.h"
#include "ui/Preloader.h"
#include "ui/frmDeviceSetup.h"
#include "ui/frmPath.h"
#include "ui/frmPhonebook.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

namespace {

using namespace vantrell;

constexpr const char *usage = R"(Usage: vantrell [--config-dir DIR]

The unattended communication station for data loggers, on the desktop. After a short splash
the station sits in the notification area: double-click its icon for the main window, use
its menu (right button) to end it. Where the desktop has no notification area the main
window stays open instead.

Options:
  --config-dir DIR    The configuration folder (default: the program's own folder). Missing
                      configuration files are installed there from the templates.
  --help              Shows this text.

SIGTERM and SIGINT end the program as the menu's Exit does: a running session is first
ended cleanly (logger and switch released, modem hung up, marks written).

The program holds its configuration folder for as long as it runs; another station program
on the same folder is refused, and so is this one while another holds it (exit code 2).
)";

// Also understood, for screenshots and reviews: --show WINDOW opens that window once the
// station has started (main, properties, setup, phonebook, progress, path, menu, splash).
struct Options {
    std::filesystem::path configDir = programFolder();
    std::string show;
};

std::optional<Options> parseOptions(const QStringList &args) {
    Options options;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == "--config-dir" && i + 1 < args.size())
            options.configDir = args[++i].toStdString();
        else if (args[i] == "--show" && i + 1 < args.size())
            options.show = args[++i].toStdString();
        else
            return std::nullopt;
    }
    return options;
}

// A memory half transferred, as a session shows it.
void showProgressSample(GuiStation &gui) {
    Station &station = gui.station();
    station.logger.memoryPointer = "00401";
    station.progress().openWindow();
    station.progress().service("Transfer to file ");
    station.progress().detail("Trasferring from device block no. 120");
}

void showWindow(GuiStation &gui, const std::string &window) {
    Main &main = gui.main();
    Station &station = gui.station();
    if (window == "main") {
        main.openWindow();
    } else if (window == "properties") {
        emit main.propertiesRequested(station.selectedDevice);
    } else if (window == "setup") {
        auto *setup = new frmDeviceSetup(station, &main);
        setup->setAttribute(Qt::WA_DeleteOnClose);
        setup->openLogger(station.devices[1].serialNumber(1), 1, 1);
    } else if (window == "phonebook") {
        auto *phonebook = new frmPhonebook(station, &main);
        phonebook->setAttribute(Qt::WA_DeleteOnClose);
        phonebook->openPhonebook();
    } else if (window == "path") {
        auto *path = new frmPath(station, &main);
        path->setAttribute(Qt::WA_DeleteOnClose);
        path->show();
    } else if (window == "progress") {
        showProgressSample(gui);
    } else if (window == "menu") {
        // An embedded tray icon may not know where it sits; the menu then opens in the corner
        // where the notification area usually is.
        const QRect icon = main.tray().geometry();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        main.tray().menu().popup(icon.isValid() && !icon.topLeft().isNull() ? icon.center()
                                                                            : screen.bottomRight());
    }
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vantrell");
    QApplication::setApplicationVersion("1.0.0");
    // The main window lives hidden; closing a dialog must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    const auto options = parseOptions(QApplication::arguments());
    if (!options) {
        std::cout << usage;
        return QApplication::arguments().contains("--help") ? EXIT_SUCCESS : 2;
    }

    // A first start makes its folder; the lock then says whatever else is wrong with it.
    std::error_code ignored;
    std::filesystem::create_directories(options->configDir, ignored);
    FolderLock lock;
    if (const std::string refused = lock.take(options->configDir, commandLineOf(argc, argv));
        !refused.empty()) {
        std::cerr << printable(refused) << "\n";
        QMessageBox::critical(nullptr, QApplication::applicationName(),
                              QString::fromStdString(refused));
        return 2;
    }
    GuiStation gui(options->configDir);
    stopOnTerminationSignals();
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, [&gui] {
        if (stopSignal)
            gui.main().requestExit();
    });
    stopWatch.start(200);

    Preloader splash(gui.station());
    QObject::connect(&splash, &Preloader::loadMain, [&gui, &options] {
        gui.start();
        showWindow(gui, options->show);
    });
    splash.show();
    if (options->show != "splash")
        splash.start();
    return QApplication::exec();
}
