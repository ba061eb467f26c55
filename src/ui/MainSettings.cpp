// The main window's settings: schedule times in ascending order, the timetable resets, the
// report address and the two ports. Each change goes through the configuration operations;
// when a file cannot take it, the window and the tables return to what is stored.
#include "ui/Main.h"

#include "config/CheckingData.h"
#include "config/ConfigFiles.h"
#include "config/DeviceStore.h"
#include "config/PortFiles.h"
#include "config/ScheduleFiles.h"
#include "config/ScheduleTimeStore.h"
#include "general/Dialogs.h"
#include "general/Text.h"
#include "ui/QtText.h"

namespace vantrell {

namespace {

constexpr const char *settingErrorTitle = "Setting error";

} // namespace

void Main::timeChosen(int list) {
    if (loading_)
        return;
    ScheduleHours chosen{};
    for (std::size_t k = 0; k < chosen.size(); ++k)
        chosen[k] = cmbTime_[k]->currentIndex();
    if (!scheduleHoursInOrder(chosen)) {
        station_.dialogs().message(settingErrorTitle, timesOutOfOrderText, DialogButtons::ok,
                                   DialogIcon::information);
        succeeded(ScheduleTimesFile(station_).loadScheduleTimes());
        showScheduleTimes();
        return;
    }
    succeeded(ScheduleTimeStore(station_).store(list, chosen[std::size_t(list)]));
    showScheduleTimes();
}

void Main::resetTimetable() {
    succeeded(ScheduleTimeStore(station_).clear());
    showScheduleTimes();
}

void Main::setTimes() {
    succeeded(DeviceStore(station_).storeScheduleMarks(station_.selectedDevice));
}

// Tomorrow's first tick then takes today as the schedule day and starts the day afresh.
void Main::resetDailySchedule() {
    if (succeeded(ScheduleDayFile(station_).writeScheduleDay("")))
        succeeded(DailyMarksFile(station_).clearDoneMarks());
}

void Main::saveReport() {
    const bool enabled = chkReport_->isChecked();
    const std::string address = trim(stdtext(txtReport_->text()));
    if (const std::optional<std::string> problem = reportProblem(enabled, address)) {
        station_.dialogs().message(dataErrorTitle, *problem, DialogButtons::ok,
                                   DialogIcon::information);
        txtReport_->setFocus();
        return;
    }
    succeeded(DeviceStore(station_).storeReportSettings(enabled, address));
}

void Main::portChosen(QComboBox *list, bool modem) {
    if (loading_ || list->currentIndex() < 0)
        return;
    const int position = list->currentIndex();
    const auto file = station_.configDir() / (modem ? files::modemPortChoice : files::portChoice);
    if (!succeeded(storePortChoice(file, position))) {
        showPorts();
        return;
    }
    if (modem) {
        station_.modemPortNumber = position + 1;
    } else {
        station_.linePortNumber = position + 1;
        station_.line().usePort(station_.linePortNumber);
    }
    showPorts();
}

} // namespace vantrell
