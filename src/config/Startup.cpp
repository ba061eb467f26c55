#include "config/Startup.h"

#include "config/ComPorts.h"
#include "config/ConfigFiles.h"
#include "config/DeviceFile.h"
#include "config/PortFiles.h"
#include "config/ScheduleFiles.h"
#include "config/SettingsFile.h"
#include "config/SetupFiles.h"
#include "config/Station.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

namespace vantrell {

namespace {

enum class ScheduledMarks { write, leave };

void keep(std::vector<ConfigError> &problems, ConfigError error) {
    if (error.failed())
        problems.push_back(std::move(error));
}

void loadPortChoices(Station &station, std::vector<ConfigError> &problems) {
    ConfigError problem;
    if (const auto p = loadPortChoice(station.configDir() / files::portChoice, &problem))
        station.linePortNumber = *p + 1;
    keep(problems, problem);
    problem = {};
    if (const auto p = loadPortChoice(station.configDir() / files::modemPortChoice, &problem))
        station.modemPortNumber = *p + 1;
    keep(problems, problem);
    station.line().usePort(station.linePortNumber);
}

// Without the port map every port opens its default device, and the station sends wake-up
// bytes to whatever is there: the operator is told which devices those are.
ConfigError portMapProblem(const Station &station) {
    ConfigError problem;
    const auto line = portDevicePath(station.configDir(), station.linePortNumber, &problem);
    if (!problem)
        return {};
    const auto sms = portDevicePath(station.configDir(), station.modemPortNumber);
    problem.what += "; the line's port " + std::to_string(station.linePortNumber) + " is " +
                    line.string() + ", the SMS modem's port " +
                    std::to_string(station.modemPortNumber) + " is " + sms.string();
    return problem;
}

std::vector<ConfigError> load(Station &station, ScheduledMarks scheduled) {
    std::vector<ConfigError> problems;
    DailyMarksFile marks(station);
    keep(problems, ReportMarksFile(station).loadReportMarks());
    keep(problems, ScheduleTimesFile(station).loadScheduleTimes());
    keep(problems, DeviceFile(station).loadDeviceTable());
    if (scheduled == ScheduledMarks::write)
        keep(problems, marks.writeScheduledMarks(station.selectedDevice));
    keep(problems, marks.loadDailyMarks());
    keep(problems, PhonebookFile(station).loadPhonebook());
    keep(problems, SettingsFile(station).loadSettings());
    loadPortChoices(station, problems);
    keep(problems, portMapProblem(station));
    return problems;
}

} // namespace

std::vector<ConfigError> loadConfiguration(Station &station) {
    return load(station, ScheduledMarks::write);
}

std::vector<ConfigError> readConfiguration(Station &station) {
    return load(station, ScheduledMarks::leave);
}

std::vector<ConfigError> refreshScheduledMarks(Station &station) {
    std::vector<ConfigError> problems;
    DailyMarksFile marks(station);
    for (int slot = 1; slot <= maxDevices; ++slot)
        if (!station.devices[slot].isFree())
            keep(problems, marks.writeScheduledMarks(slot));
    keep(problems, marks.loadDailyMarks());
    return problems;
}

ConfigError checkWritable(const std::filesystem::path &folder) {
    std::string trial = (folder / ".write-check.XXXXXX").string();
    const int fd = ::mkstemp(trial.data());
    if (fd < 0)
        return fileError(FileProblem::cannotWrite, folder,
                         std::string("the configuration folder cannot be written (") +
                             std::strerror(errno) + ")");
    ::close(fd);
    ::unlink(trial.c_str());
    return {};
}

} // namespace vantrell
