// The main window's settings: schedule times in ascending order, the timetable resets, the
// report address and the two ports. Each change goes through the configuration operations;
// when a file cannot take it, the window and the tables return to what is stored.
#include "ui/Main.h"

#include "config/ComPorts.h"
#include "config/ConfigFiles.h"
#include "config/DeviceFile.h"
#include "config/PortFiles.h"
#include "config/ScheduleFiles.h"
#include "general/Dialogs.h"
#include "general/Text.h"

namespace vantrell {

namespace {

constexpr const char *settingErrorTitle = "Setting error";
constexpr const char *timesOutOfOrder = "Schedule times must be different and sequential...";
constexpr const char *dataErrorTitle = "Data error";
constexpr const char *invalidAddress = "Invalid e-mail address inserted";

constexpr int notSet = -1;

} // namespace

// Times fill the lists from the first on, without gaps, strictly ascending.
bool Main::timesInOrder() const {
    for (std::size_t k = 0; k + 1 < cmbTime_.size(); ++k) {
        const int a = cmbTime_[k]->currentIndex();
        const int b = cmbTime_[k + 1]->currentIndex();
        if ((b != notSet && a == notSet) || (a != notSet && b != notSet && a >= b))
            return false;
    }
    return true;
}

void Main::timeChosen(int list) {
    if (loading_)
        return;
    if (!timesInOrder()) {
        station_.dialogs().message(settingErrorTitle, timesOutOfOrder, DialogButtons::ok,
                                   DialogIcon::information);
        report(ScheduleTimesFile(station_).loadScheduleTimes());
        showScheduleTimes();
        return;
    }
    std::string &stored = station_.scheduleTimes[std::size_t(list + 1)];
    const std::string before = stored;
    stored = std::to_string(cmbTime_[std::size_t(list)]->currentIndex());
    if (!report(ScheduleTimesFile(station_).saveScheduleTime(list))) {
        stored = before;
        showScheduleTimes();
    }
}

void Main::resetTimetable() {
    loading_ = true;
    ScheduleTimesFile file(station_);
    for (int k = 0; k < scheduleTimeCount; ++k) {
        cmbTime_[std::size_t(k)]->setCurrentIndex(notSet);
        station_.scheduleTimes[std::size_t(k + 1)] = std::to_string(notSet);
        if (!report(file.saveScheduleTime(k)))
            break;
    }
    loading_ = false;
}

void Main::setTimes() {
    DailyMarksFile marks(station_);
    if (report(marks.writeScheduledMarks(station_.selectedDevice)))
        report(marks.loadDailyMarks());
}

// Tomorrow's first tick then takes today as the schedule day and starts the day afresh.
void Main::resetDailySchedule() {
    if (report(ScheduleDayFile(station_).writeScheduleDay("")))
        report(DailyMarksFile(station_).clearDoneMarks());
}

void Main::saveReport() {
    const bool enabled = chkReport_->isChecked();
    const std::string address = trim(txtReport_->text().toStdString());
    if (enabled && (address.empty() || address.find('.') == std::string::npos ||
                    address.find('@') == std::string::npos)) {
        station_.dialogs().message(dataErrorTitle, invalidAddress, DialogButtons::ok,
                                   DialogIcon::information);
        return;
    }
    const DeviceTable before = station_.devices;
    for (int slot = 1; slot <= maxDevices; ++slot) {
        station_.devices[slot][field::reportEnabled] = enabled ? "1" : "0";
        station_.devices[slot][field::reportAddress] = address;
    }
    if (!report(DeviceFile(station_).saveReportSettings()))
        station_.devices = before;
}

void Main::portChosen(QComboBox *list, bool modem) {
    if (loading_ || list->currentIndex() < 0)
        return;
    const int position = list->currentIndex();
    const auto file = station_.configDir() / (modem ? files::modemPortChoice : files::portChoice);
    if (!report(storePortChoice(file, position))) {
        showPorts();
        return;
    }
    if (modem) {
        station_.modemPortNumber = position + 1;
    } else {
        station_.linePortNumber = position + 1;
        station_.link.portNumber = station_.linePortNumber;
    }
    showPorts();
}

} // namespace vantrell
