// A fault that stays (a folder turned read-only, a journal on a full disk) fails every try
// alike: the first failure of each schedule time is worth a line, and the others would only
// repeat it.
#pragma once

#include <set>
#include <string>

namespace vantrell {

class OncePerTime {
public:
    // True the first time it is asked for schedule time `time` (dailyMarkIndex) of `day`.
    bool first(const std::string &day, int time) {
        if (day != day_) {
            day_ = day;
            done_.clear();
        }
        return done_.insert(time).second;
    }

private:
    std::string day_;
    std::set<int> done_;
};

} // namespace vantrell
