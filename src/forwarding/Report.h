// The mail that closes a schedule time: one line per device that was due at it, saying how its
// session ended, to the station's report address.
#pragma once

#include "config/Station.h"
#include "forwarding/MailSession.h"
#include "forwarding/Outbox.h"

#include <string>

namespace vantrell {

// What a session status letter says after the device number; empty for any other mark.
std::string statusReportText(std::string_view letter);

class Report {
public:
    Report(Station &station, MailSessionFactory mail, Outbox &outbox)
        : station_(station), mail_(std::move(mail)), outbox_(outbox) {}

    // For the schedule time whose done mark is at dailyMarkIndex + 1.
    void sendRunReport();

private:
    void appendDeviceLines(MailSession &mail, int time);

    Station &station_;
    MailSessionFactory mail_;
    Outbox &outbox_;
};

} // namespace vantrell
