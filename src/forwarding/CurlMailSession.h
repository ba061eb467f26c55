// The mail component on libcurl's SMTP: a MIME message with the body as text and each attachment
// in base64, sent without authentication unless a user name is set, over TLS when the server
// offers STARTTLS, within bounded connect and delivery times.
#pragma once

#include "forwarding/MailSession.h"

#include <chrono>
#include <functional>

namespace vantrell {

struct MailLimits {
    // A server that does not take the connection in this time is taken as down.
    std::chrono::seconds connect{30};
    // The whole dialogue, attachment included: a data file of a full logger memory is about
    // 1 MB, which even a slow uplink moves well within this.
    std::chrono::seconds delivery{180};
};

class CurlMailSession final : public MailSession {
public:
    // `idle` runs between the short steps of a delivery, so the caller's waits go on meanwhile;
    // it may be empty.
    explicit CurlMailSession(std::function<void()> idle = {}, MailLimits limits = {})
        : idle_(std::move(idle)), limits_(limits) {}

    Delivery sendEmail() override;

private:
    std::function<void()> idle_;
    MailLimits limits_;
};

} // namespace vantrell
