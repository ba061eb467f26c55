#include "forwarding/AlarmDelivery.h"

#include "forwarding/MailDelivery.h"
#include "general/Progress.h"
#include "general/Text.h"

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

std::vector<Sent> AlarmDelivery::send(const AlarmMessage &alarm, int device) {
    switch (alarm.route) {
    case AlarmRoute::phoneBook:
        return broadcast(alarm.text, device);
    case AlarmRoute::mail:
        return {mail(alarm.address, alarmSubject, alarm.text, device)};
    case AlarmRoute::sms:
        return {sendSms(alarm.address, alarm.text, device)};
    }
    return {};
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

void AlarmDelivery::sendNotice(AlarmRoute route, const std::string &address,
                               const std::string &subject, const std::string &text, int device) {
    if (route == AlarmRoute::mail)
        (void)mail(address, subject, text, device);
    else if (route == AlarmRoute::sms)
        (void)sendSms(address, subject, device);
    else
        (void)broadcast(subject, device);
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
