#include "forwarding/Report.h"

#include "config/SessionStatus.h"
#include "forwarding/MailDelivery.h"
#include "general/Progress.h"
#include "general/Text.h"

namespace vantrell {

namespace {
constexpr const char *sendingReportTo = "Sending report to ";
constexpr const char *reportEllipsis = "...";
constexpr const char *reportSubject = "Report of scheduled time ";
constexpr const char *reportHeading = "This is a report for all devices:\r\n";
constexpr const char *reportDevice = "Device no.";
constexpr const char *reportNoDevices = "No selected devices for this time\r\n";
constexpr const char *reportEnd = "End report.";
constexpr const char *reportLineEnd = "\r\n";
constexpr const char *retriedLater = " (retried from the outbox)";
constexpr const char *sessionsOpen = " (";
constexpr const char *sessionsClose = " sessions)";

bool isDoneMarkIndex(int index) {
    return index >= 1 && index < 2 * scheduleTimeCount && index % 2 == 1;
}

} // namespace

std::string statusReportText(std::string_view letter) {
    const std::optional<SessionStatus> status = statusOfMark(letter);
    return status ? std::string(reportTextOf(*status)) : std::string();
}

void Report::sendRunReport() {
    ProgressSink &progress = station_.progress();
    const std::string &address = station_.devices[1][field::reportAddress];
    progress.detail(sendingReportTo + address + reportEllipsis);
    const int index = station_.session.dailyMarkIndex;
    if (!isDoneMarkIndex(index)) {
        reportNotSent(progress, "Report", "\"" + address + "\"",
                      "no schedule time has done-mark index " + std::to_string(index));
        return;
    }
    const int time = index / 2 + 1;
    const std::unique_ptr<MailSession> mail = mail_();
    mail->setServer(station_.settings.smtpHost);
    mail->setUsername("");
    mail->setPassword("");
    mail->setPopServer("");
    mail->setMailFrom(station_.settings.reportMailFrom);
    mail->setSendTo(address);
    mail->setMessageSubject(reportSubject + scheduleTimeText(station_.scheduleTimes, time));
    mail->setMessageText(reportHeading);
    appendDeviceLines(*mail, time);
    mail->setMessageText(mail->messageText() + reportEnd);
    // The report is about no single device.
    deliverMail(station_, *mail, outbox_, 0);
}

// Every device due at the time counts, even one whose session left no known letter, so that
// the "no devices" line never hides a device that was due.
void Report::appendDeviceLines(MailSession &mail, int time) {
    const int doneMark = station_.session.dailyMarkIndex + 1;
    const std::vector<int> due = devicesDueAt(station_.devices, time);
    for (const int d : due) {
        std::string line = statusReportText(trim(station_.dailyMarks.at(doneMark, d)));
        if (station_.retriedFromOutbox.contains({time, d}))
            line += retriedLater;
        if (const auto read = station_.sessionsInTime.find({time, d});
            read != station_.sessionsInTime.end() && read->second > 1)
            line += sessionsOpen + std::to_string(read->second) + sessionsClose;
        if (!line.empty())
            mail.setMessageText(mail.messageText() + reportDevice + std::to_string(d) + line +
                                reportLineEnd);
    }
    if (due.empty())
        mail.setMessageText(mail.messageText() + reportNoDevices);
}

} // namespace vantrell
