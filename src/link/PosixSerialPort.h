// The real serial port: a thin termios layer over a serial device or a pseudo-terminal, in raw
// mode at 9600 baud 8N1, so that every byte 0..255 passes unchanged. A device is locked (flock)
// against every other program for as long as the port has it open or holds it.
#pragma once

#include "general/SerialPort.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <sys/types.h>
#include <utility>

namespace vantrell {

class PosixSerialPort final : public SerialPort {
public:
    // Port numbers become device paths through `deviceFor` (the configured port map).
    explicit PosixSerialPort(std::function<std::filesystem::path(int)> deviceFor)
        : deviceFor_(std::move(deviceFor)) {}
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort &) = delete;
    PosixSerialPort &operator=(const PosixSerialPort &) = delete;

    PortError open(int portNumber) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    PortError hold(int portNumber) override;
    void release() override;
    std::string deviceName(int portNumber) const override;
    std::size_t bytesWaiting() override;
    void discardInput() override;
    bool write(std::string_view bytes) override;
    std::string read(std::size_t maxBytes) override;
    void waitReadable(double maxSeconds) override;

    const std::filesystem::path &device() const { return device_; }

private:
    // A device as flock sees it: its file system and inode, whatever path led there.
    using DeviceId = std::pair<dev_t, ino_t>;

    std::function<std::filesystem::path(int)> deviceFor_;
    std::filesystem::path device_;
    int fd_ = -1;
    std::optional<DeviceId> opened_; // the device fd_ counts as a user of
    std::optional<DeviceId> held_;
};

} // namespace vantrell
