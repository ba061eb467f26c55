// vantrell: the desktop program. A splash, then the station lives in the notification area,
// with its main window, dialogs and progress window.
#include "CommandLine.h"
#include "ConfigFolder.h"
#include "FolderLock.h"
#include "GuiStation.h"
#include "ProgramEnvironment.h"
#include "config/ConfFile.h"
#include "general/Progress.h"
#include "ui/DeviceSetupWindow.h"
#include "ui/FolderPicker.h"
#include "ui/PhoneBookWindow.h"
#include "ui/Preloader.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

using namespace vantrell;

constexpr const char *usageLine = "Usage: vantrell [--config-dir DIR]\n";

constexpr const char *usage = R"(Usage: vantrell [--config-dir DIR]

The unattended communication station for data loggers, on the desktop. After a short splash
the station sits in the notification area: double-click its icon for the main window, use
its menu (right button) to end it. Where the desktop has no notification area the main
window stays open instead.

Options:
  --config-dir DIR    The configuration folder (default: $XDG_CONFIG_HOME/vantrell, or
                      ~/.config/vantrell without it). Missing configuration files are
                      installed there from the templates.
  --version           Shows the version.
  --help              Shows this text.

SIGTERM and SIGINT end the program as the menu's Exit does: a running session is first
ended cleanly (logger and switch released, modem hung up, marks written).

The program holds its configuration folder for as long as it runs; another station program
on the same folder is refused, and so is this one while another holds it (exit code 2).
)";

// Also understood, for screenshots and reviews: --show WINDOW opens that window once the
// station has started (main, properties, setup, phonebook, progress, path, menu, splash,
// readings: those of device 1 when the station keeps a journal).
struct Options {
    std::filesystem::path configDir;
    std::string show;
};

// Before the application exists: --help, --version and a refused command line need no display.
Parsed parseOptions(int argc, char **argv, Options &options) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    const QCommandLineOption configDir("config-dir", {}, "DIR");
    const QCommandLineOption show("show", {}, "WINDOW");
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version("version");
    parser.addOptions({configDir, show, help, version});
    if (!parser.parse(args) || !parser.positionalArguments().isEmpty()) {
        std::cerr << "vantrell: "
                  << (parser.errorText().isEmpty()
                          ? "unexpected '" + parser.positionalArguments().front().toStdString() +
                                "'"
                          : parser.errorText().toStdString())
                  << "\n"
                  << usageLine << "(see vantrell --help)\n";
        return Parsed::refused;
    }
    if (parser.isSet(help))
        return Parsed::help;
    if (parser.isSet(version))
        return Parsed::version;
    if (parser.isSet(configDir))
        options.configDir = parser.value(configDir).toStdString();
    options.show = parser.value(show).toStdString();
    return Parsed::run;
}

// A memory half transferred, as a session shows it.
void showProgressSample(GuiStation &gui) {
    Station &station = gui.station();
    station.progress().openWindow();
    station.progress().transferSize(400);
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
        auto *setup = new DeviceSetupWindow(station, &main);
        setup->setAttribute(Qt::WA_DeleteOnClose);
        setup->openLogger(station.devices[1].serialNumber(1), 1, 1);
    } else if (window == "phonebook") {
        auto *phonebook = new PhoneBookWindow(station, &main);
        phonebook->setAttribute(Qt::WA_DeleteOnClose);
        phonebook->openPhonebook();
    } else if (window == "path") {
        auto *path = new FolderPicker(station, &main);
        path->setAttribute(Qt::WA_DeleteOnClose);
        path->show();
    } else if (window == "readings") {
        main.openReadings(1);
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
    const FolderChoice folder =
        desktopConfigFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    Options options{folder.folder, {}};
    switch (parseOptions(argc, argv, options)) {
    case Parsed::help:
        printHelp(usage, folder);
        return EXIT_SUCCESS;
    case Parsed::version:
        printVersion("vantrell");
        return EXIT_SUCCESS;
    case Parsed::refused:
        return 2;
    case Parsed::run:
        break;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vantrell");
    QApplication::setApplicationVersion(VANTRELL_VERSION);
    // The main window lives hidden; closing a dialog must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // A first start makes its folder; the lock then says whatever else is wrong with it.
    std::error_code ignored;
    std::filesystem::create_directories(options.configDir, ignored);
    FolderLock lock;
    if (const std::string refused = lock.take(options.configDir, commandLineOf(argc, argv));
        !refused.empty()) {
        std::cerr << printable(refused) << "\n";
        QMessageBox::critical(nullptr, QApplication::applicationName(),
                              QString::fromStdString(refused));
        return 2;
    }
    // As vantrelld's run: a vantrell.conf that cannot be used stops the station before it reads.
    const ConfRead conf = readConfFile(options.configDir);
    if (conf.problem) {
        const std::string problem = conf.problem->describe();
        std::cerr << printable(problem) << "\n";
        QMessageBox::critical(nullptr, QApplication::applicationName(),
                              QString::fromStdString(problem));
        return 2;
    }
    GuiStation gui(options.configDir, conf.settings);
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
        showWindow(gui, options.show);
    });
    splash.show();
    if (options.show != "splash")
        splash.start();
    return QApplication::exec();
}
