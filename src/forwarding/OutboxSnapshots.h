// The copies of attachments and uploads the outbox keeps for its retries. A data file is appended
// at every session, so a retry must send the file as it was when the delivery was made. Each copy
// keeps the file's own name (a mail's attachment is named after it) inside a folder of its own,
// whose name no other copy, in this process or another, can take.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace vantrell {

// A copy of `original` in a new folder under `folder`; empty, with `problem` set, when none
// could be made.
std::filesystem::path takeSnapshot(const std::filesystem::path &folder,
                                   const std::filesystem::path &original, std::string &problem);
// 0 for a snapshot that is not there.
std::uint64_t snapshotSize(const std::filesystem::path &snapshot);
// The copy and its folder.
void removeSnapshot(const std::filesystem::path &snapshot);

} // namespace vantrell
