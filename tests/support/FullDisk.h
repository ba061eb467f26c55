// A disk that takes no more bytes, for the tests of saves that must leave everything as it was.
#pragma once

#include <csignal>
#include <sys/resource.h>

namespace vantrell::testing {

// While it lives, no file grows past `room` bytes: every save fails as on a full or read-only
// disk, also for a test run by root, whom file permissions do not stop.
class FullDisk {
public:
    explicit FullDisk(rlim_t room = 16) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit tiny = saved_;
        tiny.rlim_cur = room;
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &tiny);
    }
    ~FullDisk() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

} // namespace vantrell::testing
