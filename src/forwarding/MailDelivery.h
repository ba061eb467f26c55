// The one way the roles hand a finished mail over: send it, and when it does not go out, say to
// whom and why on the progress line; then hand it to the outbox, which records it and keeps a
// failed one for a retry. The caller learns what became of it.
#pragma once

#include "config/Station.h"
#include "forwarding/MailSession.h"
#include "forwarding/Outbox.h"
#include "general/Progress.h"
#include "loggerdata/LoggerResult.h"

namespace vantrell {

// `device`: the device the mail is about, 0 for none.
Sent deliverMail(Station &station, MailSession &mail, Outbox &outbox, int device);

// Says that a delivery failed, as a failure of the progress sink (an error in the log):
// "<what> to <whom> not sent: <reason>".
void reportNotSent(ProgressSink &progress, std::string_view what, std::string_view whom,
                   std::string_view reason);

} // namespace vantrell
