// vantrelld: the station without a screen, for servers and for commissioning.
#include "FolderLock.h"
#include "HeadlessStation.h"
#include "Probe.h"
#include "config/Templates.h"

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace vantrell;

constexpr const char *usage = R"(Usage: vantrelld [--config-dir DIR] [--log-io] COMMAND [OPTIONS]

The unattended communication station for data loggers, without a screen.

Commands:
  init                Installs the configuration templates into the configuration folder.
                      Files that exist are never overwritten.
  run                 Runs the scheduled cycle until SIGTERM or SIGINT, which end it cleanly:
                      a running session is abandoned safely (logger and switch released,
                      modem hung up, marks written). Exit 0.
  read DEVICE [--slot S]
                      Reads device DEVICE (1..50) now, as for schedule time S (1..4, default
                      1), and writes its done mark. The last line is "status: <letter>"
                      ("status: none" when no letter was written). Exit 0 for "X", 1 for any
                      other outcome.
  status              Shows the schedule times, the schedule day, every configured device with
                      its marks, and the countdown to the next connection. It only reads: it
                      runs beside a station that is running on the same folder.
  probe [--port N] [--switch] [--logger K]
                      Wakes logger K (default 1) on port N (default 1), through the line
                      switch when --switch is given, reads its clock and parameter block and
                      prints what it found. Changes nothing in the logger.

Options:
  --config-dir DIR    The configuration folder (default: the program's own folder).
                      Port N is the device named by comports.xml there (default /dev/ttyS<N-1>).
  --log-io            Logs every byte sent and received, in hex.
  --help              Shows this text.

Every progress text of the station is a timestamped line on standard output.

run, read and probe hold the configuration folder for as long as they run (the file
vantrell.lock there names the holder): a second one on the same folder is refused. A
session holds its line's device, and an SMS its modem's device, against every other program.

Exit codes: 0 success; 1 the station did not answer as it should; 2 usage or configuration
error, found before anything was read: an unusable device table (prop.xml), a configuration
folder that cannot be written, or one held by another program.
)";

struct Options {
    std::filesystem::path configDir = programFolder();
    bool logIo = false;
    std::string command;
    std::vector<std::string> arguments;
    std::string commandLine; // as started, for the folder lock
};

std::optional<Options> parseOptions(int argc, char **argv) {
    Options options;
    options.commandLine = commandLineOf(argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--config-dir" && i + 1 < argc)
            options.configDir = argv[++i];
        else if (arg == "--log-io")
            options.logIo = true;
        else if (arg == "--help" || arg == "-h")
            return std::nullopt;
        else if (options.command.empty())
            options.command = arg;
        else
            options.arguments.push_back(arg);
    }
    if (options.command.empty())
        return std::nullopt;
    return options;
}

std::optional<int> wholeNumber(const std::string &text, int low, int high) {
    try {
        std::size_t used = 0;
        const int n = std::stoi(text, &used);
        if (used == text.size() && n >= low && n <= high)
            return n;
    } catch (const std::exception &) {
    }
    return std::nullopt;
}

// False (after saying who has it) when another program holds the folder.
bool takeFolder(FolderLock &lock, const Options &options) {
    const std::string refused = lock.take(options.configDir, options.commandLine);
    if (!refused.empty())
        std::cerr << printable(refused) << "\n";
    return refused.empty();
}

int runInit(const Options &options) {
    const TemplateInstall result = installTemplates(options.configDir);
    for (const auto &name : result.written)
        std::cout << "installed " << (options.configDir / name).string() << "\n";
    for (const auto &failure : result.failures)
        std::cerr << describe(failure) << "\n";
    if (result.written.empty() && result.failures.empty())
        std::cout << "every configuration file is already there\n";
    return result.failures.empty() ? EXIT_SUCCESS : 2;
}

int runCycle(const Options &options) {
    if (!options.arguments.empty()) {
        std::cerr << "run: unexpected '" << options.arguments.front() << "'\n";
        return 2;
    }
    FolderLock lock;
    if (!takeFolder(lock, options))
        return 2;
    HeadlessStation headless(options.configDir, options.logIo);
    if (!headless.loadConfiguration())
        return 2;
    stopOnTerminationSignals();
    headless.runCycle();
    return EXIT_SUCCESS;
}

int runRead(const Options &options) {
    const auto &args = options.arguments;
    std::optional<int> device;
    int time = 1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--slot" && i + 1 < args.size()) {
            const auto s = wholeNumber(args[++i], 1, scheduleTimeCount);
            if (!s) {
                std::cerr << "read: the schedule time is 1, 2, 3 or 4\n";
                return 2;
            }
            time = *s;
        } else if (!device) {
            device = wholeNumber(args[i], 1, maxDevices);
            if (!device) {
                std::cerr << "read: the device is a number from 1 to 50\n";
                return 2;
            }
        } else {
            std::cerr << "read: unexpected '" << args[i] << "'\n";
            return 2;
        }
    }
    if (!device) {
        std::cerr << "read: which device?\n" << usage;
        return 2;
    }
    FolderLock lock;
    if (!takeFolder(lock, options))
        return 2;
    HeadlessStation headless(options.configDir, options.logIo);
    if (!headless.loadConfiguration())
        return 2;
    if (headless.station().devices[*device].isFree()) {
        std::cerr << "read: device " << *device << " is not configured\n";
        return 2;
    }
    stopOnTerminationSignals();
    const std::string letter = headless.readDevice(*device, time);
    std::cout << "status: " << (letter.empty() ? "none" : letter) << std::endl;
    return isDoneMark(letter) ? EXIT_SUCCESS : 1;
}

int runStatus(const Options &options) {
    HeadlessStation headless(options.configDir, false);
    if (!headless.readConfiguration())
        return 2;
    headless.printStatus(std::cout);
    return EXIT_SUCCESS;
}

int runProbe(const Options &options) {
    ProbeRequest request;
    const auto &args = options.arguments;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::optional<int> n;
        if (args[i] == "--switch") {
            request.throughSwitch = true;
            continue;
        }
        if ((args[i] == "--port" || args[i] == "--logger") && i + 1 < args.size())
            n = wholeNumber(args[i + 1], 1, args[i] == "--port" ? 255 : 8);
        if (!n) {
            std::cerr << "probe: unexpected '" << args[i] << "'\n" << usage;
            return 2;
        }
        (args[i] == "--port" ? request.portNumber : request.logger) = *n;
        ++i;
    }
    FolderLock lock;
    if (!takeFolder(lock, options))
        return 2;
    HeadlessStation headless(options.configDir, options.logIo);
    return probeLogger(headless.station(), request, std::cout) ? EXIT_SUCCESS : 1;
}

} // namespace

int main(int argc, char **argv) {
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::cout << usage;
        return argc > 1 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") ? 0
                                                                                              : 2;
    }
    if (options->command == "init")
        return runInit(*options);
    if (options->command == "probe")
        return runProbe(*options);
    if (options->command == "run")
        return runCycle(*options);
    if (options->command == "read")
        return runRead(*options);
    if (options->command == "status")
        return runStatus(*options);
    std::cerr << "unknown command '" << options->command << "'\n" << usage;
    return 2;
}
