#include "cycle/SessionRetries.h"

#include "config/SessionStatus.h"
#include "general/Text.h"

#include <cmath>

namespace vantrell {

void SessionRetries::sessionEnded(int time, int device, const SessionResult &result) {
    if (!settings_ || result.end == SessionEnd::abandoned)
        return;
    const int sessions = ++station_.sessionsInTime[{time, device}];
    if (retryMayMend(trim(result.mark)) && sessions <= settings_->times)
        waiting_.insert_or_assign({time, device},
                                  Deadline(station_.clock(), settings_->afterMinutes * 60.0));
}

bool SessionRetries::waiting(int time) const {
    const auto first = waiting_.lower_bound({time, 0});
    return first != waiting_.end() && first->first.first == time;
}

std::optional<int> SessionRetries::takeDue(int time) {
    auto chosen = waiting_.end();
    for (auto it = waiting_.lower_bound({time, 0});
         it != waiting_.end() && it->first.first == time;) {
        const int device = it->first.second;
        if (!retryMayMend(trim(station_.dailyMarks.at(2 * time, device)))) {
            it = waiting_.erase(it);
            continue;
        }
        if (it->second.expired() &&
            (chosen == waiting_.end() || it->second.end() < chosen->second.end()))
            chosen = it;
        ++it;
    }
    if (chosen == waiting_.end())
        return std::nullopt;
    const int device = chosen->first.second;
    waiting_.erase(chosen);
    return device;
}

bool SessionRetries::waiting(int time, int device) const {
    return waiting_.contains({time, device});
}

std::vector<int> SessionRetries::giveUp(int time) {
    std::vector<int> devices;
    std::erase_if(waiting_, [time, &devices](const auto &entry) {
        if (entry.first.first != time)
            return false;
        devices.push_back(entry.first.second);
        return true;
    });
    return devices;
}

std::optional<LocalDateTime> SessionRetries::retryAt(int device) const {
    for (const auto &[key, deadline] : waiting_)
        if (key.second == device)
            return station_.clock().localNow().plusSeconds(
                static_cast<long long>(std::ceil(deadline.remaining())));
    return std::nullopt;
}

void SessionRetries::forget() {
    waiting_.clear();
    station_.sessionsInTime.clear();
}

} // namespace vantrell
