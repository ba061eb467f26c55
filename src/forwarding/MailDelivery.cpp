#include "forwarding/MailDelivery.h"

#include "general/Progress.h"

namespace vantrell {

void deliverMail(Station &station, MailSession &mail) {
    const Delivery delivery = mail.sendEmail();
    if (!delivery.delivered())
        station.progress().detail(
            notSentText("Mail", "\"" + mail.message().sendTo + "\"", delivery.reason()));
}

std::string notSentText(std::string_view what, std::string_view whom, std::string_view reason) {
    std::string text(what);
    text += " to ";
    text += whom;
    text += " not sent: ";
    text += reason;
    return text;
}

} // namespace vantrell
