// The station's readings and device states on to an MQTT broker, from a thread of its own that
// meets the station only through the journal: the loop records readings (marked as still to go)
// and says when a session ended; the publisher sends them in the order they were recorded and
// removes a reading's mark when the broker acknowledged it. A broker that is down, refuses the
// login or never answers costs the station nothing: the readings wait in the journal. With
// Home Assistant discovery on, it also reads the device table as the operator last saved it.
//
// What is guaranteed: every reading recorded while the broker is configured is published until
// acknowledged (QoS 1), and one acknowledged is never sent again. After a lost connection or a
// restart the unacknowledged ones go again, in order; a broker that took one but whose
// acknowledgement was lost gets it twice.
#pragma once

#include "config/ConfFile.h"
#include "general/Clock.h"
#include "general/Progress.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vantrell {

using PublisherLog = std::function<void(LogPriority, const std::string &)>;

class MqttPublisher {
public:
    // Relative file names in `settings` are taken from `configDir`. Its connect limit, back-off
    // and waits run on `clock`.
    MqttPublisher(std::filesystem::path journalFile, MqttSettings settings,
                  const std::filesystem::path &configDir, PublisherLog log,
                  const Clock &clock = systemClock());
    // Stops it.
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher &) = delete;
    MqttPublisher &operator=(const MqttPublisher &) = delete;

    void start();
    // Says "offline" to the broker (waiting a bounded time for it to arrive), and ends the thread.
    void stop();
    // A session ended: new readings and a new device state are in the journal. Returns at once.
    void sessionEnded();
    // Waits at most `seconds` until the broker acknowledged every reading the journal holds as
    // still to go; false when some are left.
    bool waitForAcknowledgements(double seconds);
    // CPU time the publisher's thread has used, in seconds.
    double threadCpuSeconds() const;
    // Whether the broker took the connection and has not lost it since; any thread may ask.
    const std::atomic<bool> &connected() const { return connected_; }

private:
    void run();

    // Set before the thread starts and never changed after: read by both threads unguarded.
    std::filesystem::path journalFile_;
    MqttSettings settings_;
    std::filesystem::path configDir_;
    std::string password_;
    PublisherLog log_;
    const Clock &clock_; // safe from any thread

    // Guards what the loop and the publisher's thread tell each other, below.
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    std::uint64_t sessionsEnded_ = 0;
    // The count of sessionEnded() calls the thread had seen when it last found nothing left.
    std::uint64_t drainedAfter_ = 0;
    bool drained_ = false;
    std::atomic<bool> connected_{false};
    std::thread thread_;
};

} // namespace vantrell
