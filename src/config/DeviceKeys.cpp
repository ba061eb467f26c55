#include "config/DeviceKeys.h"

#include "general/Text.h"

#include <algorithm>
#include <array>

namespace vantrell {

namespace {

constexpr std::string_view flagValues = "0 or 1";

using K = KeyKind;
constexpr std::array keys = {
    DeviceKey{"active", field::active, K::flag, 0,
              "1: read at its schedule times; 0: kept but not read"},
    DeviceKey{"connection", field::connection, K::connection, 0,
              "locl0000: the local line; netwNNSS: network NN (01-04), section SS (01-15) "
              "behind the line switch; anything else: the telephone number the modem dials"},
    DeviceKey{"outsideLine", field::outsideLine, K::flag, 0,
              "1: an outside line is dialled first (kept for the desktop program only)"},
    DeviceKey{"outsideLineIndex", field::outsideLineIndex, K::choice, outsideLinePositions,
              "the outside-line digit: 0 none, 1..10 the digits 0..9 (kept only)"},
    DeviceKey{"serial1", field::serialNumber1, K::text, 0,
              "serial number of logger 1, XXXXDEMMYY with DE one of KV, GQ, HZ, YR; empty: none"},
    DeviceKey{"serial2", field::serialNumber1 + 1, K::text, 0, "serial number of logger 2"},
    DeviceKey{"serial3", field::serialNumber1 + 2, K::text, 0, "serial number of logger 3"},
    DeviceKey{"serial4", field::serialNumber1 + 3, K::text, 0, "serial number of logger 4"},
    DeviceKey{"serial5", field::serialNumber1 + 4, K::text, 0, "serial number of logger 5"},
    DeviceKey{"serial6", field::serialNumber1 + 5, K::text, 0, "serial number of logger 6"},
    DeviceKey{"serial7", field::serialNumber1 + 6, K::text, 0, "serial number of logger 7"},
    DeviceKey{"serial8", field::serialNumber1 + 7, K::text, 0, "serial number of logger 8"},
    DeviceKey{"deviceType", field::deviceType, K::choice, int(deviceTypes.size()),
              "0 ZU-MAR, 1 KORVANE, 2 OBREL (kept only)"},
    DeviceKey{"description", field::description, K::text, 0,
              "the device's name in the phone list, reports and mails"},
    DeviceKey{"schedule1", field::scheduleSlot1, K::flag, 0, "1: read at schedule time 1"},
    DeviceKey{"schedule2", field::scheduleSlot1 + 1, K::flag, 0, "1: read at schedule time 2"},
    DeviceKey{"schedule3", field::scheduleSlot1 + 2, K::flag, 0, "1: read at schedule time 3"},
    DeviceKey{"schedule4", field::scheduleSlot1 + 3, K::flag, 0, "1: read at schedule time 4"},
    DeviceKey{"savingMode", field::savingMode, K::flag, 0,
              "0: a new data file for every reading; 1: one file per logger, appended to"},
    DeviceKey{"dataDirectory", field::dataDirectory, K::text, 0,
              "the folder of the data files, relative to the configuration folder or absolute"},
    DeviceKey{"forwardEnabled", field::forwardEnabled, K::flag, 0,
              "1: every data file read is forwarded"},
    DeviceKey{"forwardKind", field::forwardKind, K::flag, 0, "0: by mail; 1: by FTP"},
    DeviceKey{"forwardAddress", field::forwardAddress, K::text, 0,
              "the mail recipient, or the FTP host (ftp....)"},
    DeviceKey{"forwardUser", field::forwardUser, K::text, 0, "the FTP user"},
    DeviceKey{"forwardPassword", field::forwardPassword, K::text, 0,
              "the FTP password, kept in clear text"},
    DeviceKey{"eraseMemory", field::eraseMemory, K::flag, 0,
              "1: the logger's memory is erased after a complete transfer"},
    DeviceKey{"setClock", field::setClock, K::flag, 0,
              "1: a logger clock that is off is set to the station's"},
    DeviceKey{"useSwitch", field::useSwitch, K::flag, 0,
              "1: the loggers are reached through the line switch"},
    DeviceKey{"reportEnabled", field::reportEnabled, K::flag, 0,
              "1: a report is mailed after each scheduled run (the station's setting: it "
              "changes every device)"},
    DeviceKey{"reportAddress", field::reportAddress, K::text, 0,
              "the report's recipient (the station's setting: it changes every device)"},
    DeviceKey{"ftpRootDirectory", field::ftpRootDirectory, K::text, 0,
              "the FTP folder the files go to, beginning with /"},
    DeviceKey{"alarmEnabled", field::alarmEnabled, K::flag, 0,
              "1: a logger's hardware alarm is sent on"},
    DeviceKey{"alarmNotifyKind", field::alarmNotifyKind, K::flag, 0, "0: by mail; 1: by SMS"},
    DeviceKey{"alarmAddress", field::alarmAddress, K::text, 0,
              "the alarm's mail address, or the telephone number for the SMS"},
    DeviceKey{"smtpServer", field::smtpServer, K::text, 0,
              "the SMTP server for the data files forwarded by mail"},
};

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool networkConnectionOk(std::string_view value) {
    if (value.size() != 8 || !allDigits(value.substr(4)))
        return false;
    const int network = std::stoi(std::string(value.substr(4, 2)));
    const int section = std::stoi(std::string(value.substr(6, 2)));
    return network >= 1 && network <= networkCount && section >= 1 && section <= sectionCount;
}

std::string refusal(const DeviceKey &key, std::string_view why) {
    return std::string(key.name) + ": " + std::string(why);
}

} // namespace

std::span<const DeviceKey> deviceKeys() {
    return keys;
}

const DeviceKey *findDeviceKey(std::string_view name) {
    const auto found = std::find_if(keys.begin(), keys.end(),
                                    [name](const DeviceKey &key) { return key.name == name; });
    return found != keys.end() ? &*found : nullptr;
}

std::optional<std::string> valueProblem(const DeviceKey &key, std::string_view value) {
    // A value becomes an XML text, a mail header or a file name: a line break would split it.
    if (hasControlCharacter(value))
        return refusal(key, "the text holds a control character (a line break, a tab or similar)");
    switch (key.kind) {
    case KeyKind::flag:
        if (value != "0" && value != "1")
            return refusal(key, flagValues);
        break;
    case KeyKind::choice:
        if (!allDigits(value) || value.size() > 2 || std::stoi(std::string(value)) >= key.choices)
            return refusal(key, "a number from 0 to " + std::to_string(key.choices - 1));
        break;
    case KeyKind::connection:
        if (value.starts_with(networkPrefix) && !networkConnectionOk(value))
            return refusal(key, "netw and the network 01-04 and section 01-15, as netw0315");
        if (value.starts_with(localPrefix) && value != localConnection)
            return refusal(key, std::string("the local line is ") + localConnection);
        break;
    case KeyKind::text:
        break;
    }
    return std::nullopt;
}

bool isStationWide(const DeviceKey &key) {
    return key.field == field::reportEnabled || key.field == field::reportAddress;
}

} // namespace vantrell
