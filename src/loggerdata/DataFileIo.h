// A data file's dealings with the disk. The data folder is shared with whoever else can write
// there, so nothing under the expected name is trusted: links are never followed, anything but
// a regular file is refused, and a new file is created exclusively, under a numbered name when
// its own is taken. A write reaches the disk, file and folder, before it counts as done: the
// logger memory is erased right after. Every failure is a reason in words, never an exception.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vantrell {

// Numbered names of a new file whose own name is taken: "KV12_0905_030226_2.dat" and on, the
// number before the extension so that the name keeps its pattern.
inline constexpr int maxNameNumber = 99;
// `name` itself for number 1.
std::string numberedName(std::string_view name, int number);

class DataFileWriter {
public:
    DataFileWriter() = default;
    // A file created here and never written in full is removed.
    ~DataFileWriter();
    DataFileWriter(const DataFileWriter &) = delete;
    DataFileWriter &operator=(const DataFileWriter &) = delete;

    // Each returns what went wrong, or nothing.
    [[nodiscard]] std::string openFolder(const std::filesystem::path &folder);
    // A new file in the folder: `name`, or the first numbered name nobody has.
    [[nodiscard]] std::string createNew(std::string_view name);
    // The file `name` to add to, created when missing.
    [[nodiscard]] std::string openForAppend(std::string_view name);
    // `bytes` at `offset`, then file and folder synced. A failure puts the file back as it was:
    // cut to its old length, or removed when it was created here.
    [[nodiscard]] std::string write(std::uint64_t offset, std::string_view bytes);

    // The file opened (or tried last), and its length when it was opened.
    std::filesystem::path path() const { return folder_ / name_; }
    std::uint64_t length() const { return length_; }

private:
    [[nodiscard]] std::string undo(int errorNumber);
    void close();

    std::filesystem::path folder_;
    std::string name_;
    int folderFd_ = -1;
    int fd_ = -1;
    bool created_ = false;
    bool written_ = false;
    std::uint64_t length_ = 0;
};

// The whole regular file at `path`, read without following a link; what went wrong, or nothing.
[[nodiscard]] std::string readDataFile(const std::string &path, std::string &bytes);

} // namespace vantrell
