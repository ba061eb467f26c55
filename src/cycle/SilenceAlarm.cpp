#include "cycle/SilenceAlarm.h"

#include "cycle/Schedule.h"
#include "forwarding/AlarmDelivery.h"
#include "general/Text.h"
#include "journal/LocalTime.h"

namespace vantrell {

namespace {
constexpr const char *silentSubject = "Station silent: device ";
constexpr const char *answeringSubject = "Station answering again: device ";
constexpr const char *neverRead = "never";

std::string localText(UtcSeconds utc) {
    const LocalDateTime t = toLocal(utc);
    return dayText(t) + " " + zeroPad(t.hour, 2) + ":" + zeroPad(t.minute, 2) + ":" +
           zeroPad(t.second, 2);
}

std::string deviceLine(int device, const DeviceRecord &record) {
    return "Device " + std::to_string(device) + " \"" + trim(record[field::description]) + "\"";
}

std::string lastRead(const DeviceJournal &seen) {
    return "Last good read: " + (seen.lastGoodRead ? localText(*seen.lastGoodRead) : neverRead) +
           "\nLast letters: " + seen.lastLetters + "\n";
}
} // namespace

JournalProblem SilenceAlarm::check(Journal &journal, int device) {
    DeviceJournal seen;
    if (JournalProblem problem = journal.deviceJournal(device, seen))
        return problem;
    const DeviceRecord &record = station_.devices.at(device);
    const bool answered = seen.lastSession && dataSaved(seen.lastSession->letter);
    if (!seen.silenceAlarmed && !answered && seen.missedTimes >= settings_.afterMissed) {
        send(device, AlarmKind::silentStation, silentSubject + std::to_string(device),
             deviceLine(device, record) + " has not been read at " +
                 std::to_string(seen.missedTimes) + " schedule times in a row.\n" + lastRead(seen));
        return journal.markSilenceAlarmed(device, true);
    }
    if (seen.silenceAlarmed && answered) {
        send(device, AlarmKind::answeringAgain, answeringSubject + std::to_string(device),
             deviceLine(device, record) + " was read again.\n" + lastRead(seen));
        return journal.markSilenceAlarmed(device, false);
    }
    return {};
}

// As the device's limit alarm would go; with its alarms off, to its report address by mail.
void SilenceAlarm::send(int device, AlarmKind kind, const std::string &subject,
                        const std::string &text) {
    const DeviceRecord &record = station_.devices.at(device);
    if (record.flag(field::alarmEnabled)) {
        const AlarmMessage route = limitAlarm(record, 1);
        alarms_.sendNotice(kind, route.route, route.address, subject, text, device);
    } else {
        alarms_.sendNotice(kind, AlarmRoute::mail, record[field::reportAddress], subject, text,
                           device);
    }
}

} // namespace vantrell
