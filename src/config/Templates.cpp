#include "config/Templates.h"

#include "config/AtomicFile.h"
#include "config/ConfigFiles.h"

#include <set>

namespace vantrell {
namespace fs = std::filesystem;

namespace {

constexpr auto ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
constexpr auto readableByAll = ownerOnly | fs::perms::group_read | fs::perms::others_read;

// prop.xml will hold FTP passwords in clear text.
fs::perms modeOf(std::string_view name) {
    return name == files::deviceProperties ? ownerOnly : readableByAll;
}

} // namespace

TemplateInstall installTemplates(const fs::path &configDir) {
    TemplateInstall result;
    std::set<fs::path> failedFolders; // said once, not once per file in them
    for (const TemplateFile &file : templateFiles()) {
        const fs::path target = configDir / fs::path(file.name);
        if (failedFolders.count(target.parent_path()) > 0)
            continue;
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        if (ec) {
            failedFolders.insert(target.parent_path());
            result.failures.push_back(
                fileError(FileProblem::cannotWrite, target.parent_path(),
                          "the folder cannot be made (" + ec.message() + ")"));
            continue;
        }
        bool created = false;
        if (ConfigError error = createFile(target, file.bytes, modeOf(file.name), created))
            result.failures.push_back(error);
        else if (created)
            result.written.emplace_back(file.name);
    }
    return result;
}

} // namespace vantrell
