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

void AlarmDelivery::send(const std::vector<AlarmMessage> &alarms) {
    for (const AlarmMessage &alarm : alarms)
        send(alarm);
}

void AlarmDelivery::send(const AlarmMessage &alarm) {
    switch (alarm.route) {
    case AlarmRoute::phoneBook:
        broadcast(alarm.text);
        return;
    case AlarmRoute::mail:
        mail(alarm.address, alarmSubject, alarm.text);
        return;
    case AlarmRoute::sms:
        sendSms(alarm.address, alarm.text);
        return;
    }
}

void AlarmDelivery::broadcast(const std::string &message) {
    int sent = 0;
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
        sendSms(number, message);
        ++sent;
        for (int i = 0; i < phonebookPauses; ++i)
            station_.wait(1);
    }
    if (sent == 0)
        reportNotSent(station_.progress(), "Alarm \"" + message + "\"", "the phone book",
                      "no phone-book entry is a telephone number beginning with \"+\"");
}

void AlarmDelivery::sendSms(const std::string &number, const std::string &message) {
    const Delivery sms = modem_.send(number, message);
    if (!sms.delivered())
        reportNotSent(station_.progress(), "SMS", "\"" + number + "\"", sms.reason());
    outbox_.smsTried(number, message, sms, station_.cycleDevice);
}

void AlarmDelivery::sendNotice(AlarmRoute route, const std::string &address,
                               const std::string &subject, const std::string &text) {
    if (route == AlarmRoute::mail)
        mail(address, subject, text);
    else if (route == AlarmRoute::sms)
        sendSms(address, subject);
    else
        broadcast(subject);
}

void AlarmDelivery::mail(const std::string &address, const std::string &subject,
                         const std::string &message) {
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
    deliverMail(station_, *mail, outbox_, station_.cycleDevice);
}

} // namespace vantrell
