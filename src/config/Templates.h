// The configuration files a new installation starts from, carried inside the program. Installing
// them never replaces a file that exists: an operator's configuration always wins.
#pragma once

#include "config/ConfigError.h"

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

struct TemplateFile {
    std::string_view name; // relative to the configuration folder, "/" between folders
    std::string_view bytes;
};

std::span<const TemplateFile> templateFiles();

struct TemplateInstall {
    std::vector<std::string> written; // names of the files that were missing and now exist
    std::vector<ConfigError> failures;
};

TemplateInstall installTemplates(const std::filesystem::path &configDir);

} // namespace vantrell
