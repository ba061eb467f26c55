// Things that go wrong on a real line, each with a name, so that tests, the demo and the
// command-line simulator all ask for the same trouble in the same words ("wrongWake:3").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::sim {

enum class FaultKind {
    silent,            // the logger answers nothing at all
    wrongWake,         // the first n wake-ups are answered with a wrong character
    emptyParameters,   // no answer to the parameter request
    cutShort,          // parameter block and clock answer stop after k characters, no CR
    noise,             // n random bytes (seeded) before every answer
    stopsAfterRecord,  // the memory transfer stops after record k
    garbledRecord,     // record k goes out one byte short
    silentSwitch,      // the line switch answers nothing at all
    emptyModuleStatus, // the switch answers its status request with a bare CR
    modemSilent,       // the modem answers nothing at all
    modemStopsAfter,   // the modem answers the first n commands, then nothing
    modemBusy,         // the dialled number is busy
    modemNoCarrier,    // the call is not answered: NO CARRIER
    modemNoDialAnswer, // the modem says nothing after the dial command
    modemInitError,    // the modem answers its initialisation strings with ERROR
    smsRefused,        // the GSM modem answers the next n messages with ERROR
};

struct Fault {
    FaultKind kind = FaultKind::silent;
    int count = 0; // n or k of the scenario; ignored where it has none

    bool operator==(const Fault &) const = default;
};

// Every scenario, in the order of the enum, with its name and its count when none is given.
struct FaultInfo {
    FaultKind kind;
    std::string_view name;
    int defaultCount;
    bool forSwitch;
    std::string_view help;
};
const std::vector<FaultInfo> &allFaults();

std::string_view faultName(FaultKind kind);
bool isSwitchFault(FaultKind kind);
bool isModemFault(FaultKind kind); // the dial-up modem's, not the GSM modem's
// "NAME" or "NAME:n" (n a whole number >= 0); nothing for an unknown name or a bad count.
std::optional<Fault> parseFault(std::string_view text);
std::string describe(const Fault &fault);

// The fault of `kind` among `faults`, if one was asked for.
const Fault *findFault(const std::vector<Fault> &faults, FaultKind kind);

} // namespace vantrell::sim
