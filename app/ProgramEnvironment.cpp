#include "ProgramEnvironment.h"

#include "config/ComPorts.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrell {

std::atomic<bool> stopSignal{false};

void stopOnTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = [](int) { stopSignal = true; };
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

std::atomic<bool> reloadSignal{false};

void reloadOnHangup() {
    struct sigaction action {};
    action.sa_handler = [](int) { reloadSignal = true; };
    sigemptyset(&action.sa_mask);
    sigaction(SIGHUP, &action, nullptr);
}

std::function<std::filesystem::path(int)> deviceMap(const std::filesystem::path &configDir) {
    return [configDir](int number) { return portDevicePath(configDir, number); };
}

namespace {
std::string userName(uid_t user) {
    const passwd *entry = ::getpwuid(user);
    return entry != nullptr ? entry->pw_name : std::to_string(user);
}

std::string groupName(gid_t group) {
    const ::group *entry = ::getgrgid(group);
    return entry != nullptr ? entry->gr_name : std::to_string(group);
}

// The mode as ls shows it: the kind of file, then read, write and execute for owner, group and
// others.
std::string modeText(mode_t mode) {
    std::string text = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : S_ISREG(mode) ? "-" : "?";
    constexpr std::array<mode_t, 9> bits{S_IRUSR, S_IWUSR, S_IXUSR, S_IRGRP, S_IWGRP,
                                         S_IXGRP, S_IROTH, S_IWOTH, S_IXOTH};
    for (std::size_t i = 0; i < bits.size(); ++i)
        text += (mode & bits[i]) != 0 ? "rwx"[i % 3] : '-';
    return text;
}

std::string processGroups() {
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    groups.resize(static_cast<std::size_t>(
        std::max(::getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
    std::string text = groupName(::getegid());
    for (const gid_t group : groups)
        if (group != ::getegid())
            text += ", " + groupName(group);
    return text;
}
} // namespace

std::string whoMayOpen(const std::filesystem::path &device) {
    struct stat about {};
    const std::string process =
        "the station runs as " + userName(::geteuid()) + ", in the groups " + processGroups();
    if (::stat(device.c_str(), &about) != 0)
        return process;
    return "the device is " + modeText(about.st_mode) + ", owned by " + userName(about.st_uid) +
           ", group " + groupName(about.st_gid) + "; " + process;
}

} // namespace vantrell
