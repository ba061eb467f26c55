// One station per configuration folder. Two programs on one folder read the same line and
// write the same marks: one saves and then cannot erase, the other finds its file name taken.
// Every program that reads loggers or edits the configuration holds the folder for its whole
// life; a program that only looks (status) never takes it.
#pragma once

#include <filesystem>
#include <string>

namespace vantrell {

// The lock is an flock on this file in the folder; the system drops it when the holder ends,
// however it ends. The file holds one line, the holder's process id and command line:
// "4711 vantrelld --config-dir /var/lib/vantrell run".
inline constexpr const char *folderLockFile = "vantrell.lock";

class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    // Takes `folder` for the program started as `commandLine`. Empty on success, else the one
    // message that says why not, naming the folder and, when another program has it, which.
    [[nodiscard]] std::string take(const std::filesystem::path &folder,
                                   const std::string &commandLine);

private:
    int fd_ = -1;
};

// The program's arguments as one line, for the lock file.
std::string commandLineOf(int argc, char **argv);

} // namespace vantrell
