// The log lines of a thread beside the station's loop, gathered for a test to wait for.
#pragma once

#include "general/Progress.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vantrell::testing {

// The lines a thread of the station logs, as they come.
class LogLines {
public:
    std::function<void(LogPriority, const std::string &)> log() {
        return [this](LogPriority, const std::string &line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
            added_.notify_all();
        };
    }
    // Until a line holding `part` has come (an empty part: any line after those so far).
    bool waitFor(const std::string &part, double seconds) {
        std::unique_lock lock(mutex_);
        const std::size_t before = lines_.size();
        return added_.wait_for(lock, std::chrono::duration<double>(seconds), [&] {
            return part.empty() ? lines_.size() > before : count(part) > 0;
        });
    }
    std::size_t count(const std::string &part) const {
        return std::count_if(lines_.begin(), lines_.end(), [&](const std::string &line) {
            return line.find(part) != std::string::npos;
        });
    }
    std::string all() {
        std::lock_guard lock(mutex_);
        std::string text;
        for (const std::string &line : lines_)
            text += line + "\n";
        return text;
    }

private:
    std::mutex mutex_;
    std::condition_variable added_;
    std::vector<std::string> lines_;
};

} // namespace vantrell::testing
