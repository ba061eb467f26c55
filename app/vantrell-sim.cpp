// vantrell-sim: a simulated station on a pseudo-terminal, for demos and end-to-end runs of the
// station program against loggers that behave (or misbehave) exactly as described.
#include "general/Clock.h"
#include "general/Text.h"
#include "sim/HayesModem.h"
#include "sim/PtyHost.h"
#include "sim/SimStation.h"

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

void printHelp() {
    std::cout
        << "usage: vantrell-sim [--link PATH] [--modem] [--switch] --logger KEYS [--logger "
           "KEYS]...\n"
           "                    [--fault NAME[:n]]... [--verbose]\n"
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
};

// An empty text when the arguments make a station, else what is wrong.
std::string readOptions(int argc, char **argv, const LocalDateTime &now, Options &options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return {};
        }
        if (arg == "--switch") {
            options.plan.withSwitch = true;
        } else if (arg == "--modem") {
            options.modem = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--link" && hasValue) {
            options.link = argv[++i];
        } else if (arg == "--logger" && hasValue) {
            auto result = readLoggerText(argv[++i], now);
            if (!result.plan)
                return "--logger " + std::string(argv[i]) + ": " + result.error;
            options.plan.loggers.push_back(std::move(*result.plan));
        } else if (arg == "--fault" && hasValue) {
            const auto fault = parseFault(argv[++i]);
            if (!fault)
                return "unknown fault: " + std::string(argv[i]);
            options.plan.faults.push_back(*fault);
        } else {
            return "unknown or incomplete argument: " + std::string(arg);
        }
    }
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
    if (!error.empty()) {
        std::cerr << "vantrell-sim: " << error << "\n(see vantrell-sim --help)\n";
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
