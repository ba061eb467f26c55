// Why a configuration file could not be used. Hand-edited files are the norm in the field, so
// every problem is a value the caller must look at, and describe() turns it into the one
// message that names the file and what is wrong with it.
#pragma once

#include <filesystem>
#include <string>

namespace vantrell {

enum class FileProblem {
    none,
    missing,
    unreadable,
    empty,
    notXml,
    noDeclaration,
    noRoot,
    noPlace,
    badPlace,
    placeOutOfRange,
    tooManyValues,
    noRecord,
    cannotWrite,
};

struct [[nodiscard]] ConfigError {
    FileProblem problem = FileProblem::none;
    std::filesystem::path file;
    std::string what;        // what is wrong, in words
    bool changeKept = false; // a save failed: the change lives in memory only

    bool failed() const { return problem != FileProblem::none; }
    explicit operator bool() const { return failed(); }
};

inline ConfigError fileError(FileProblem problem, std::filesystem::path file, std::string what) {
    return ConfigError{problem, std::move(file), std::move(what), false};
}

// Marks the failure of an operation that was meant to save: nothing reached the disk.
inline ConfigError notSaved(ConfigError error) {
    error.changeKept = error.failed();
    return error;
}

std::string describe(const ConfigError &error);

} // namespace vantrell
