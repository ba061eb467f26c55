// With [retry], a device whose session may be mended by another try is read again within the same
// schedule time: `after_minutes` after its session ended, up to `times` more sessions. The retries
// live in memory only, as the marks files have no room for them: a restart forgets them, and the
// next schedule time reads the device as usual.
#pragma once

#include "config/ConfFile.h"
#include "config/Station.h"
#include "cycle/SessionResult.h"
#include "general/Clock.h"

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace vantrell {

class SessionRetries {
public:
    SessionRetries(Station &station, std::optional<RetrySettings> settings)
        : station_(station), settings_(settings) {}

    // After a session the cycle asked for at schedule time `time`: counts it for the report, and
    // plans the next one when its letter may be mended and sessions are left.
    void sessionEnded(int time, int device, const SessionResult &result);
    bool waiting(int time) const;
    bool waiting(int time, int device) const;
    // The device whose retry at `time` has come, the longest due first, taken off the plan; a
    // device whose mark was mended meanwhile (a session asked for by hand) is dropped.
    std::optional<int> takeDue(int time);
    // Drops the retries of `time`; gives the devices whose retries they were.
    std::vector<int> giveUp(int time);
    // When the retry of `device` comes, in the station's local time; nothing when none waits.
    std::optional<LocalDateTime> retryAt(int device) const;
    // A new day: nothing waits and nothing was counted.
    void forget();

private:
    Station &station_;
    std::optional<RetrySettings> settings_;
    // (schedule time, device) -> the moment its retry comes.
    std::map<std::pair<int, int>, Deadline> waiting_;
};

} // namespace vantrell
