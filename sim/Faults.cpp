#include "sim/Faults.h"

#include <charconv>

namespace vantrell::sim {

const std::vector<FaultInfo> &allFaults() {
    static const std::vector<FaultInfo> faults{
        {FaultKind::silent, "silent", 0, false, "the logger answers nothing"},
        {FaultKind::wrongWake, "wrongWake", 1, false, "the first n wake-ups get a wrong character"},
        {FaultKind::emptyParameters, "emptyParameters", 0, false,
         "no answer to the parameter request"},
        {FaultKind::cutShort, "cutShort", 10, false,
         "parameter block and clock stop after k characters, no CR"},
        {FaultKind::noise, "noise", 1, false, "n random bytes before every answer"},
        {FaultKind::stopsAfterRecord, "stopsAfterRecord", 1, false,
         "the memory transfer stops after record k"},
        {FaultKind::garbledRecord, "garbledRecord", 1, false, "record k is sent one byte short"},
        {FaultKind::silentSwitch, "silentSwitch", 0, true, "the line switch answers nothing"},
        {FaultKind::emptyModuleStatus, "emptyModuleStatus", 0, true,
         "the switch answers the module status request with a bare CR"},
        {FaultKind::modemSilent, "modemSilent", 0, false, "the modem answers nothing"},
        {FaultKind::modemStopsAfter, "modemStopsAfter", 1, false,
         "the modem answers the first n commands, then nothing"},
        {FaultKind::modemBusy, "modemBusy", 0, false, "the modem answers the dial with BUSY"},
        {FaultKind::modemNoCarrier, "modemNoCarrier", 0, false,
         "the modem answers the dial with NO CARRIER"},
        {FaultKind::modemNoDialAnswer, "modemNoDialAnswer", 0, false,
         "the modem says nothing after the dial"},
        {FaultKind::modemInitError, "modemInitError", 0, false,
         "the modem answers its initialisation strings with ERROR"},
        {FaultKind::smsRefused, "smsRefused", 1, false,
         "the GSM modem answers the next n messages with ERROR"},
    };
    return faults;
}

static const FaultInfo &infoOf(FaultKind kind) {
    for (const auto &info : allFaults())
        if (info.kind == kind)
            return info;
    return allFaults().front();
}

std::string_view faultName(FaultKind kind) {
    return infoOf(kind).name;
}

bool isSwitchFault(FaultKind kind) {
    return infoOf(kind).forSwitch;
}

bool isModemFault(FaultKind kind) {
    switch (kind) {
    case FaultKind::modemSilent:
    case FaultKind::modemStopsAfter:
    case FaultKind::modemBusy:
    case FaultKind::modemNoCarrier:
    case FaultKind::modemNoDialAnswer:
    case FaultKind::modemInitError:
        return true;
    default:
        return false;
    }
}

std::optional<Fault> parseFault(std::string_view text) {
    const auto colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    for (const auto &info : allFaults()) {
        if (info.name != name)
            continue;
        Fault fault{info.kind, info.defaultCount};
        if (colon == std::string_view::npos)
            return fault;
        const std::string_view count = text.substr(colon + 1);
        const auto [end, error] =
            std::from_chars(count.data(), count.data() + count.size(), fault.count);
        if (count.empty() || error != std::errc{} || end != count.data() + count.size() ||
            fault.count < 0)
            return std::nullopt;
        return fault;
    }
    return std::nullopt;
}

std::string describe(const Fault &fault) {
    const auto &info = infoOf(fault.kind);
    std::string text(info.name);
    if (info.defaultCount > 0)
        text += ":" + std::to_string(fault.count);
    return text;
}

const Fault *findFault(const std::vector<Fault> &faults, FaultKind kind) {
    for (const auto &fault : faults)
        if (fault.kind == kind)
            return &fault;
    return nullptr;
}

} // namespace vantrell::sim
