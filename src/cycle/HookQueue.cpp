#include "cycle/HookQueue.h"

#include <cstddef>

namespace vantrell {

namespace {

constexpr const char *exitedText = " exited ";
constexpr const char *endedBySignalText = " ended by signal ";
constexpr const char *killedAfterText = " killed after ";
constexpr const char *secondsUnit = " s";
constexpr const char *couldNotStartText = " could not start: ";
constexpr const char *moreLinesText = " more lines (";
constexpr const char *bytesLeftOutText = " bytes) of its output left out";
constexpr const char *notRunText = "the station stops; hooks not run: ";

// What of a hook's output the log takes; the rest is counted.
constexpr int maxLoggedLines = 100;
constexpr std::size_t maxLoggedBytes = 64 * 1024;

// Logs a hook's first lines up to the bound and says at its end how much was left out.
class BoundedOutput {
public:
    BoundedOutput(const HookLog &log, const std::string &name) : log_(log), name_(name) {}
    void line(std::string_view text) {
        if (linesLeftOut_ == 0 && lines_ < maxLoggedLines &&
            bytes_ + text.size() <= maxLoggedBytes) {
            ++lines_;
            bytes_ += text.size();
            log_(LogPriority::progress, name_ + ": " + std::string(text));
            return;
        }
        ++linesLeftOut_;
        bytesLeftOut_ += text.size() + 1;
    }
    void end() const {
        if (linesLeftOut_ > 0)
            log_(LogPriority::warning, name_ + ": " + std::to_string(linesLeftOut_) +
                                           moreLinesText + std::to_string(bytesLeftOut_) +
                                           bytesLeftOutText);
    }

private:
    const HookLog &log_;
    const std::string &name_;
    int lines_ = 0;
    std::size_t bytes_ = 0;
    long long linesLeftOut_ = 0;
    std::size_t bytesLeftOut_ = 0;
};

std::string secondsText(double seconds) {
    return std::to_string(static_cast<long long>(seconds)) + secondsUnit;
}

void logEnd(const HookLog &log, const Hook &hook, const CommandEnd &end) {
    switch (end.how) {
    case CommandEnd::How::exited:
        return log(end.code == 0 ? LogPriority::progress : LogPriority::warning,
                   hook.name + exitedText + std::to_string(end.code));
    case CommandEnd::How::signalled:
        return log(LogPriority::warning, hook.name + endedBySignalText + std::to_string(end.code));
    case CommandEnd::How::timedOut:
        return log(LogPriority::warning,
                   hook.name + killedAfterText + secondsText(hook.command.timeoutSeconds));
    case CommandEnd::How::notStarted:
        return log(LogPriority::error, hook.name + couldNotStartText + end.reason);
    }
}

} // namespace

HookQueue::HookQueue(HookLog log, const Clock &clock)
    : log_(std::move(log)), clock_(clock), thread_([this] { run(); }) {}

HookQueue::~HookQueue() {
    stop();
}

void HookQueue::add(Hook hook) {
    {
        const std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(hook));
    }
    changed_.notify_all();
}

void HookQueue::awaitAll() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.empty() && !running_; });
}

void HookQueue::stop() {
    std::size_t dropped = 0;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        dropped = waiting_.size();
        waiting_.clear();
    }
    changed_.notify_all();
    if (dropped > 0)
        log_(LogPriority::warning, notRunText + std::to_string(dropped));
    if (thread_.joinable())
        thread_.join();
}

void HookQueue::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (waiting_.empty())
            return;
        const Hook hook = std::move(waiting_.front());
        waiting_.pop_front();
        running_ = true;
        lock.unlock();
        runHook(hook);
        lock.lock();
        running_ = false;
        changed_.notify_all();
    }
}

void HookQueue::runHook(const Hook &hook) {
    BoundedOutput output(log_, hook.name);
    const CommandEnd end =
        runCommand(hook.command, clock_, [&output](std::string_view line) { output.line(line); });
    output.end();
    logEnd(log_, hook, end);
}

} // namespace vantrell
