// A station that stops answering raises no limit alarm and no channel alarm: only its missing
// "X" says so. After a set number of schedule times in a row without one, one alarm goes out by
// the device's alarm route, once for the whole silence, and one more when it answers again.
#pragma once

#include "config/ConfFile.h"
#include "config/Station.h"
#include "journal/Journal.h"

#include <string>

namespace vantrell {

class AlarmDelivery;
enum class AlarmKind;

class SilenceAlarm {
public:
    SilenceAlarm(Station &station, AlarmDelivery &alarms, SilenceSettings settings)
        : station_(station), alarms_(alarms), settings_(settings) {}

    // After the session row of `device` is in `journal`.
    JournalProblem check(Journal &journal, int device);

private:
    void send(int device, AlarmKind kind, const std::string &subject, const std::string &text);

    Station &station_;
    AlarmDelivery &alarms_;
    SilenceSettings settings_;
};

} // namespace vantrell
