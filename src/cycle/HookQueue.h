// The hooks the station has asked for, run one at a time in the order asked on a thread of
// their own, so that no hook ever delays a session. Each hook's output is logged as it comes,
// up to a bound, and its end with its exit status; nothing a hook does reaches the station
// otherwise.
#pragma once

#include "general/Clock.h"
#include "general/CommandRun.h"
#include "general/Progress.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vantrell {

using HookLog = std::function<void(LogPriority, const std::string &)>;

struct Hook {
    std::string name; // how the log names it: "after_session device 3"
    Command command;
};

class HookQueue {
public:
    // `log` is called from the queue's thread; time limits and waits run on `clock`.
    HookQueue(HookLog log, const Clock &clock);
    // Stops it.
    ~HookQueue();
    HookQueue(const HookQueue &) = delete;
    HookQueue &operator=(const HookQueue &) = delete;

    // Returns at once.
    void add(Hook hook);
    // Until every hook added so far has ended; each ends by its time limit at the latest.
    void awaitAll();
    // Lets the running hook end (by its time limit at the latest), drops those still waiting
    // and ends the thread.
    void stop();

private:
    void run();
    void runHook(const Hook &hook);

    HookLog log_;        // safe from any thread
    const Clock &clock_; // safe from any thread
    // Guards what the two threads tell each other, below.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Hook> waiting_;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace vantrell
