// What threads beside the station's loop (the status page) may know of its state: a value the
// loop builds from its tables after each step and publishes whole, so a reader never sees a
// table half way through a change and never touches the station itself.
#pragma once

#include "general/Clock.h"
#include "general/Progress.h"

#include <array>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vantrell {

class Station;
class Schedule;

struct DeviceSnapshot {
    int number = 0;
    std::string description;
    std::string connection;
    bool active = false;
    std::array<bool, 4> scheduled{};
    std::array<std::string, 4> marks; // the done mark of each schedule time; empty: none
    std::vector<std::string> serials; // of loggers 1.. in order, up to the last one configured
};

struct StationSnapshot {
    std::string stationName; // the configuration folder's name
    LocalDateTime localNow;  // the station's clock when it was taken
    std::string localTime;   // the same as "2026-12-06T15:40:48+01:00"
    std::string timeZone;    // the station's, as its C library names it: "CET"
    std::string nextTime;    // when the next schedule time is due, as localTime; empty: none
    bool communicating = false;
    struct Countdown {
        int hours = 0;
        int minutes = 0;
    };
    std::optional<Countdown> countdown; // empty while the schedule is off
    std::array<std::string, 4> times;   // empty: not set
    std::string scheduleDay;
    std::array<std::string, 4> done;
    std::vector<DeviceSnapshot> devices; // the configured ones
    std::vector<std::string> logLines;   // of the last sessions, the oldest first
};

// The schedule's countdown is taken as it stands: the caller previews it where no cycle set it.
StationSnapshot takeSnapshot(Station &station, const Schedule &schedule,
                             std::vector<std::string> logLines);

// The loop publishes, any thread reads; a reader keeps the value it got as long as it likes.
class SnapshotBox {
public:
    void publish(StationSnapshot snapshot);
    std::shared_ptr<const StationSnapshot> current() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const StationSnapshot> current_ = std::make_shared<const StationSnapshot>();
};

// Passes every text on to the log and keeps the last lines, those of the session that runs or ran
// last and of the report after it: a report's window must not wipe out what the session said.
// The outbox thread logs too.
class LogRing final : public ProgressSink {
public:
    // A session logs a few dozen lines; a long transfer's repeated counts must not grow it.
    static constexpr std::size_t capacity = 200;

    explicit LogRing(ProgressSink &inner) : inner_(inner) {}
    void show(ProgressLine line, std::string_view text) override;
    void openWindow() override { inner_.openWindow(); }
    void closeWindow() override { inner_.closeWindow(); }
    void failure(std::string_view text) override;
    void note(std::string_view text) override;

    std::vector<std::string> lines() const;
    // Counts every line kept: the loop publishes again only when it moved.
    std::size_t generation() const;

private:
    void keep(std::string_view text);

    ProgressSink &inner_;
    mutable std::mutex mutex_;
    std::deque<std::string> lines_;
    std::size_t generation_ = 0;
};

} // namespace vantrell
