// vantrell-sim: a simulated station on a pseudo-terminal, for demos and end-to-end runs of the
// station program against loggers that behave (or misbehave) exactly as described.
#include "general/Clock.h"
#include "general/Text.h"
#include "sim/HayesModem.h"
#include "sim/PtyHost.h"
#include "sim/SimStation.h"

#include <getopt.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using namespace vantrell;
using namespace vantrell::sim;

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

constexpr int exitOk = 0;
constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

constexpr const char *usageLine =
    "usage: vantrell-sim [--link PATH] [--modem] [--switch] --logger KEYS [--logger KEYS]...\n";

void printHelp() {
    std::cout
        << usageLine
        << "                    [--fault NAME[:n]]... [--verbose]\n"
           "\n"
           "Simulates a measuring station on a pseudo-terminal: one logger on the line, or a\n"
           "line switch (--switch) with up to eight loggers behind it. The first line of the\n"
           "output is the terminal's device path; open it as the station's serial port.\n"
           "Runs until SIGINT or SIGTERM, then exits with 0.\n"
           "\n"
           "  --link PATH     also make a symbolic link PATH to the device (removed at exit)\n"
           "  --switch        put a line switch in front of the loggers\n"
           "  --modem         reach the station through a Hayes modem (AT commands, atdt...,\n"
           "                  CONNECT 9600 after a few seconds of dialling, +++ and ATH0);\n"
           "                  the modem faults below apply to it\n"
           "  --logger KEYS   one logger, described by comma-separated key=value pairs\n"
           "  --fault NAME[:n]  a fault for every logger, or for the switch\n"
           "  --verbose       log on stderr every byte heard and answered (hex), and every\n"
           "                  logger and switch event\n"
           "  --version       show the version\n"
           "\n"
           "Logger keys (defaults in brackets):\n"
        << loggerKeysHelp() << "\nFaults (n as given, or the default shown):\n";
    for (const auto &info : allFaults()) {
        std::string name(info.name);
        if (info.defaultCount > 0)
            name += ":" + std::to_string(info.defaultCount);
        std::cout << "  " << fitRight(name, 20) << info.help << "\n";
    }
    std::cout << "\nExample:\n"
                 "  vantrell-sim --switch --link /tmp/station \\\n"
                 "      --logger serial=1201KV0326,model=3,records=200,interval=600,position=1 \\\n"
                 "      --logger serial=1202YR0526,model=5,records=50,offset=1200,position=3\n"
                 "\n"
                 "Exit codes: 0 stopped by a signal, 1 the terminal failed, 2 bad arguments.\n";
}

struct Options {
    StationPlan plan;
    bool modem = false;
    std::string link;
    bool verbose = false;
    bool help = false;
    bool version = false;
};

// An empty text when the arguments make a station, else what is wrong.
std::string readOptions(int argc, char **argv, const LocalDateTime &now, Options &options) {
    enum { link = 256, logger, fault, modem, lineSwitch, verbose, version };
    static const option longOptions[] = {{"link", required_argument, nullptr, link},
                                         {"logger", required_argument, nullptr, logger},
                                         {"fault", required_argument, nullptr, fault},
                                         {"modem", no_argument, nullptr, modem},
                                         {"switch", no_argument, nullptr, lineSwitch},
                                         {"verbose", no_argument, nullptr, verbose},
                                         {"version", no_argument, nullptr, version},
                                         {"help", no_argument, nullptr, 'h'},
                                         {nullptr, 0, nullptr, 0}};
    // getopt_long's own message names what it refused; the caller adds the usage line.
    for (int c; (c = getopt_long(argc, argv, "h", longOptions, nullptr)) != -1;) {
        switch (c) {
        case 'h':
            options.help = true;
            return {};
        case version:
            options.version = true;
            return {};
        case lineSwitch:
            options.plan.withSwitch = true;
            break;
        case modem:
            options.modem = true;
            break;
        case verbose:
            options.verbose = true;
            break;
        case link:
            options.link = optarg;
            break;
        case logger: {
            auto result = readLoggerText(optarg, now);
            if (!result.plan)
                return "--logger " + std::string(optarg) + ": " + result.error;
            options.plan.loggers.push_back(std::move(*result.plan));
            break;
        }
        case fault: {
            const auto parsed = parseFault(optarg);
            if (!parsed)
                return "unknown fault: " + std::string(optarg);
            options.plan.faults.push_back(*parsed);
            break;
        }
        default:
            return "bad arguments";
        }
    }
    if (optind < argc)
        return "unexpected '" + std::string(argv[optind]) + "'";
    return completePlan(options.plan);
}

std::string hexBytes(std::string_view bytes) {
    std::string out;
    for (unsigned char b : bytes)
        out += (out.empty() ? "" : " ") + hex2(b);
    return out;
}

void logLine(const std::string &text) {
    std::cerr << "SIM: " << text << std::endl;
}

void traceEverything(PtyHost &host, SimStation &station) {
    host.onTraffic([](Direction direction, std::string_view bytes) {
        constexpr std::size_t perLine = 32;
        for (std::size_t at = 0; at < bytes.size(); at += perLine)
            logLine((direction == Direction::toDevice ? "<= " : "=> ") +
                    hexBytes(bytes.substr(at, perLine)));
    });
    for (int position : station.positions())
        station.loggerAt(position)->onEvent([position](const LoggerEvent &event) {
            logLine("logger " + std::to_string(position) + ": " + describe(event));
        });
    if (station.lineSwitch() != nullptr)
        station.lineSwitch()->onEvent(
            [](const SwitchEvent &event) { logLine("switch: " + describe(event)); });
}

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no restart: the signal cuts the host's poll short
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int main(int argc, char **argv) {
    const LocalDateTime now = SystemClock().localNow();
    Options options;
    const std::string error = readOptions(argc, argv, now, options);
    if (options.help) {
        printHelp();
        return exitOk;
    }
    if (options.version) {
        std::cout << "vantrell-sim " << VANTRELL_VERSION << "\n";
        return exitOk;
    }
    if (!error.empty()) {
        std::cerr << "vantrell-sim: " << error << "\n"
                  << usageLine << "(see vantrell-sim --help)\n";
        return exitUsage;
    }

    World world(now);
    SimStation station(world, options.plan);
    std::unique_ptr<HayesModem> modem;
    if (options.modem) {
        std::vector<Fault> modemFaults;
        for (const Fault &fault : options.plan.faults)
            if (isModemFault(fault.kind))
                modemFaults.push_back(fault);
        modem = std::make_unique<HayesModem>(world, station.front(), modemFaults);
        // A call is answered after a short ring, so that demos do not wait.
        modem->dialDelay = 3.0;
        if (options.verbose)
            modem->onEvent([](const ModemEvent &event) { logLine("modem: " + describe(event)); });
    }
    PtyHost host(world, modem ? static_cast<Device &>(*modem) : station.front());
    if (const auto failed = host.open(); !failed.empty()) {
        std::cerr << "vantrell-sim: " << failed << "\n";
        return exitFailure;
    }
    if (!options.link.empty()) {
        if (const auto failed = host.makeLink(options.link); !failed.empty()) {
            std::cerr << "vantrell-sim: " << failed << "\n";
            return exitFailure;
        }
    }
    std::cout << host.slavePath() << std::endl;
    if (options.verbose)
        traceEverything(host, station);
    catchStopSignals();
    host.serve(stopRequested);
    return stopRequested != 0 ? exitOk : exitFailure;
}
