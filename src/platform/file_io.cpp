#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "platform/cause.h"
#include "platform/platform.h"

namespace quillon::platform {

namespace {

bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, bytes, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) {
            errno = EIO;
            return false;
        }
        bytes += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// Back to blocking I/O after an open that must not wait.
void Blocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

std::string RandomSuffix() {
    static std::mt19937_64 rng{std::random_device{}()};
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string s;
    for (int i = 0; i < 8; ++i) s += kChars[rng() % (sizeof kChars - 1)];
    return s;
}

}  // namespace

bool PathExists(const std::string& path) {
    struct stat st{};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool IsRegularOrAbsent(const std::string& path) {
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode);
}

bool IsStreamTarget(const std::string& path) {
    struct stat st{};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 &&
           (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ||
            S_ISSOCK(st.st_mode));
}

// --- Checks of user-named files ---------------------------------------------

namespace {

std::string FolderOfName(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// Access as the process's effective ids, the ones an open() is checked with.
bool MayAccess(const std::string& path, int mode) {
    return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

// What is at `path` when it is not a regular file.
NameProblem KindProblem(mode_t mode) {
    if (S_ISDIR(mode)) return NameProblem::Folder;
    if (S_ISFIFO(mode)) return NameProblem::Fifo;
    return NameProblem::Device;
}

// Why nothing could be found at `path` (the errno of a failed stat).
NameProblem AbsentProblem(const std::string& path, int error) {
    if (error == EACCES) return NameProblem::FolderDenied;
    if (error == ENOTDIR) return NameProblem::NoFolder;
    struct stat folder{};
    if (::stat(FolderOfName(path).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))
        return NameProblem::NoFolder;
    return NameProblem::Missing;
}

NameProblem NameOnly(const std::string& path) {
    if (path.empty()) return NameProblem::NoName;
    // Only the name itself: a folder on the way may hold any character.
    if (IsNamePattern(std::filesystem::path(path).filename().string())) return NameProblem::Pattern;
    return NameProblem::None;
}

}  // namespace

NameProblem CheckFileToRead(const std::string& path) {
    if (const NameProblem p = NameOnly(path); p != NameProblem::None) return p;
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return AbsentProblem(path, errno);
    if (!S_ISREG(st.st_mode)) return KindProblem(st.st_mode);
    return MayAccess(path, R_OK) ? NameProblem::None : NameProblem::Denied;
}

std::optional<std::uint64_t> RegularFileSize(const std::string& path) {
    struct stat st{};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

NameProblem CheckFileToWrite(const std::string& path) {
    if (const NameProblem p = NameOnly(path); p != NameProblem::None) return p;
    if (path.back() == '/') return NameProblem::Folder;
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return KindProblem(st.st_mode);
        if (!MayAccess(path, W_OK)) return NameProblem::Denied;
    } else {
        const NameProblem absent = AbsentProblem(path, errno);
        if (absent != NameProblem::Missing) return absent;
    }
    // The new file is made beside the old one and renamed over it.
    return MayAccess(FolderOfName(path), W_OK | X_OK) ? NameProblem::None
                                                       : NameProblem::FolderDenied;
}

// --- InputFile ---------------------------------------------------------------

InputFile::~InputFile() {
    Close();
}

InputFile::Status InputFile::Open(const std::string& path) {
    Close();
    struct stat named{};
    if (path.empty() || ::stat(path.c_str(), &named) != 0) {
        const int error = path.empty() ? ENOENT : errno;
        SetCause(FileErrorCause(path, error));
        return error == EACCES ? Status::Unreadable : Status::Missing;
    }
    // Devices are not even opened: opening one may already do something.
    if (!S_ISREG(named.st_mode)) {
        SetCause(NotRegularFileCause(path, S_ISDIR(named.st_mode)));
        return Status::NotRegular;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetCause(FileErrorCause(path, errno));
        return Status::Unreadable;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        SetCause(NotRegularFileCause(path, false));
        return Status::NotRegular;
    }
    Blocking(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    path_ = path;
    return Status::Ok;
}

std::optional<std::size_t> InputFile::Read(std::uint8_t* out, std::size_t n) {
    if (fd_ < 0) return std::nullopt;
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd_, out + got, n - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            SetCause(FileErrorCause(path_, errno));
            return std::nullopt;
        }
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    return got;
}

bool InputFile::Rewind() {
    if (fd_ < 0) return false;
    if (::lseek(fd_, 0, SEEK_SET) == 0) return true;
    SetCause(FileErrorCause(path_, errno));
    return false;
}

void InputFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

const char* InputFile::Describe(Status status) {
    switch (status) {
        case Status::Ok: return "can be read";
        case Status::Missing: return "does not exist";
        case Status::NotRegular: return "is not a regular file";
        case Status::Unreadable: return "cannot be read";
    }
    return "cannot be read";
}

// --- ReadWholeFile -----------------------------------------------------------

namespace {

std::string SizeText(std::uint64_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

}  // namespace

std::string WholeFile::Describe(std::uint64_t maxBytes) const {
    switch (status) {
        case Status::Ok: return "was read";
        case Status::Missing: return InputFile::Describe(InputFile::Status::Missing);
        case Status::NotRegular: return InputFile::Describe(InputFile::Status::NotRegular);
        case Status::Unreadable: return InputFile::Describe(InputFile::Status::Unreadable);
        case Status::TooLarge: return "is larger than " + SizeText(maxBytes);
    }
    return "cannot be read";
}

WholeFile ReadWholeFile(const std::string& path, std::uint64_t maxBytes) {
    WholeFile whole;
    InputFile file;
    switch (file.Open(path)) {
        case InputFile::Status::Ok: break;
        case InputFile::Status::Missing: whole.status = WholeFile::Status::Missing; return whole;
        case InputFile::Status::NotRegular:
            whole.status = WholeFile::Status::NotRegular;
            return whole;
        case InputFile::Status::Unreadable:
            whole.status = WholeFile::Status::Unreadable;
            return whole;
    }
    if (file.size() > maxBytes) {
        whole.status = WholeFile::Status::TooLarge;
        return whole;
    }
    // One byte more than the cap is asked for: a file that grew since it was
    // opened is caught too.
    whole.bytes.resize(static_cast<std::size_t>(file.size()) + 1);
    std::size_t got = 0;
    for (;;) {
        const auto n = file.Read(whole.bytes.data() + got, whole.bytes.size() - got);
        if (!n) {
            whole.bytes.clear();
            whole.status = WholeFile::Status::Unreadable;
            return whole;
        }
        got += *n;
        if (got < whole.bytes.size()) break;
        if (got > maxBytes) {
            whole.bytes.clear();
            whole.status = WholeFile::Status::TooLarge;
            return whole;
        }
        whole.bytes.resize(std::min<std::uint64_t>(maxBytes + 1, got * 2));
    }
    whole.bytes.resize(got);
    whole.status = WholeFile::Status::Ok;
    return whole;
}

// --- OutputFile --------------------------------------------------------------

OutputFile::~OutputFile() {
    Close();
}

bool OutputFile::Open(const std::string& path) {
    Close();
    if (path.empty()) return false;
    // Not blocking: a FIFO without a reader fails at once (ENXIO) instead of
    // waiting for one.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetCause(FileErrorCause(path, errno));
        return false;
    }
    Blocking(fd);
    fd_ = fd;
    path_ = path;
    return true;
}

bool OutputFile::Write(const std::uint8_t* bytes, std::size_t n) {
    if (fd_ < 0) return false;
    if (WriteAll(fd_, bytes, n)) return true;
    SetCause(FileErrorCause(path_, errno));
    return false;
}

bool OutputFile::Close() {
    if (fd_ < 0) return false;
    const bool ok = ::close(fd_) == 0;
    if (!ok) SetCause(FileErrorCause(path_, errno));
    fd_ = -1;
    return ok;
}

// --- ReplacingFile -----------------------------------------------------------

ReplacingFile::~ReplacingFile() {
    Discard();
}

bool ReplacingFile::Open(const std::string& target) {
    Discard();
    whyNot_.clear();
    if (target.empty()) {
        whyNot_ = "no file name";
        return false;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path real(target);
    // A link is followed: the file it names is replaced, the link stays.
    if (fs::is_symlink(real, ec)) {
        const fs::path resolved = fs::weakly_canonical(real, ec);
        if (ec) {
            whyNot_ = ec.message();
            SetCause(FileCause(target, whyNot_));
            return false;
        }
        real = resolved;
    }
    struct stat old{};
    const bool exists = ::stat(real.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        whyNot_ = S_ISDIR(old.st_mode) ? "it is a folder" : "it is not a regular file";
        SetCause(NotRegularFileCause(target, S_ISDIR(old.st_mode)));
        return false;
    }
    // A file its owner may not write is not replaced behind its back.
    if (exists && ::access(real.c_str(), W_OK) != 0) {
        whyNot_ = "it may not be written";
        SetCause(FileErrorCause(target, errno));
        return false;
    }
    const fs::path folder = real.has_parent_path() ? real.parent_path() : fs::path(".");
    const std::string base = "." + real.filename().string() + ".part-";
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string temp = (folder / (base + RandomSuffix())).string();
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            const int error = errno;
            whyNot_ = std::string("its folder takes no new file: ") + SystemErrorText(error);
            SetCause(FileErrorCause(target, error));
            return false;
        }
        if (exists) ::fchmod(fd, old.st_mode & 07777);
        fd_ = fd;
        temp_ = temp;
        target_ = real.string();
        return true;
    }
    whyNot_ = "no free name beside it";
    SetCause(FileErrorCause(target, EEXIST));
    return false;
}

bool ReplacingFile::Write(const std::uint8_t* bytes, std::size_t n) {
    if (fd_ < 0) return false;
    if (WriteAll(fd_, bytes, n)) return true;
    SetCause(FileErrorCause(target_, errno));
    return false;
}

bool ReplacingFile::Commit() {
    if (fd_ < 0) return false;
    // The first error is the one to tell (a full disk shows at the flush).
    int error = ::fdatasync(fd_) == 0 ? 0 : errno;
    if (::close(fd_) != 0 && error == 0) error = errno;
    fd_ = -1;
    if (error == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) error = errno;
    if (error != 0) {
        SetCause(FileErrorCause(target_, error));
        ::unlink(temp_.c_str());
    }
    temp_.clear();
    return error == 0;
}

void ReplacingFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

// --- ScratchFile -------------------------------------------------------------

ScratchFile::~ScratchFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool ScratchFile::Ensure() {
    if (fd_ >= 0) return true;
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = tmp && *tmp ? tmp : "/tmp";
    // A file without a name: nothing to clean up, nothing another user can open.
    fd_ = ::open(dir.c_str(), O_RDWR | O_TMPFILE | O_EXCL | O_CLOEXEC, 0600);
    if (fd_ >= 0) return true;
    // Without O_TMPFILE: a named file in our own folder, unlinked at once.
    const std::string name = PrivateRuntimeFolder() + "/scratch-" + RandomSuffix();
    fd_ = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd_ < 0) return false;
    ::unlink(name.c_str());
    return true;
}

