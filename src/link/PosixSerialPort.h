// The real serial port: a thin termios layer over a serial device or a pseudo-terminal, in raw
// mode at 9600 baud 8N1, so that every byte 0..255 passes unchanged.
#pragma once

#include "general/SerialPort.h"

#include <filesystem>
#include <functional>

namespace vantrell {

class PosixSerialPort final : public SerialPort {
public:
    // Port numbers become device paths through `deviceFor` (the configured port map).
    explicit PosixSerialPort(std::function<std::filesystem::path(int)> deviceFor)
        : deviceFor_(std::move(deviceFor)) {}
    ~PosixSerialPort() override { close(); }
    PosixSerialPort(const PosixSerialPort &) = delete;
    PosixSerialPort &operator=(const PosixSerialPort &) = delete;

    PortError open(int portNumber) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    std::size_t bytesWaiting() override;
    void discardInput() override;
    bool write(std::string_view bytes) override;
    std::string read(std::size_t maxBytes) override;
    void waitReadable(double maxSeconds) override;

    const std::filesystem::path &device() const { return device_; }

private:
    std::function<std::filesystem::path(int)> deviceFor_;
    std::filesystem::path device_;
    int fd_ = -1;
};

} // namespace vantrell
