#include "platform/view_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/cause.h"

namespace quillon::platform {

namespace {

FileStamp StampFrom(const struct stat& st) {
    FileStamp s;
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

}  // namespace

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return StampFrom(st);
}

ViewFile::~ViewFile() {
    Close();
}

void ViewFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    stamp_ = {};
}

bool ViewFile::Open(const std::string& path) {
    Close();
    path_ = path;
    // O_NONBLOCK: a FIFO put there since the name was checked must not hang us.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        SetCause(FileErrorCause(path, errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        SetCause(FileErrorCause(path, error));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        SetCause(NotRegularFileCause(path, S_ISDIR(st.st_mode)));
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    fd_ = fd;
    stamp_ = StampFrom(st);
    return true;
}

std::optional<std::size_t> ViewFile::ReadAt(std::uint64_t offset, std::uint8_t* out,
                                            std::size_t n) const {
    if (fd_ < 0) return std::nullopt;
    if (offset >= stamp_.size) return 0;
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, stamp_.size - offset));
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            SetCause(FileErrorCause(path_, errno));
            return std::nullopt;
        }
        if (r == 0) break;  // cut since it was opened
        done += static_cast<std::size_t>(r);
    }
    return done;
}

bool ViewFile::Changed() const {
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !(StampFrom(st) == stamp_)) return true;
    const auto named = StampOf(path_);
    return !named || !(*named == stamp_);
}

}  // namespace quillon::platform
