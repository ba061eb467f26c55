// Sending the alarms a check returned: a channel alarm by SMS to every number of the phone book,
// twenty seconds apart; a limit alarm by mail or by SMS to the device's alarm address. What does
// not go out is a progress line, and the outbox keeps it for a retry; each send says what became
// of every message, so that the session can tell an alarm that did not go out.
#pragma once

#include "config/Station.h"
#include "forwarding/AlarmCheck.h"
#include "forwarding/MailSession.h"
#include "forwarding/Outbox.h"
#include "general/SerialPort.h"
#include "link/SmsModem.h"
#include "loggerdata/LoggerResult.h"

#include <string>
#include <vector>

namespace vantrell {

class AlarmDelivery {
public:
    AlarmDelivery(Station &station, SerialPort &smsPort, MailSessionFactory mail, Outbox &outbox)
        : station_(station), modem_(station.line(), smsPort, station.modemPortNumber),
          mail_(std::move(mail)), outbox_(outbox) {}

    // `device`: the device the alarms are about, 0 for none. In the order given; one outcome per
    // message that went, or should have gone, out.
    std::vector<Sent> send(const std::vector<AlarmMessage> &alarms, int device = 0);
    std::vector<Sent> send(const AlarmMessage &alarm, int device = 0);
    // To every phone-book entry that begins with "+" and is a telephone number; a phone book
    // without one is an alarm not sent.
    std::vector<Sent> broadcast(const std::string &message, int device = 0);
    Sent sendSms(const std::string &number, const std::string &message, int device = 0);
    // A notice of the station's own (not a reading's) by the route of a limit alarm: the subject
    // heads the mail; an SMS carries the subject alone.
    void sendNotice(AlarmRoute route, const std::string &address, const std::string &subject,
                    const std::string &text, int device);

private:
    Sent mail(const std::string &address, const std::string &subject, const std::string &message,
              int device);

    Station &station_;
    SmsModem modem_;
    MailSessionFactory mail_;
    Outbox &outbox_;
};

} // namespace vantrell
