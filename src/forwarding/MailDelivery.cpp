#include "forwarding/MailDelivery.h"

#include "general/Progress.h"

namespace vantrell {

Sent deliverMail(Station &station, MailSession &mail, Outbox &outbox, int device) {
    const Delivery delivery = mail.sendEmail();
    if (!delivery.delivered())
        reportNotSent(station.progress(), "Mail", "\"" + mail.message().sendTo + "\"",
                      delivery.reason());
    const bool retried = outbox.mailTried(mail.message(), delivery, device);
    return {delivery, retried};
}

void reportNotSent(ProgressSink &progress, std::string_view what, std::string_view whom,
                   std::string_view reason) {
    std::string text(what);
    text += " to ";
    text += whom;
    text += " not sent: ";
    text += reason;
    progress.failure(text);
}

} // namespace vantrell
