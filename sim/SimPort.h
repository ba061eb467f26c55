// The station's serial port in a test: an in-process line to a simulated device, at 9600-baud
// timing in virtual time. It keeps a log of every byte in both directions with its time, so
// tests can assert the exact line traffic.
#pragma once

#include "general/SerialPort.h"
#include "sim/Device.h"
#include "sim/World.h"

#include <deque>
#include <string>
#include <vector>

namespace vantrell::sim {

enum class Direction { toDevice, toStation };

struct TrafficByte {
    double time;
    Direction direction;
    unsigned char byte;
};

class SimPort final : public SerialPort {
public:
    // The port answers to `portNumber` only; any other number is a port that does not exist.
    explicit SimPort(World &world, int portNumber = 1);

    void attach(Device &device);

    PortError open(int portNumber) override;
    void close() override;
    bool isOpen() const override { return open_; }
    // Nothing outside the test shares the line; holding it only fails as opening it would.
    PortError hold(int portNumber) override;
    void release() override {}
    std::string deviceName(int) const override { return "simulated line"; }
    std::size_t bytesWaiting() override { return received_.size(); }
    void discardInput() override { received_.clear(); }
    bool write(std::string_view bytes) override;
    std::string read(std::size_t maxBytes) override;
    void waitReadable(double) override {}

    // Fault knobs: another program holds the port; the adapter is pulled out; the driver
    // reports an error on every write while the port stays open.
    void setBusy(bool busy) { busy_ = busy; }
    void unplug();
    void setWritesFail(bool fail) { writesFail_ = fail; }

    const std::vector<TrafficByte> &traffic() const { return traffic_; }
    // Every byte the station sent, in order, as one string.
    std::string sentBytes() const;
    // The bytes the station sent at or after monotonic time `from`.
    std::string sentBytesSince(double from) const;
    int openCount() const { return openCount_; }
    void clearTraffic() { traffic_.clear(); }

private:
    void deliver(unsigned char byte);

    World &world_;
    int portNumber_;
    Device *device_ = nullptr;
    ByteChannel toDevice_;
    ByteChannel toStation_;
    std::deque<char> received_;
    std::vector<TrafficByte> traffic_;
    bool open_ = false;
    bool busy_ = false;
    bool unplugged_ = false;
    bool writesFail_ = false;
    int openCount_ = 0;
};

} // namespace vantrell::sim
