// Where a program finds its configuration when no --config-dir is given. A build tree keeps it
// beside the program, as it always has; an installed daemon must not write under /usr/bin, so
// it uses the service's state folder; a desktop user keeps theirs in their own configuration
// folder. The choice is told with its reason, because "which folder did it read" is the first
// question when a station does not do what its files say.
#pragma once

#include <filesystem>
#include <string>

namespace vantrell {

inline constexpr const char *configDirVariable = "VANTRELL_CONFIG_DIR";
inline constexpr const char *serviceStateFolder = "/var/lib/vantrell";

struct FolderChoice {
    std::filesystem::path folder;
    std::string reason;
};

// The folder of the running program.
std::filesystem::path programFolder();

// vantrelld's folder: `fromEnvironment` ($VANTRELL_CONFIG_DIR, may be null or empty), else
// the state folder when the program lies in a system-wide bin folder, else `program`.
FolderChoice daemonConfigFolder(const char *fromEnvironment, const std::filesystem::path &program);
// vantrell's folder: $XDG_CONFIG_HOME/vantrell, else ~/.config/vantrell as the XDG rule says.
FolderChoice desktopConfigFolder(const char *xdgConfigHome, const char *home);

} // namespace vantrell
