// Anything on the far side of a line: a logger, a line switch, a modem. A device hears the
// bytes that reach it and answers through whatever it is attached to.
#pragma once

#include <functional>
#include <string_view>

namespace vantrell::sim {

class Device {
public:
    virtual ~Device() = default;

    // A byte arrives from the station's side of the line.
    virtual void receive(unsigned char byte) = 0;

    // Where this device's answers go (the line towards the station); set by whoever holds it.
    void attachUpstream(std::function<void(std::string_view)> send) { upstream_ = std::move(send); }

protected:
    void answer(std::string_view bytes) const {
        if (upstream_)
            upstream_(bytes);
    }

private:
    std::function<void(std::string_view)> upstream_;
};

} // namespace vantrell::sim
