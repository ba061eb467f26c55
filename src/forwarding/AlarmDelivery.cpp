#include "forwarding/AlarmDelivery.h"

#include "forwarding/MailDelivery.h"
#include "general/Progress.h"
#include "general/Text.h"
#include "journal/LocalTime.h"

#include <algorithm>

namespace vantrell {

namespace {
constexpr const char *sendingAlarmToMail = "sending alarm message to Mail address...";
constexpr const char *alarmSubject = "Korvane Alarm";
constexpr int phonebookPauses = 20; // one-second pauses after each SMS of a broadcast
} // namespace

std::vector<Sent> AlarmDelivery::send(const std::vector<AlarmMessage> &alarms, int device) {
    std::vector<Sent> outcomes;
    for (const AlarmMessage &alarm : alarms)
        for (Sent &outcome : send(alarm, device))
            outcomes.push_back(std::move(outcome));
    return outcomes;
}

std::string alarmOutcome(const std::vector<Sent> &outcomes) {
    const auto failed = [](const Sent &s) { return !s.delivery.delivered(); };
    const auto first = std::find_if(outcomes.begin(), outcomes.end(), failed);
    if (first == outcomes.end())
        return "sent";
    const bool allKept = std::all_of(outcomes.begin(), outcomes.end(),
                                     [&](const Sent &s) { return !failed(s) || s.retried; });
    if (outcomes.size() == 1)
        return allKept ? "kept for a retry" : "not sent: " + first->delivery.reason();
    return "not sent: " + std::to_string(std::count_if(outcomes.begin(), outcomes.end(), failed)) +
           " of " + std::to_string(outcomes.size()) + " numbers did not get it (" +
           first->delivery.reason() + ")" + (allKept ? ", kept for a retry" : "");
}

std::vector<Sent> AlarmDelivery::send(const AlarmMessage &alarm, int device) {
    return deliver(alarm, alarmSubject, alarm.text, device);
}

// Recorded with the moment it started to go out, and the alarm's own text.
std::vector<Sent> AlarmDelivery::deliver(const AlarmMessage &alarm, const std::string &subject,
                                         const std::string &body, int device) {
    const UtcSeconds raised = toUtc(station_.clock().localNow()).utc;
    std::vector<Sent> outcomes;
    switch (alarm.route) {
    case AlarmRoute::phoneBook:
        outcomes = broadcast(body, device);
        break;
    case AlarmRoute::mail:
        outcomes = {mail(alarm.address, subject, body, device)};
        break;
    case AlarmRoute::sms:
        outcomes = {sendSms(alarm.address, body, device)};
        break;
    }
    if (recorder_) {
        AlarmRow row{0,
                     raised,
                     device,
                     alarm.channel,
                     nameOf(alarm.kind),
                     alarm.text,
                     alarmOutcome(outcomes)};
        recorder_(row);
    }
    return outcomes;
}

std::vector<Sent> AlarmDelivery::broadcast(const std::string &message, int device) {
    std::vector<Sent> outcomes;
    for (int p = 1; p <= phonebookSize; ++p) {
        const std::string &number = station_.phonebook[p];
        if (number.empty())
            continue;
        const std::string entry = "Phone-book entry " + std::to_string(p) + " \"" + number + "\"";
        if (!startsWith(number, "+")) {
            if (!trim(number).empty())
                station_.progress().detail(entry + " does not begin with \"+\"; skipped");
            continue;
        }
        if (!smsNumber(number)) {
            station_.progress().detail(entry + " is " + notATelephoneNumber + "; skipped");
            continue;
        }
        outcomes.push_back(sendSms(number, message, device));
        for (int i = 0; i < phonebookPauses; ++i)
            station_.wait(1);
    }
    if (outcomes.empty()) {
        const std::string reason = "no phone-book entry is a telephone number beginning with \"+\"";
        reportNotSent(station_.progress(), "Alarm \"" + message + "\"", "the phone book", reason);
        outcomes.push_back({Delivery::failed(reason)});
    }
    return outcomes;
}

Sent AlarmDelivery::sendSms(const std::string &number, const std::string &message, int device) {
    const Delivery sms = modem_.send(number, message);
    if (!sms.delivered())
        reportNotSent(station_.progress(), "SMS", "\"" + number + "\"", sms.reason());
    const bool retried = outbox_.smsTried(number, message, sms, device);
    return {sms, retried};
}

void AlarmDelivery::sendNotice(AlarmKind kind, AlarmRoute route, const std::string &address,
                               const std::string &subject, const std::string &text, int device) {
    (void)deliver({route, address, subject, kind}, subject,
                  route == AlarmRoute::mail ? text : subject, device);
}

Sent AlarmDelivery::mail(const std::string &address, const std::string &subject,
                         const std::string &message, int device) {
    station_.progress().detail(sendingAlarmToMail);
    const std::unique_ptr<MailSession> mail = mail_();
    mail->setServer(station_.settings.smtpHost);
    mail->setUsername("");
    mail->setPassword("");
    mail->setPopServer("");
    mail->setMailFrom(station_.settings.alarmMailFrom);
    mail->setSendTo(address);
    mail->setMessageSubject(subject);
    mail->setMessageText(message);
    return deliverMail(station_, *mail, outbox_, device);
}

} // namespace vantrell
