// Sending the alarms a check returned: a channel alarm by SMS to every number of the phone book,
// twenty seconds apart; a limit alarm by mail or by SMS to the device's alarm address. What does
// not go out is a progress line, and the outbox keeps it for a retry; each send says what became
// of every message, so that the session can tell an alarm that did not go out. With the journal
// on, every alarm and notice is recorded there once, with what became of it.
#pragma once

#include "config/Station.h"
#include "forwarding/AlarmCheck.h"
#include "forwarding/MailSession.h"
#include "forwarding/Outbox.h"
#include "general/SerialPort.h"
#include "journal/Journal.h"
#include "link/SmsModem.h"
#include "loggerdata/LoggerResult.h"

#include <functional>
#include <string>
#include <vector>

namespace vantrell {

// What became of an alarm, from the outcome of each of its messages (one per number of a
// broadcast): "sent" when every one went out, "kept for a retry" when its one message is kept by
// the outbox, else "not sent: <why>", counting the numbers of a broadcast that did not get it.
std::string alarmOutcome(const std::vector<Sent> &outcomes);

// Takes each alarm as it went out or did not, to record it.
using AlarmRecorder = std::function<void(AlarmRow &)>;

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
    // heads the mail; an SMS carries the subject alone, and the record keeps the subject.
    void sendNotice(AlarmKind kind, AlarmRoute route, const std::string &address,
                    const std::string &subject, const std::string &text, int device);
    // Every alarm and notice sent from now on goes to `recorder` (by default, nowhere).
    void recordAlarmsBy(AlarmRecorder recorder) { recorder_ = std::move(recorder); }

private:
    // `body` by the alarm's route, a mail under `subject`.
    std::vector<Sent> deliver(const AlarmMessage &alarm, const std::string &subject,
                              const std::string &body, int device);
    Sent mail(const std::string &address, const std::string &subject, const std::string &message,
              int device);

    Station &station_;
    SmsModem modem_;
    MailSessionFactory mail_;
    Outbox &outbox_;
    AlarmRecorder recorder_;
};

} // namespace vantrell