bool ScratchFile::Write(std::uint64_t offset, const std::uint8_t* bytes, std::size_t n) {
    if (!Ensure()) return false;
    while (n > 0) {
        const ssize_t w = ::pwrite(fd_, bytes, n, static_cast<off_t>(offset));
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) return false;
        bytes += w;
        offset += static_cast<std::uint64_t>(w);
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool ScratchFile::Read(std::uint64_t offset, std::uint8_t* out, std::size_t n) const {
    if (fd_ < 0) {
        std::memset(out, 0, n);
        return true;
    }
    while (n > 0) {
        const ssize_t r = ::pread(fd_, out, n, static_cast<off_t>(offset));
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) {
            std::memset(out, 0, n);  // past the end: never written
            return true;
        }
        out += r;
        offset += static_cast<std::uint64_t>(r);
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

// --- FileLock ------------------------------------------------------------------

FileLock::~FileLock() {
    Release();
}

FileLock::Result FileLock::TryLock(const std::string& path) {
    Release();
    if (path.empty()) return Result::Failed;
    // Looked at before it is opened: opening a device node may already do
    // something, and a FIFO is no lock.
    if (!IsRegularOrAbsent(path)) return Result::Failed;
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return Result::Failed;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Result::HeldElsewhere : Result::Failed;
    }
    // For whoever looks: the holder's process number. Nothing reads it back.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) (void)WriteAll(fd, reinterpret_cast<const std::uint8_t*>(pid.data()), pid.size());
    fd_ = fd;
    return Result::Taken;
}

void FileLock::Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool FileLock::ClearOddEntry(const std::string& path) {
    struct stat st{};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return false;
    return S_ISDIR(st.st_mode) ? ::rmdir(path.c_str()) == 0 : ::unlink(path.c_str()) == 0;
}

}  // namespace quillon::platform
