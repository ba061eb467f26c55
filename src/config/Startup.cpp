#include "config/Startup.h"

#include "config/ConfigFiles.h"
#include "config/DeviceFile.h"
#include "config/PortFiles.h"
#include "config/ScheduleFiles.h"
#include "config/SettingsFile.h"
#include "config/SetupFiles.h"
#include "config/Station.h"

namespace vantrell {

namespace {

void keep(std::vector<ConfigError> &problems, ConfigError error) {
    if (error.failed())
        problems.push_back(std::move(error));
}

void loadPortChoices(Station &station) {
    if (const auto p = loadPortChoice(station.configDir() / files::portChoice))
        station.linePortNumber = *p + 1;
    if (const auto p = loadPortChoice(station.configDir() / files::modemPortChoice))
        station.modemPortNumber = *p + 1;
    station.link.portNumber = station.linePortNumber;
}

} // namespace

std::vector<ConfigError> loadConfiguration(Station &station) {
    std::vector<ConfigError> problems;
    DailyMarksFile marks(station);
    keep(problems, ReportMarksFile(station).loadReportMarks());
    keep(problems, ScheduleTimesFile(station).loadScheduleTimes());
    keep(problems, DeviceFile(station).loadDeviceTable());
    keep(problems, marks.writeScheduledMarks(station.selectedDevice));
    keep(problems, marks.loadDailyMarks());
    keep(problems, PhonebookFile(station).loadPhonebook());
    keep(problems, SettingsFile(station).loadSettings());
    loadPortChoices(station);
    return problems;
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

} // namespace vantrell
