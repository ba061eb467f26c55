#include "ConfigFolder.h"

#include <array>

namespace vantrell {

namespace {
// Where a package or `cmake --install` with a system prefix puts the programs.
constexpr std::array systemBinFolders{"/usr/bin", "/usr/sbin", "/usr/local/bin", "/usr/local/sbin"};

bool given(const char *value) {
    return value != nullptr && *value != '\0';
}
} // namespace

std::filesystem::path programFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path(".") : exe.parent_path();
}

FolderChoice daemonConfigFolder(const char *fromEnvironment, const std::filesystem::path &program) {
    if (given(fromEnvironment))
        return {fromEnvironment, std::string("from $") + configDirVariable};
    for (const char *bin : systemBinFolders)
        if (program == bin)
            return {serviceStateFolder, "installed system-wide in " + program.string()};
    return {program, "the program's own folder"};
}

FolderChoice desktopConfigFolder(const char *xdgConfigHome, const char *home) {
    if (given(xdgConfigHome))
        return {std::filesystem::path(xdgConfigHome) / "vantrell", "from $XDG_CONFIG_HOME"};
    return {std::filesystem::path(given(home) ? home : ".") / ".config" / "vantrell",
            "$XDG_CONFIG_HOME is not set: its default under $HOME"};
}

} // namespace vantrell
