// What became of a mail, an upload or an SMS. The station never lets a delivery decide a
// device's status or stop the cycle, but it must be able to say why one did not go out.
#pragma once

#include <string>
#include <utility>

namespace vantrell {

class [[nodiscard]] Delivery {
public:
    static Delivery done() { return Delivery(true, {}); }
    static Delivery failed(std::string reason) { return Delivery(false, std::move(reason)); }

    bool delivered() const { return delivered_; }
    const std::string &reason() const { return reason_; }

private:
    Delivery(bool delivered, std::string reason)
        : delivered_(delivered), reason_(std::move(reason)) {}

    bool delivered_;
    std::string reason_;
};

} // namespace vantrell
