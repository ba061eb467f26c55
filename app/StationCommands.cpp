#include "StationCommands.h"

#include "CommandLine.h"
#include "config/CheckingData.h"
#include "config/ComPorts.h"
#include "config/ConfigFiles.h"
#include "config/DeviceKeys.h"
#include "config/DeviceStore.h"
#include "config/PortFiles.h"
#include "config/ScheduleTimeStore.h"
#include "config/Station.h"
#include "general/Progress.h"
#include "general/Text.h"
#include "loggerdata/DataFile.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

namespace vantrell {

namespace {

constexpr const char *deviceUsage =
    "device list | device show N | device set N key=value... | device remove N";
constexpr const char *lineUsage = "line set DEVICE [--sms DEVICE]";
constexpr const char *scheduleUsage = "schedule set I HOUR|off (I 1..4, HOUR 0..23)";
constexpr const char *notADevice = "the device is a number from 1 to 50";
// The line's port, and the SMS modem's when it has a device of its own.
constexpr int linePort = 1;
constexpr int smsPort = 2;

std::string scheduleNote(const Station &station, int time) {
    const std::string text = scheduleTimeText(station.scheduleTimes, time);
    return text.empty() ? " (time " + std::to_string(time) + " is not set)" : " (" + text + ")";
}

// A text as stored when a terminal shows it safely, so that what show prints can be given back
// to set; escaped otherwise.
std::string shown(const std::string &text) {
    return hasControlCharacter(text) ? printable(text) : text;
}

} // namespace

int StationCommands::refuse(const std::string &text) {
    err_ << text << "\n";
    return 2;
}

int StationCommands::failed(const std::string &text) {
    err_ << text << "\n";
    return 1;
}

int StationCommands::device(const std::vector<std::string> &arguments) {
    const std::string verb = arguments.empty() ? "" : arguments.front();
    if (verb == "list" && arguments.size() == 1)
        return listDevices();
    const bool known = verb == "show" || verb == "set" || verb == "remove";
    if (!known || arguments.size() < 2 || (verb != "set" && arguments.size() > 2))
        return refuse(std::string("usage: vantrelld ") + deviceUsage);
    const std::optional<int> slot = wholeNumber(arguments[1], 1, maxDevices);
    if (!slot)
        return refuse("device " + verb + ": " + notADevice);
    if (verb == "show")
        return showDevice(*slot);
    if (verb == "remove")
        return removeDevice(*slot);
    return setDevice(*slot, {arguments.begin() + 2, arguments.end()});
}

int StationCommands::listDevices() {
    for (int slot = 1; slot <= maxDevices; ++slot) {
        const DeviceRecord &device = station_.devices[slot];
        if (device.isFree())
            continue;
        out_ << slot << "\t" << (device.flag(field::active) ? "active" : "inactive") << "\t"
             << shown(device.connection()) << "\t" << shown(device[field::description]) << "\n";
    }
    return EXIT_SUCCESS;
}

// Comments and settings, so that what it prints can be given back to `device set`.
int StationCommands::showDevice(int slot) {
    const DeviceRecord &device = station_.devices[slot];
    out_ << "# device " << slot << (device.isFree() ? ", a free slot" : "") << "\n";
    for (const DeviceKey &key : deviceKeys()) {
        const int time = key.field - field::scheduleSlot1 + 1;
        const bool scheduleKey = time >= 1 && time <= scheduleTimeCount;
        out_ << "# " << key.meaning << (scheduleKey ? scheduleNote(station_, time) : "") << "\n"
             << key.name << " = " << shown(device[key.field]) << "\n";
    }
    return EXIT_SUCCESS;
}

int StationCommands::setDevice(int slot, const std::vector<std::string> &settings) {
    if (settings.empty())
        return refuse("device set: which key=value? (vantrelld device show " +
                      std::to_string(slot) + " lists the keys)");
    DeviceRecord edited = station_.devices[slot];
    std::map<int, std::string> stationWide;
    std::set<int> given;
    for (const std::string &setting : settings) {
        const std::size_t equals = setting.find('=');
        const DeviceKey *key =
            equals == std::string::npos ? nullptr : findDeviceKey(setting.substr(0, equals));
        if (key == nullptr)
            return refuse("device set: '" + printable(setting) +
                          "' is no key=value of a device (vantrelld device show " +
                          std::to_string(slot) + " lists the keys)");
        const std::string value = setting.substr(equals + 1);
        if (const auto problem = valueProblem(*key, value))
            return refuse("device set: " + *problem);
        const int time = key->field - field::scheduleSlot1 + 1;
        if (time >= 1 && time <= scheduleTimeCount && value == "1" &&
            scheduleTimeText(station_.scheduleTimes, time).empty())
            return refuse("device set: " + std::string(key->name) + ": schedule time " +
                          std::to_string(time) + " is not set (vantrelld schedule set " +
                          std::to_string(time) + " HOUR)");
        if (key->field == field::dataDirectory && !value.empty() &&
            !std::filesystem::is_directory(dataFolderPath(station_.configDir(), value)))
            return refuse("device set: dataDirectory: " +
                          dataFolderPath(station_.configDir(), value).string() +
                          " is not a folder");
        (isStationWide(*key) ? stationWide[key->field] : edited[key->field]) = value;
        given.insert(key->field);
    }
    // Appending to one file needs a memory emptied after every reading, or each reading would
    // append the records before it again: the dialog ticks and locks "Memory reset" with it.
    if (!given.contains(field::eraseMemory) &&
        (given.contains(field::savingMode) || edited.flag(field::savingMode)))
        edited[field::eraseMemory] = edited[field::savingMode];
    if (edited.flag(field::savingMode) && !edited.flag(field::eraseMemory))
        return refuse("device set: eraseMemory: 1 while savingMode is 1 (one file per logger)");
    if (const auto problem = recordProblem(edited)) {
        const auto key =
            std::find_if(deviceKeys().begin(), deviceKeys().end(),
                         [&](const DeviceKey &k) { return k.field == problem->field; });
        return refuse(std::string(dataErrorTitle) + ": " + problem->text + " (" +
                      std::string(key->name) + ")");
    }
    const DeviceRecord &stored = station_.devices[slot];
    const bool reportOn =
        (stationWide.contains(field::reportEnabled) ? stationWide[field::reportEnabled]
                                                    : stored[field::reportEnabled]) == "1";
    const std::string reportAddress =
        trim(stationWide.contains(field::reportAddress) ? stationWide[field::reportAddress]
                                                        : stored[field::reportAddress]);
    if (const auto problem = reportProblem(reportOn, reportAddress))
        return refuse(std::string(dataErrorTitle) + ": " + *problem + " (reportAddress)");
    DeviceStore store(station_);
    if (const ConfigError error = store.store(slot, edited))
        return failed("device " + std::to_string(slot) + " not stored: " + describe(error));
    if (const ConfigError error = store.storeScheduleMarks(slot))
        return failed("device " + std::to_string(slot) +
                      " stored, its schedule marks not: " + describe(error));
    if (!stationWide.empty())
        if (const ConfigError error = store.storeReportSettings(reportOn, reportAddress))
            return failed("the report settings not stored: " + describe(error));
    out_ << "device " << slot << " stored\n";
    return EXIT_SUCCESS;
}

int StationCommands::removeDevice(int slot) {
    DeviceStore store(station_);
    if (const ConfigError error = store.store(slot, station_.devices[slot].cleared()))
        return failed("device " + std::to_string(slot) + " not removed: " + describe(error));
    if (const ConfigError error = store.storeScheduleMarks(slot))
        return failed("device " + std::to_string(slot) +
                      " removed, its schedule marks not: " + describe(error));
    out_ << "device " << slot << " removed\n";
    return EXIT_SUCCESS;
}

int StationCommands::line(const std::vector<std::string> &arguments,
                          const std::optional<std::string> &sms) {
    if (arguments.size() != 2 || arguments[0] != "set")
        return refuse(std::string("usage: vantrelld ") + lineUsage);
    const std::filesystem::path lineDevice = arguments[1];
    for (const std::optional<std::string> &device : {std::optional(arguments[1]), sms})
        if (device &&
            (hasControlCharacter(*device) || !std::filesystem::path(*device).is_absolute()))
            return refuse("line set: '" + printable(*device) +
                          "' is no device path, such as /dev/ttyUSB0");
    const bool ownModem = sms && std::filesystem::path(*sms) != lineDevice;
    const int modemPort = ownModem ? smsPort : linePort;
    const std::filesystem::path &configDir = station_.configDir();
    ConfigError error = storePortDevice(configDir, linePort, lineDevice);
    if (!error && ownModem)
        error = storePortDevice(configDir, smsPort, *sms);
    if (!error)
        error = storePortChoice(configDir / files::portChoice, linePort - 1);
    if (!error)
        error = storePortChoice(configDir / files::modemPortChoice, modemPort - 1);
    if (error)
        return failed("the line not stored: " + describe(error));
    station_.linePortNumber = linePort;
    station_.modemPortNumber = modemPort;
    station_.line().usePort(linePort);
    out_ << "the line is port " << linePort << " (" << printable(lineDevice.string())
         << "), SMS on port " << modemPort << " ("
         << printable(ownModem ? *sms : lineDevice.string()) << ")\n";
    for (const std::filesystem::path &device :
         {lineDevice, std::filesystem::path(sms.value_or(""))})
        if (!device.empty() && !std::filesystem::exists(device))
            out_ << "note: " << printable(device.string())
                 << " is not there now; a session opens it when it needs it\n";
    return EXIT_SUCCESS;
}

int StationCommands::schedule(const std::vector<std::string> &arguments) {
    if (arguments.size() != 3 || arguments[0] != "set")
        return refuse(std::string("usage: vantrelld ") + scheduleUsage);
    const std::optional<int> time = wholeNumber(arguments[1], 1, scheduleTimeCount);
    const std::optional<int> hour =
        arguments[2] == "off" ? std::optional(hourNotSet) : wholeNumber(arguments[2], 0, 23);
    if (!time || !hour)
        return refuse(std::string("usage: vantrelld ") + scheduleUsage);
    ScheduleTimeStore store(station_);
    ScheduleHours hours = store.hours();
    hours.at(std::size_t(*time - 1)) = *hour;
    if (!scheduleHoursInOrder(hours))
        return refuse(std::string("schedule set: ") + timesOutOfOrderText);
    if (const ConfigError error = store.store(*time - 1, *hour))
        return failed("the schedule not stored: " + describe(error));
    const std::string text = scheduleTimeText(station_.scheduleTimes, *time);
    out_ << "schedule time " << *time << " is " << (text.empty() ? "off" : text) << "\n";
    return EXIT_SUCCESS;
}

} // namespace vantrell
