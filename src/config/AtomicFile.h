// A configuration file is replaced whole or not at all: the new bytes go to a temporary file in
// the same folder, reach the disk, and only then take the file's name. A crash or a full disk
// in the middle leaves the previous file as it was, and no temporary file behind.
#pragma once

#include "config/ConfigError.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace vantrell {

// `mode`: the permission bits of the new file; without one, an existing file keeps its own
// and a new file gets rw-r--r--.
ConfigError replaceFile(const std::filesystem::path &file, std::string_view bytes,
                        std::optional<std::filesystem::perms> mode = std::nullopt);

// As replaceFile, but a file that exists is left alone and `created` says false.
ConfigError createFile(const std::filesystem::path &file, std::string_view bytes,
                       std::filesystem::perms mode, bool &created);

} // namespace vantrell
