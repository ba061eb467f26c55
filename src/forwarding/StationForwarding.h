// The station's forwarding as the reading session and the cycle see it, put together from the
// three roles and the outside services they need: a mail session and an FTP session per
// delivery, and the SMS modem's port (a port of its own, so an alarm never disturbs the line
// a session holds). The alarm checks run on the readings of the logger being read and hand what
// they raise to the alarm delivery. Sender addresses and the default SMTP host are the
// station's settings.
#pragma once

#include "config/Station.h"
#include "forwarding/AlarmDelivery.h"
#include "forwarding/Forward.h"
#include "forwarding/Forwarding.h"
#include "forwarding/FtpSession.h"
#include "forwarding/MailSession.h"
#include "forwarding/Outbox.h"
#include "forwarding/Report.h"
#include "general/SerialPort.h"

namespace vantrell {

struct ForwardingServices {
    MailSessionFactory mail;
    FtpSessionFactory ftp;
    SerialPort &smsPort;
    // Records every delivery and keeps the failed ones for a retry; by default a station without
    // a journal, which does neither.
    Outbox &outbox = noOutbox();
};

class StationForwarding final : public Forwarding {
public:
    StationForwarding(Station &station, ForwardingServices services);

    std::vector<Sent> checkAbsoluteAlarms(const SessionRequest &request, const ChannelSetup *setup,
                                          const LoggerResult &logger) override;
    std::vector<Sent> checkAccelerationAlarms(const SessionRequest &request,
                                              const ChannelSetup *setup, const LoggerResult &logger,
                                              const std::vector<Reading> &history) override;
    std::vector<Sent> sendLimitAlarm(const SessionRequest &request,
                                     const LoggerResult &logger) override;
    Sent sendDataMail(const SessionRequest &request, const LoggerResult &logger) override {
        return forward_.sendDataMail(request, logger);
    }
    Sent sendDataFtp(const SessionRequest &request, const LoggerResult &logger) override;
    void sendRunReport() override { report_.sendRunReport(); }

    AlarmDelivery &alarm() { return alarm_; }

private:
    Station &station_;
    Forward forward_;
    AlarmDelivery alarm_;
    Report report_;
};

// The sessions that deliver for real: libcurl SMTP and FTP. `idle` runs while a mail is on its
// way (the program's event loop); it may be empty.
MailSessionFactory curlMailSessions(std::function<void()> idle = {});
FtpSessionFactory curlFtpSessions();

} // namespace vantrell
