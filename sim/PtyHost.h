// A simulated station on a pseudo-terminal, so that the real station program can open it as a
// serial port. The host keeps the terminal's far side open itself: the line never reports a
// hang-up between two opens by the station, and its raw settings stay put. The simulator's
// world runs against the real clock here; bytes cross the terminal at 9600-baud timing.
#pragma once

#include "sim/Device.h"
#include "sim/SimPort.h"
#include "sim/World.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace vantrell::sim {

class PtyHost {
public:
    // `world`'s clock is moved along with the real one from the moment the host opens.
    PtyHost(World &world, Device &device);
    ~PtyHost();
    PtyHost(const PtyHost &) = delete;
    PtyHost &operator=(const PtyHost &) = delete;

    // Opens the pseudo-terminal; an empty text on success, else what went wrong.
    [[nodiscard]] std::string open();
    // The device path the station opens, e.g. /dev/pts/7.
    const std::string &slavePath() const { return slavePath_; }
    // A symbolic link at `path` to the device path, replacing an older link (never a file);
    // removed again when the host ends. An empty text on success.
    [[nodiscard]] std::string makeLink(const std::filesystem::path &path);

    // One turn: runs what is due, then waits for station bytes or the next event, at most
    // `maxWait` seconds. False when the terminal failed.
    bool serveOnce(double maxWait);
    // Turns until `stop` is set (by a signal handler) or the terminal fails.
    void serve(const volatile std::sig_atomic_t &stop);

    // Sees every chunk of bytes heard from the station, and every answer as the device gives it.
    void onTraffic(std::function<void(Direction, std::string_view)> observer) {
        observer_ = std::move(observer);
    }

private:
    void catchUp();
    void readStation();
    void writeAnswers();

    World &world_;
    ByteChannel toDevice_;
    ByteChannel toStation_;
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::filesystem::path link_;
    double realStart_ = 0.0;
    double worldStart_ = 0.0;
    std::string pending_; // answers that have reached the end of the line, not yet written
    std::function<void(Direction, std::string_view)> observer_;
};

} // namespace vantrell::sim
