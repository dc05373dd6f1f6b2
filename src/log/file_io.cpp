#include "log/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "log/platform.h"

namespace quillon::platform {

namespace {

bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, bytes, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) return false;
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

// --- InputFile ---------------------------------------------------------------

InputFile::~InputFile() {
    Close();
}

InputFile::Status InputFile::Open(const std::string& path) {
    Close();
    if (!PathExists(path)) return Status::Missing;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Status::Unreadable;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Status::NotRegular;
    }
    Blocking(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    return Status::Ok;
}

std::optional<std::size_t> InputFile::Read(std::uint8_t* out, std::size_t n) {
    if (fd_ < 0) return std::nullopt;
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd_, out + got, n - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    return got;
}

void InputFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
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
    if (fd < 0) return false;
    Blocking(fd);
    fd_ = fd;
    return true;
}

bool OutputFile::Write(const std::uint8_t* bytes, std::size_t n) {
    return fd_ >= 0 && WriteAll(fd_, bytes, n);
}

bool OutputFile::Close() {
    if (fd_ < 0) return false;
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
}

// --- ReplacingFile -----------------------------------------------------------

ReplacingFile::~ReplacingFile() {
    Discard();
}

bool ReplacingFile::Open(const std::string& target) {
    Discard();
    if (target.empty()) return false;
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path real(target);
    // A link is followed: the file it names is replaced, the link stays.
    if (fs::is_symlink(real, ec)) {
        const fs::path resolved = fs::weakly_canonical(real, ec);
        if (ec) return false;
        real = resolved;
    }
    struct stat old{};
    const bool exists = ::stat(real.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) return false;
    // A file its owner may not write is not replaced behind its back.
    if (exists && ::access(real.c_str(), W_OK) != 0) return false;
    const fs::path folder = real.has_parent_path() ? real.parent_path() : fs::path(".");
    const std::string base = "." + real.filename().string() + ".part-";
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string temp = (folder / (base + RandomSuffix())).string();
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        if (exists) ::fchmod(fd, old.st_mode & 07777);
        fd_ = fd;
        temp_ = temp;
        target_ = real.string();
        return true;
    }
    return false;
}

bool ReplacingFile::Write(const std::uint8_t* bytes, std::size_t n) {
    return fd_ >= 0 && WriteAll(fd_, bytes, n);
}

bool ReplacingFile::Commit() {
    if (fd_ < 0) return false;
    bool ok = ::fdatasync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    if (ok) ok = ::rename(temp_.c_str(), target_.c_str()) == 0;
    if (!ok) ::unlink(temp_.c_str());
    temp_.clear();
    return ok;
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

}  // namespace quillon::platform
