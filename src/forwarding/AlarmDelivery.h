// Sending the alarms a check returned: a channel alarm by SMS to every number of the phone book,
// twenty seconds apart; a limit alarm by mail or by SMS to the device's alarm address. What does
// not go out is a progress line, and the outbox keeps it for a retry; nothing here changes a
// device's status or stops a session.
#pragma once

#include "config/Station.h"
#include "forwarding/AlarmCheck.h"
#include "forwarding/MailSession.h"
#include "forwarding/Outbox.h"
#include "general/SerialPort.h"
#include "link/SmsModem.h"

#include <string>
#include <vector>

namespace vantrell {

class AlarmDelivery {
public:
    AlarmDelivery(Station &station, SerialPort &smsPort, MailSessionFactory mail, Outbox &outbox)
        : station_(station), modem_(station, smsPort), mail_(std::move(mail)), outbox_(outbox) {}

    // In the order given.
    void send(const std::vector<AlarmMessage> &alarms);
    void send(const AlarmMessage &alarm);
    // To every phone-book entry that begins with "+" and is a telephone number.
    void broadcast(const std::string &message);
    void sendSms(const std::string &number, const std::string &message);
    // A notice of the station's own (not a reading's) by the route of a limit alarm: the subject
    // heads the mail; an SMS carries the subject alone.
    void sendNotice(AlarmRoute route, const std::string &address, const std::string &subject,
                    const std::string &text);

private:
    void mail(const std::string &address, const std::string &subject, const std::string &message);

    Station &station_;
    SmsModem modem_;
    MailSessionFactory mail_;
    Outbox &outbox_;
};

} // namespace vantrell
