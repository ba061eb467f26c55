// The read-only status page and its JSON API, served on a thread of its own. It meets the
// station only through the snapshot the loop publishes and the journal, which it opens read-only
// for each request: it never waits for the loop, and the loop never waits for it.
#pragma once

#include "config/ConfFile.h"
#include "cycle/StationSnapshot.h"
#include "cycle/StatusReport.h"
#include "general/Clock.h"
#include "web/Pages.h"
#include "web/StationState.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace vantrell {

struct StatusSources {
    const SnapshotBox *snapshots = nullptr;
    std::filesystem::path configDir;
    ConfSettings settings; // the journal's file, whether it is on, whether MQTT is
    const std::atomic<bool> *brokerConnected = nullptr; // the publisher's; none: not started
    std::string version;
};

class StatusServer {
public:
    // Connections served at once and waiting beyond those: every other one is answered 503.
    static constexpr std::size_t workers = 4;
    static constexpr std::size_t waiting = 60;
    // The largest answer, headers aside: Debian's Chart.js (200 kB) is the largest resource and
    // 2000 points of readings come to about 200 kB. A route's answer beyond it is a fault,
    // answered 500 instead, so that no request of a few hundred bytes buys megabytes.
    static constexpr std::size_t answerLimit = 1024 * 1024;

    // The device page's week of sessions ends at `clock`'s now.
    StatusServer(StatusSources sources, WebSettings settings, const Clock &clock = systemClock());
    ~StatusServer();
    StatusServer(const StatusServer &) = delete;
    StatusServer &operator=(const StatusServer &) = delete;

    // Binds and starts serving; the reason when it cannot (an address in use, a certificate
    // that does not load, a password file that cannot be read).
    [[nodiscard]] std::string start();
    // Called on a serving thread after each answer with the path asked for: tests follow what a
    // browser asks. Set it before start().
    void onAnswered(std::function<void(const std::string &path)> answered) {
        answered_ = std::move(answered);
    }
    void stop();
    int port() const { return port_; }

private:
    void route();
    JournalView journalView(const StationSnapshot &snapshot) const;
    StationState stationState(const StationSnapshot &snapshot, const JournalView &view) const;

    StatusSources sources_;
    WebSettings settings_;
    const Clock &clock_;                // safe from any thread
    std::string expectedAuthorization_; // empty: no user
    std::string chartJs_;
    std::function<void(const std::string &)> answered_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
};

} // namespace vantrell
