#include "link/board_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/file_io.h"
#include "platform/platform.h"

namespace quillon::link {

namespace {

// Up to `limit` bytes of a regular file, without following a link or waiting
// on a FIFO put in its place; empty when there is nothing to read.
std::string ReadSmallFile(const std::string& path, std::size_t limit) {
    if (!platform::IsRegularOrAbsent(path)) return {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        text.resize(limit);
        const ssize_t n = ::read(fd, text.data(), limit);
        text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    ::close(fd);
    return text;
}

// The holder writes its number just after it took the lock: a reader that
// comes in between finds the file empty (or holding the last holder's number,
// which is no better) for a moment, so it looks a few times.
long HolderPid(const std::string& path) {
    for (int tries = 0; tries < 10; ++tries) {
        const std::string text = ReadSmallFile(path, 32);
        char* end = nullptr;
        const long pid = std::strtol(text.c_str(), &end, 10);
        if (pid > 0 && end && *end == '\n') return pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

std::string ProgramOf(long pid) {
    if (pid <= 0) return {};
    if (pid == static_cast<long>(::getpid())) return "this process";
    // The kernel's name of the program: "quillon-run", "python3" (at most 15 bytes).
    std::string name = ReadSmallFile("/proc/" + std::to_string(pid) + "/comm", 64);
    while (!name.empty() && (name.back() == '\n' || name.back() == ' ')) name.pop_back();
    return name;
}

// A board's name as a file name: its path's digits, dots and dashes stay.
std::string FileNameOf(const std::string& board) {
    std::string name;
    for (char c : board) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ||
                           c == '@' || c == '_';
        name += plain ? c : '_';
    }
    return name;
}

}  // namespace

std::string BoardLock::PathOf(const std::string& board) {
    return platform::PrivateRuntimeFolder() + "/Quillon7-board-" + FileNameOf(board) + ".lock";
}

BoardLock::Outcome BoardLock::Take(const std::string& board, std::unique_ptr<BoardLock>& lock,
                                   BoardHolder& holder) {
    using Result = platform::FileLock::Result;
    const std::string path = PathOf(board);
    std::unique_ptr<BoardLock> taken(new BoardLock);
    Result r = taken->file_.TryLock(path);
    // Something else under the lock's name (a folder, a FIFO, a link) holds nothing.
    if (r == Result::Failed && platform::FileLock::ClearOddEntry(path))
        r = taken->file_.TryLock(path);
    switch (r) {
        case Result::Taken:
            lock = std::move(taken);
            return Outcome::Taken;
        case Result::HeldElsewhere:
            holder.pid = HolderPid(path);
            holder.program = ProgramOf(holder.pid);
            return Outcome::Held;
        case Result::Failed:
            break;
    }
    return Outcome::NoLock;
}

std::string BoardLock::HeldText(const std::string& board, const BoardHolder& holder) {
    std::string who = holder.pid > 0 ? "process " + std::to_string(holder.pid) : "another process";
    if (!holder.program.empty()) who += " (" + holder.program + ")";
    return "the board " + board + " is in use by " + who +
           "; a board is open in one process at a time: close it there first";
}

}  // namespace quillon::link
