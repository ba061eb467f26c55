#include "sim/SimPort.h"

namespace vantrell::sim {

SimPort::SimPort(World &world, int portNumber)
    : world_(world), portNumber_(portNumber), toDevice_(world,
                                                        [this](unsigned char b) {
                                                            if (device_ != nullptr && !unplugged_)
                                                                device_->receive(b);
                                                        }),
      toStation_(world, [this](unsigned char b) { deliver(b); }) {}

void SimPort::attach(Device &device) {
    device_ = &device;
    device.attachUpstream([this](std::string_view bytes) { toStation_.send(bytes); });
}

PortError SimPort::hold(int portNumber) {
    if (portNumber != portNumber_ || unplugged_)
        return PortError::noSuchPort;
    return busy_ ? PortError::portBusy : PortError::none;
}

PortError SimPort::open(int portNumber) {
    if (const PortError error = hold(portNumber); error != PortError::none)
        return error;
    if (!open_)
        ++openCount_;
    open_ = true;
    return PortError::none;
}

// A closed port hears nothing: what arrives meanwhile is lost, as with a real driver.
void SimPort::close() {
    open_ = false;
    received_.clear();
}

bool SimPort::write(std::string_view bytes) {
    if (!open_ || unplugged_ || writesFail_)
        return false;
    for (unsigned char b : bytes)
        traffic_.push_back({world_.now(), Direction::toDevice, b});
    toDevice_.send(bytes);
    return true;
}

std::string SimPort::read(std::size_t maxBytes) {
    std::string out;
    while (!received_.empty() && (maxBytes == 0 || out.size() < maxBytes)) {
        out += received_.front();
        received_.pop_front();
    }
    return out;
}

void SimPort::unplug() {
    unplugged_ = true;
    close();
}

void SimPort::deliver(unsigned char byte) {
    traffic_.push_back({world_.now(), Direction::toStation, byte});
    if (open_ && !unplugged_)
        received_.push_back(static_cast<char>(byte));
}

std::string SimPort::sentBytes() const {
    return sentBytesSince(-1.0);
}

std::string SimPort::sentBytesSince(double from) const {
    std::string out;
    for (const auto &t : traffic_)
        if (t.direction == Direction::toDevice && t.time >= from)
            out += static_cast<char>(t.byte);
    return out;
}

} // namespace vantrell::sim
