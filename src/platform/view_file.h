#pragma once
// A regular file read at any offset, for showing it: only the part asked for
// is read, so a file of many GiB costs no more memory than a small one. What
// was opened stays readable under its open descriptor even when a new file
// is renamed over the name (a memory read puts its file in place that way);
// Changed() tells the caller that the name now holds something else.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quillon::platform {

// What a file was when it was looked at: a new file renamed over the name, a
// file grown, cut or rewritten in place all differ from it.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of whatever is at `path` now; nullopt when nothing is.
std::optional<FileStamp> StampOf(const std::string& path);

class ViewFile {
  public:
    ViewFile() = default;
    ~ViewFile();
    ViewFile(const ViewFile&) = delete;
    ViewFile& operator=(const ViewFile&) = delete;

    // Opens a regular file without waiting on a FIFO; false (with the cause
    // set, log/cause.h) when it cannot be opened or is not a regular file.
    bool Open(const std::string& path);
    void Close();
    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    std::uint64_t size() const { return stamp_.size; }
    const FileStamp& stamp() const { return stamp_; }
    // Reads up to `n` bytes at `offset`; fewer only at the end of what was
    // opened. nullopt on a read error.
    std::optional<std::size_t> ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) const;
    // The name no longer holds what was opened, or the opened file itself
    // was written since.
    bool Changed() const;

  private:
    int fd_ = -1;
    std::string path_;
    FileStamp stamp_;
};

}  // namespace quillon::platform
