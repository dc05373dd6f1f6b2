#pragma once
// Files that large transfers read and write piece by piece. Every user-named
// path may be a directory, a FIFO, a device or on a full disk: these classes
// never block on opening, read only regular files, and report every failed or
// short write.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillon::platform {

// True when something (a file, a folder, a device ...) has this name.
bool PathExists(const std::string& path);
// True when `path` itself (a link not followed) is a regular file or nothing
// is there: what a file of the program's own may be before it is opened.
bool IsRegularOrAbsent(const std::string& path);
// True for a FIFO, a device or a socket: a name that takes data as a stream
// and cannot be written beside and renamed over.
bool IsStreamTarget(const std::string& path);

// Why a file the user named cannot serve, found before anything is done with
// it, so that a message can say so.
enum class NameProblem {
    None,
    NoName,        // an empty name
    Pattern,       // "*.bin": a filter, not a file
    NoFolder,      // the folder it would be in does not exist (or is no folder)
    FolderDenied,  // that folder may not be entered or (for a new file) written
    Missing,       // nothing has this name (to be read)
    Folder,        // a folder where a file is expected
    Fifo,
    Device,        // a device or a socket
    Denied,        // the file may not be read or written
};
// Something is there, but not a file: a folder, a FIFO, a device.
inline bool IsNotRegular(NameProblem p) {
    return p == NameProblem::Folder || p == NameProblem::Fifo || p == NameProblem::Device;
}
// An existing regular file this process may read.
NameProblem CheckFileToRead(const std::string& path);
// The size of the regular file at `path`; nullopt for anything else.
std::optional<std::uint64_t> RegularFileSize(const std::string& path);
// A regular file this process may create, or replace by a file written
// beside it (so its folder must take a new file too).
NameProblem CheckFileToWrite(const std::string& path);

// A regular file read from its start.
//
// These classes leave the cause of each failure (log/cause.h): the system's
// error text with the file's name.
class InputFile {
  public:
    enum class Status { Ok, Missing, NotRegular, Unreadable };

    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens `path` for sequential reading; a FIFO or a device is refused
    // without waiting for a writer.
    Status Open(const std::string& path);
    // What a failed Open means, in a few words for a message ("is not a
    // regular file").
    static const char* Describe(Status status);
    bool isOpen() const { return fd_ >= 0; }
    // Size at the time of opening.
    std::uint64_t size() const { return size_; }
    // Reads until `n` bytes or the end of the file; nullopt on a read error.
    std::optional<std::size_t> Read(std::uint8_t* out, std::size_t n);
    // Back to the start, to read the same file again (a compare after a write).
    bool Rewind();
    void Close();

  private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::string path_;
};

// The whole of a file we did not write (a profile, a script, a rule file),
// for a parser: only a regular file, read without waiting on a FIFO, and
// refused when it is larger than `maxBytes` (so /dev/zero or a wrong file
// cannot take all memory).
struct WholeFile {
    enum class Status { Ok, Missing, NotRegular, Unreadable, TooLarge };
    Status status = Status::Unreadable;
    std::vector<std::uint8_t> bytes;
    bool ok() const { return status == Status::Ok; }
    // "is not a regular file", "is larger than 1 MiB", ...
    std::string Describe(std::uint64_t maxBytes) const;
};
WholeFile ReadWholeFile(const std::string& path, std::uint64_t maxBytes);

// An output file written in place: created or emptied when opened (a FIFO
// opens only when a reader waits on it, a folder not at all).
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    // Writes all `n` bytes; false when any of them could not be written.
    bool Write(const std::uint8_t* bytes, std::size_t n);
    // False when the file had not been opened or closing reported an error.
    bool Close();

  private:
    int fd_ = -1;
    std::string path_;
};

// A file written beside its target and renamed over it only when complete,
// so a failure on the way leaves an existing file as it was. A target that
// exists but is not a regular file (a folder, a device, a FIFO), or that
// this user may not write, is refused.
// The new file keeps the old one's permissions.
class ReplacingFile {
  public:
    ReplacingFile() = default;
    ~ReplacingFile();  // removes the unfinished file
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool Open(const std::string& target);
    bool isOpen() const { return fd_ >= 0; }
    // Why the last Open failed, in words for a message.
    const std::string& whyNot() const { return whyNot_; }
    bool Write(const std::uint8_t* bytes, std::size_t n);
    // Flushes the data to the disk and puts the file in place.
    bool Commit();
    // Removes the unfinished file.
    void Discard();

  private:
    int fd_ = -1;
    std::string temp_;
    std::string target_;
    std::string whyNot_;
};

// Bulky scratch data kept on disk instead of in the process's memory: an
// unnamed file that disappears when it is closed. Opened on the first write.
class ScratchFile {
  public:
    ScratchFile() = default;
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    bool Write(std::uint64_t offset, const std::uint8_t* bytes, std::size_t n);
    // Bytes never written read 0.
    bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t n) const;

  private:
    bool Ensure();
    int fd_ = -1;
};

// Holds an exclusive lock on a file for as long as the object lives. The
// system drops the lock when the process ends however it ends, so what a
// crash or a power loss leaves behind (an empty file, old text) never counts
// as held. The file's contents are not part of the lock.
class FileLock {
  public:
    enum class Result { Taken, HeldElsewhere, Failed };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Creates `path` when needed and takes the lock without waiting. Something
    // at `path` that is not a regular file (a folder, a FIFO, a link) is
    // Failed, never waited on.
    Result TryLock(const std::string& path);
    bool held() const { return fd_ >= 0; }
    void Release();
    // Removes what keeps a lock from being made at `path`: a link, a FIFO, a
    // socket, a device node or an empty folder (a folder with contents stays).
    // False when nothing was removed.
    static bool ClearOddEntry(const std::string& path);

  private:
    int fd_ = -1;
};

}  // namespace quillon::platform
