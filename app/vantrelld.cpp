// vantrelld: the station without a screen, for servers and for commissioning.
#include "CommandLine.h"
#include "ConfigFolder.h"
#include "ControlSocket.h"
#include "FolderLock.h"
#include "HeadlessStation.h"
#include "Probe.h"
#include "ProgramEnvironment.h"
#include "ReadingsExport.h"
#include "ServiceManager.h"
#include "StationCommands.h"
#include "config/ConfFile.h"
#include "config/Templates.h"
#include "cycle/StatusReport.h"

#include <getopt.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace vantrell;

constexpr const char *usageLine =
    "Usage: vantrelld [--config-dir DIR] [--log-io] [--quiet] COMMAND [OPTIONS]\n";

constexpr const char *usage =
    R"usage(Usage: vantrelld [--config-dir DIR] [--log-io] [--quiet] COMMAND [OPTIONS]

The unattended communication station for data loggers, without a screen.

Commands:
  init                Installs the configuration templates into the configuration folder.
                      Files that exist are never overwritten.
  run                 Runs the scheduled cycle until SIGTERM or SIGINT, which end it cleanly:
                      a running session is abandoned safely (logger and switch released,
                      modem hung up, marks written). Exit 0. SIGHUP reads the configuration
                      again between sessions. An empty folder first gets the templates, as
                      with init. Configured data folders that cannot be written are named
                      at start.
  read DEVICE [--slot S]
                      Reads device DEVICE (1..50) now, as for schedule time S (1..4, default
                      1), and writes its done mark. The last line is "status: <letter>"
                      ("status: none" when no letter was written). Exit 0 for "X", 1 for any
                      other outcome.
  status [--json]     Shows the schedule times, the schedule day, every configured device with
                      its marks, and the countdown to the next connection. It only reads: it
                      runs beside a station that is running on the same folder. The first
                      line names the folder it read. With the journal on (vantrell.conf), it
                      adds per active device the last session, the last good read and the
                      schedule times missed in a row, and the outbox; "journal: unavailable
                      (<reason>)" when the journal cannot be read at once. Exit 0 when every
                      active device's last session left "X" and the outbox is empty, else 1.
                      --json prints one JSON object instead (log lines go to standard error):
                        {"folder", "schedule": {"times": [4 x "hh:mm"|null], "day",
                         "done": [4 x mark|null]}, "countdown": {"hours","minutes"}|null,
                         "journal": {"state": "off"|"ok"|"unavailable", "reason"},
                         "devices": [{"device", "description", "connection", "active",
                           "marks": [{"time","scheduled","mark"}], "last_session": {"start",
                           "end", "letter", "words", "records", "data_file"}|null,
                           "last_good_read", "missed_times"}],
                         "outbox": {"pending", "oldest", "oldest_delivery": {"kind",
                           "device", "recipient", "what", "tries", "last_error"}|null}|null}
                      Times are ISO 8601 local times with their offset. The journal's fields
                      are null while it is off or unavailable.
  export [--format csv|json] [--device N] [--serial S] [--since T] [--until T]
                      Writes the journal's readings to standard output as they are read, the
                      oldest first: CSV (default) with the header
                      time_utc,time_local,device,serial,channel,name,unit,value, or JSON: one
                      array with one reading object per line, with the same names ("value"
                      null for a missing reading). --device and --serial keep one device's or
                      one logger's readings; --since (inclusive) and --until (exclusive) take
                      ISO 8601 times: 2026-03-29, 2026-03-29T01:30, 2026-03-29T01:30:00Z or
                      with +hh:mm (without an offset, the station's local time). It only
                      reads, beside a running station. Exit 1 when the journal is off or
                      cannot be read.
  device list         The configured devices: number, active or inactive, connection, description.
  device show N       Device N's fields as "key = value", each after a comment line saying
                      what it means; the lines can be given back to device set.
  device set N KEY=VALUE...
                      Changes device N's fields. Every value is checked as the properties
                      dialog checks it, with its messages; a refusal stores nothing (exit 2).
  device remove N     Empties device N as the dialog's delete does.
  line set DEVICE [--sms DEVICE]
                      The line's serial device (port 1), and the SMS modem's (port 2; without
                      --sms the modem shares the line's port): comports.xml, port.crs and
                      MDMport.crs together.
  schedule set I HOUR|off
                      Schedule time I (1..4) at HOUR:00 (0..23), or not set. Times stay in
                      order, without gaps.
  probe [--port N] [--switch] [--logger K]
                      Wakes logger K (default 1) on port N (default 1), through the line
                      switch when --switch is given, reads its clock and parameter block and
                      prints what it found. Changes nothing in the logger.

Options:
  --config-dir DIR    The configuration folder. Without it: $VANTRELL_CONFIG_DIR, else
                      /var/lib/vantrell when the program is installed system-wide (in
                      /usr/bin), else the program's own folder.
                      Port N is the device named by comports.xml there (default /dev/ttyS<N-1>).
  --log-io            Logs every byte sent and received, in hex.
  --quiet             Logs only warnings and errors.
  --version           Shows the version.
  --help              Shows this text.

Every progress text of the station is a timestamped line on standard output, tagged with the
part of the station it comes from ([station], [config], [report], [journal], ...). When
standard output is the journal, lines carry a syslog priority instead of the time: <3> errors,
<4> warnings, <6> progress, <7> the bytes of --log-io.

run, read, probe and the changes of device, line and schedule hold the configuration folder
while they run (the file vantrell.lock there names the holder). Beside a running run, read,
status and those changes are sent to it through its socket vantrelld.sock (in
$RUNTIME_DIRECTORY under systemd, linked from the configuration folder): it reads the device
as soon as its current session ends, and applies changes between sessions. Any other second
program on the folder is refused. A
session holds its line's device, and an SMS its modem's device, against every other program.

Exit codes: 0 success; 1 the station did not answer as it should; 2 usage or configuration
error, found before anything was read: an unusable device table (prop.xml), a damaged
vantrell.conf, a configuration folder that cannot be written, or one held by another
program; for run also a port whose device refuses this user while a device is active (the
message names the device's owner, group and mode).
)usage";

struct Options {
    std::filesystem::path configDir;
    bool logIo = false;
    LogStyle style;
    std::string command;
    std::vector<std::string> arguments;
    std::optional<std::string> slot, port, logger;
    bool throughSwitch = false;
    bool json = false;
    std::optional<std::string> format, device, serial, since, until;
    std::optional<std::string> sms;
    std::string commandLine;        // as started, for the folder lock
    std::vector<std::string> given; // the arguments as given, for a running station to run
    std::string folderReason;       // why the configuration folder is the one it is
};

// The journal passes its stream's device and inode; a program started from a shell inside a
// service inherits the variable but not the stream.
bool outputIsJournal() {
    const char *stream = std::getenv("JOURNAL_STREAM");
    struct stat out {};
    if (stream == nullptr || ::fstat(STDOUT_FILENO, &out) != 0)
        return false;
    return std::string(stream) == std::to_string(out.st_dev) + ":" + std::to_string(out.st_ino);
}

Parsed parseOptions(int argc, char **argv, Options &options) {
    enum {
        configDir = 256,
        logIo,
        quiet,
        version,
        slot,
        port,
        logger,
        throughSwitch,
        json,
        format,
        device,
        serial,
        since,
        until,
        sms
    };
    static const option longOptions[] = {{"config-dir", required_argument, nullptr, configDir},
                                         {"log-io", no_argument, nullptr, logIo},
                                         {"quiet", no_argument, nullptr, quiet},
                                         {"help", no_argument, nullptr, 'h'},
                                         {"version", no_argument, nullptr, version},
                                         {"slot", required_argument, nullptr, slot},
                                         {"port", required_argument, nullptr, port},
                                         {"logger", required_argument, nullptr, logger},
                                         {"switch", no_argument, nullptr, throughSwitch},
                                         {"json", no_argument, nullptr, json},
                                         {"format", required_argument, nullptr, format},
                                         {"device", required_argument, nullptr, device},
                                         {"serial", required_argument, nullptr, serial},
                                         {"since", required_argument, nullptr, since},
                                         {"until", required_argument, nullptr, until},
                                         {"sms", required_argument, nullptr, sms},
                                         {nullptr, 0, nullptr, 0}};
    options.commandLine = commandLineOf(argc, argv);
    options.given.assign(argv + 1, argv + argc);
    optind = 0; // a running station parses the command lines of its requests as well
    for (int c; (c = getopt_long(argc, argv, "h", longOptions, nullptr)) != -1;) {
        switch (c) {
        case configDir:
            options.configDir = optarg;
            options.folderReason = "from --config-dir";
            break;
        case logIo:
            options.logIo = true;
            break;
        case quiet:
            options.style.quiet = true;
            break;
        case 'h':
            return Parsed::help;
        case version:
            return Parsed::version;
        case slot:
            options.slot = optarg;
            break;
        case port:
            options.port = optarg;
            break;
        case logger:
            options.logger = optarg;
            break;
        case throughSwitch:
            options.throughSwitch = true;
            break;
        case json:
            options.json = true;
            break;
        case format:
            options.format = optarg;
            break;
        case device:
            options.device = optarg;
            break;
        case serial:
            options.serial = optarg;
            break;
        case since:
            options.since = optarg;
            break;
        case until:
            options.until = optarg;
            break;
        case sms:
            options.sms = optarg;
            break;
        default: // getopt_long has said what is wrong
            return Parsed::refused;
        }
    }
    if (optind >= argc) {
        std::cerr << "vantrelld: which command?\n";
        return Parsed::refused;
    }
    options.command = argv[optind];
    options.arguments.assign(argv + optind + 1, argv + argc);
    const bool readOptions = options.slot.has_value();
    const bool probeOptions = options.port || options.logger || options.throughSwitch;
    const bool exportOptions =
        options.format || options.device || options.serial || options.since || options.until;
    const bool changes =
        options.command == "device" || options.command == "line" || options.command == "schedule";
    const std::size_t mostArguments = changes                     ? options.arguments.size()
                                      : options.command == "read" ? 1
                                                                  : 0;
    if ((readOptions && options.command != "read") || (options.sms && options.command != "line") ||
        (probeOptions && options.command != "probe") ||
        (options.json && options.command != "status") ||
        (exportOptions && options.command != "export")) {
        std::cerr << "vantrelld: " << options.command << " takes no such option\n";
        return Parsed::refused;
    }
    if (options.arguments.size() > mostArguments) {
        std::cerr << "vantrelld: " << options.command << ": unexpected '"
                  << options.arguments[mostArguments] << "'\n";
        return Parsed::refused;
    }
    return Parsed::run;
}

// A line of the program's own before the station's log starts: under the journal it carries its
// priority and subsystem like every log line; a terminal shows the text alone.
std::ostream &said(std::ostream &out, const Options &options, std::string_view subsystem,
                   LogPriority priority) {
    if (options.style.journal)
        out << "<" << static_cast<int>(priority) << ">[" << subsystem << "] ";
    return out;
}

// An error on standard error, which the journal reads as well.
std::ostream &error(const Options &options, std::string_view subsystem = "config") {
    return said(std::cerr, options, subsystem, LogPriority::error);
}

// vantrell.conf's settings; nothing (after saying where the file is wrong) when it cannot be used.
std::optional<ConfSettings> stationSettings(const Options &options) {
    ConfRead conf = readConfFile(options.configDir);
    if (conf.problem) {
        error(options) << printable(conf.problem->describe()) << "\n";
        return std::nullopt;
    }
    return std::move(conf.settings);
}

// False (after saying who has it) when another program holds the folder.
bool takeFolder(FolderLock &lock, const Options &options) {
    const std::string refused = lock.take(options.configDir, options.commandLine);
    if (!refused.empty())
        error(options, "station") << printable(refused) << "\n";
    return refused.empty();
}

int runInit(const Options &options) {
    const TemplateInstall result = installTemplates(options.configDir);
    for (const auto &name : result.written)
        said(std::cout, options, "config", LogPriority::progress)
            << "installed " << (options.configDir / name).string() << "\n";
    for (const auto &failure : result.failures)
        error(options) << describe(failure) << "\n";
    if (result.written.empty() && result.failures.empty())
        said(std::cout, options, "config", LogPriority::progress)
            << "every configuration file is already there\n";
    return result.failures.empty() ? EXIT_SUCCESS : 2;
}

bool isEmptyFolder(const std::filesystem::path &folder) {
    std::error_code ec;
    return std::filesystem::is_empty(folder, ec) && !ec;
}

int serveRequest(HeadlessStation &headless, const Options &station, const ConfSettings &settings,
                 const std::vector<std::string> &given, std::ostream &out, std::ostream &err);

int runCycle(const Options &options) {
    // A fresh service starts on an empty state folder; it gets the templates as init gives them.
    if (isEmptyFolder(options.configDir) && runInit(options) != EXIT_SUCCESS)
        return 2;
    FolderLock lock;
    if (!takeFolder(lock, options))
        return 2;
    const std::optional<ConfSettings> settings = stationSettings(options);
    if (!settings)
        return 2;
    HeadlessStation headless(options.configDir, options.logIo, options.style, *settings);
    if (!headless.loadConfiguration() || !headless.portsPermitted())
        return 2;
    stopOnTerminationSignals();
    reloadOnHangup();
    SystemClock clock;
    Watchdog watchdog(clock, service::watchdogSeconds(), service::keepAlive);
    headless.onLoop([&watchdog] { watchdog.feed(); });
    headless.onRequest(
        [&](const std::vector<std::string> &given, std::ostream &out, std::ostream &err) {
            return serveRequest(headless, options, *settings, given, out, err);
        });
    headless.runCycle();
    return EXIT_SUCCESS;
}

// What a running station answers when asked: nothing when none runs on the folder.
std::optional<int> askRunning(const Options &options) {
    return askRunningStation(options.configDir, options.given, std::cout, std::cerr);
}

// Nothing when the folder is this program's now; else the exit code of the station running on
// it, which was asked to do the command (a read as soon as its session ends, a change between
// sessions), or 2 after saying who else holds it.
std::optional<int> takeFolderOrAsk(FolderLock &lock, const Options &options) {
    const std::string refused = lock.take(options.configDir, options.commandLine);
    if (refused.empty())
        return std::nullopt;
    if (const std::optional<int> answer = askRunning(options))
        return answer;
    error(options, "station") << printable(refused) << "\n";
    return 2;
}

struct ReadRequest {
    int device = 0;
    int time = 1;
};

// The device and schedule time read asks for; nothing (after saying why) for a wrong one.
std::optional<ReadRequest> readRequest(const Options &options, std::ostream &err) {
    ReadRequest request;
    if (options.slot) {
        const auto s = wholeNumber(*options.slot, 1, scheduleTimeCount);
        if (!s) {
            err << "read: the schedule time is 1, 2, 3 or 4\n";
            return std::nullopt;
        }
        request.time = *s;
    }
    if (options.arguments.empty()) {
        err << "read: which device?\n" << usageLine;
        return std::nullopt;
    }
    const auto device = wholeNumber(options.arguments.front(), 1, maxDevices);
    if (!device) {
        err << "read: the device is a number from 1 to 50\n";
        return std::nullopt;
    }
    request.device = *device;
    return request;
}

// One reading session as read asks for it; its lines and "status: L" go to `out` as well. A read
// of its own waits for its session's hooks first, so that the status stays the last line; the
// running station's never waits for them.
int readNow(HeadlessStation &headless, const ReadRequest &request, std::ostream &out,
            std::ostream &err, bool awaitHooks) {
    if (headless.station().devices[request.device].isFree()) {
        err << "read: device " << request.device << " is not configured\n";
        return 2;
    }
    const std::string letter = headless.readDevice(request.device, request.time);
    if (awaitHooks)
        headless.awaitHooks();
    out << "status: " << (letter.empty() ? "none" : letter) << std::endl;
    return isDoneMark(letter) ? EXIT_SUCCESS : 1;
}

int runRead(const Options &options) {
    const std::optional<ReadRequest> request = readRequest(options, std::cerr);
    if (!request)
        return 2;
    FolderLock lock;
    if (const std::optional<int> answered = takeFolderOrAsk(lock, options))
        return *answered;
    const std::optional<ConfSettings> settings = stationSettings(options);
    if (!settings)
        return 2;
    HeadlessStation headless(options.configDir, options.logIo, options.style, *settings);
    if (!headless.loadConfiguration())
        return 2;
    stopOnTerminationSignals();
    headless.startPublisher();
    const int exit = readNow(headless, *request, std::cout, std::cerr, true);
    headless.awaitPublished();
    return exit;
}

int changeStation(Station &station, const Options &options, std::ostream &out, std::ostream &err) {
    StationCommands commands(station, out, err);
    if (options.command == "device")
        return commands.device(options.arguments);
    if (options.command == "line")
        return commands.line(options.arguments, options.sms);
    return commands.schedule(options.arguments);
}

// device, line and schedule: list and show only look, beside a running station; every change
// holds the folder while it stores.
int runChange(const Options &options) {
    const std::vector<std::string> &arguments = options.arguments;
    const bool looks = options.command == "device" && !arguments.empty() &&
                       (arguments.front() == "list" || arguments.front() == "show");
    FolderLock lock;
    if (!looks)
        if (const std::optional<int> answered = takeFolderOrAsk(lock, options))
            return *answered;
    HeadlessStation headless(options.configDir, false, options.style);
    if (!(looks ? headless.readConfiguration() : headless.loadConfiguration()))
        return 2;
    return changeStation(headless.station(), options, std::cout, std::cerr);
}

// While it lives, what the station logs on standard output goes to standard error: standard
// output carries one JSON object and nothing else.
class LogToStandardError {
public:
    LogToStandardError() : output_(std::cout.rdbuf(std::cerr.rdbuf())) {}
    ~LogToStandardError() { std::cout.rdbuf(output_); }
    LogToStandardError(const LogToStandardError &) = delete;
    LogToStandardError &operator=(const LogToStandardError &) = delete;
    std::streambuf *output() const { return output_; }

private:
    std::streambuf *output_;
};

// The status of the station `headless` holds, as status prints it after its first line.
int reportStatus(HeadlessStation &headless, const Options &options, const ConfSettings &settings,
                 std::ostream &out) {
    const std::vector<int> active = headless.activeDevices();
    const JournalView view =
        readJournalView(options.configDir, settings, headless.configuredDevices());
    if (options.json) {
        nlohmann::ordered_json status = {{"folder", options.configDir.string()}};
        status.update(headless.statusJson());
        addJournalView(status, view);
        out << status.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    } else {
        headless.printStatus(out);
        printJournalView(out, view, active, std::time(nullptr));
    }
    return allWell(view, active) ? EXIT_SUCCESS : 1;
}

// A running station answers from what it holds; without one, the files do.
int runStatus(const Options &options) {
    if (!options.json)
        std::cout << "configuration folder: " << printable(options.configDir.string()) << " ("
                  << options.folderReason << ")\n";
    if (const std::optional<int> answer = askRunning(options))
        return *answer;
    std::optional<LogToStandardError> logToError;
    if (options.json)
        logToError.emplace();
    HeadlessStation headless(options.configDir, false, options.style);
    if (!headless.readConfiguration())
        return 2;
    const auto settings = stationSettings(options);
    if (!settings)
        return 2;
    std::ostream out(options.json ? logToError->output() : std::cout.rdbuf());
    return reportStatus(headless, options, *settings, out);
}

// A request of another vantrelld beside the running station: what that command would have done on
// the folder, done by the station that holds it, on the folder it holds.
int serveRequest(HeadlessStation &headless, const Options &station, const ConfSettings &settings,
                 const std::vector<std::string> &given, std::ostream &out, std::ostream &err) {
    std::vector<std::string> words{"vantrelld"};
    words.insert(words.end(), given.begin(), given.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    Options asked;
    optind = 0;
    if (parseOptions(int(words.size()), argv.data(), asked) != Parsed::run) {
        err << "vantrelld: no request the running station answers\n";
        return 2;
    }
    asked.configDir = station.configDir;
    if (asked.command == "read") {
        const std::optional<ReadRequest> request = readRequest(asked, err);
        if (!request)
            return 2;
        headless.copyLogTo(&out);
        const int exit = readNow(headless, *request, out, err, false);
        headless.copyLogTo(nullptr);
        return exit;
    }
    if (asked.command == "status")
        return reportStatus(headless, asked, settings, out);
    if (asked.command == "device" || asked.command == "line" || asked.command == "schedule")
        return changeStation(headless.station(), asked, out, err);
    err << "vantrelld: " << asked.command << " is not asked of a running station\n";
    return 2;
}

// The filters of export; nothing (after saying which one is wrong) for a bad one.
std::optional<ReadingFilter> readingFilter(const Options &options) {
    ReadingFilter filter;
    if (options.device) {
        filter.device = wholeNumber(*options.device, 1, maxDevices);
        if (!filter.device) {
            std::cerr << "export: the device is a number from 1 to 50\n";
            return std::nullopt;
        }
    }
    filter.serial = options.serial;
    const auto time = [](const std::optional<std::string> &text, const char *option,
                         std::optional<UtcSeconds> &into) {
        if (!text)
            return true;
        into = parseIso(*text);
        if (!into)
            std::cerr << "export: " << option << " '" << printable(*text)
                      << "' is no ISO 8601 time (2026-03-29, 2026-03-29T01:30, "
                         "2026-03-29T01:30:00Z, 2026-03-29T03:30:00+02:00)\n";
        return into.has_value();
    };
    if (!time(options.since, "--since", filter.since) ||
        !time(options.until, "--until", filter.until))
        return std::nullopt;
    return filter;
}

int runExport(const Options &options) {
    const auto format = exportFormatNamed(options.format.value_or("csv"));
    if (!format) {
        std::cerr << "export: the format is csv or json\n" << usageLine;
        return 2;
    }
    const auto filter = readingFilter(options);
    if (!filter)
        return 2;
    const auto settings = stationSettings(options);
    if (!settings)
        return 2;
    if (!settings->journalOn()) {
        error(options, "journal") << "export: the journal is off (no [journal] section in "
                                  << files::stationConf << ")\n";
        return 1;
    }
    std::unique_ptr<Journal> journal;
    JournalProblem problem = Journal::open(options.configDir / settings->journalSettings().file,
                                           Journal::Access::readOnly, journal);
    if (!problem)
        problem = exportReadings(*journal, *filter, *format, std::cout);
    std::cout.flush();
    if (problem) {
        error(options, "journal") << "export: journal unavailable (" << printable(problem.text)
                                  << ")\n";
        return 1;
    }
    return EXIT_SUCCESS;
}

int runProbe(const Options &options) {
    ProbeRequest request;
    request.throughSwitch = options.throughSwitch;
    const auto take = [](const std::optional<std::string> &text, int highest, int &into) {
        if (!text)
            return true;
        const auto n = wholeNumber(*text, 1, highest);
        if (!n)
            std::cerr << "probe: unexpected '" << *text << "'\n" << usageLine;
        into = n.value_or(into);
        return n.has_value();
    };
    if (!take(options.port, 255, request.portNumber) || !take(options.logger, 8, request.logger))
        return 2;
    FolderLock lock;
    if (!takeFolder(lock, options))
        return 2;
    HeadlessStation headless(options.configDir, options.logIo, options.style);
    return probeLogger(headless.station(), request, std::cout) ? EXIT_SUCCESS : 1;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    const FolderChoice folder = daemonConfigFolder(std::getenv(configDirVariable), programFolder());
    options.configDir = folder.folder;
    options.folderReason = folder.reason;
    options.style.journal = outputIsJournal();
    switch (parseOptions(argc, argv, options)) {
    case Parsed::help:
        printHelp(usage, folder);
        return EXIT_SUCCESS;
    case Parsed::version:
        printVersion("vantrelld");
        return EXIT_SUCCESS;
    case Parsed::refused:
        std::cerr << usageLine << "(see vantrelld --help)\n";
        return 2;
    case Parsed::run:
        break;
    }
    if (options.command == "init")
        return runInit(options);
    if (options.command == "probe")
        return runProbe(options);
    if (options.command == "run")
        return runCycle(options);
    if (options.command == "read")
        return runRead(options);
    if (options.command == "status")
        return runStatus(options);
    if (options.command == "export")
        return runExport(options);
    if (options.command == "device" || options.command == "line" || options.command == "schedule")
        return runChange(options);
    std::cerr << "vantrelld: unknown command '" << options.command << "'\n"
              << usageLine << "(see vantrelld --help)\n";
    return 2;
}
