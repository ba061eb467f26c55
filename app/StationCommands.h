// The commands that change a station's configuration without its windows: its devices, its line
// and its schedule. Each checks all of its input as the desktop program's dialogs do, with their
// messages, before it stores anything: a refusal leaves every file as it was. They work on a
// Station, so that a running station applies them to what it holds as well as to its files.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vantrell {

class Station;

class StationCommands {
public:
    StationCommands(Station &station, std::ostream &out, std::ostream &err)
        : station_(station), out_(out), err_(err) {}

    // device list | show N | set N key=value... | remove N
    int device(const std::vector<std::string> &arguments);
    // line set DEVICE; the SMS modem on `sms` when given, else on the line's port.
    int line(const std::vector<std::string> &arguments, const std::optional<std::string> &sms);
    // schedule set I HOUR|off
    int schedule(const std::vector<std::string> &arguments);

private:
    int listDevices();
    int showDevice(int slot);
    int setDevice(int slot, const std::vector<std::string> &settings);
    int removeDevice(int slot);
    // A usage mistake or an input the checks refuse: exit 2.
    int refuse(const std::string &text);
    // A store the disk refused: exit 1.
    int failed(const std::string &text);

    Station &station_;
    std::ostream &out_;
    std::ostream &err_;
};

} // namespace vantrell
