// Files named by the user may be anything: a FIFO nobody writes, a folder,
// an endless device. Reading one must answer at once, and a lock must never
// be held by what a dead process left behind.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "platform/file_io.h"

namespace quillon::platform {
namespace {

namespace fs = std::filesystem;

// Runs `f` on its own thread and fails (instead of hanging the suite) when it
// has not returned within 10 s.
template <typename F>
auto WithinTenSeconds(F f) {
    auto result = std::async(std::launch::async, f);
    if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "blocked";
        std::abort();  // the blocked thread can never be joined
    }
    return result.get();
}

class FileIoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/quillon-file-io-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string At(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(FileIoTest, OnlyRegularFilesAreReadAndNothingWaits) {
    ASSERT_EQ(::mkfifo(At("fifo").c_str(), 0600), 0);
    fs::create_directory(At("folder"));
    std::ofstream(At("small")) << "key = value\n";
    std::ofstream(At("big")) << std::string(2000, 'x');

    using S = WholeFile::Status;
    const auto read = [&](const std::string& path) {
        return WithinTenSeconds([=] { return ReadWholeFile(path, 1024).status; });
    };
    EXPECT_EQ(read(At("fifo")), S::NotRegular);
    EXPECT_EQ(read(At("folder")), S::NotRegular);
    EXPECT_EQ(read("/dev/zero"), S::NotRegular);
    EXPECT_EQ(read(At("missing")), S::Missing);
    EXPECT_EQ(read(At("big")), S::TooLarge);
    const WholeFile small = ReadWholeFile(At("small"), 1024);
    ASSERT_TRUE(small.ok());
    EXPECT_EQ(std::string(small.bytes.begin(), small.bytes.end()), "key = value\n");
    EXPECT_EQ(ReadWholeFile(At("big"), 1024).Describe(1024), "is larger than 1 KiB");

    // The streaming reader refuses the same way.
    InputFile in;
    EXPECT_EQ(WithinTenSeconds([&] { return in.Open(At("fifo")); }), InputFile::Status::NotRegular);
    EXPECT_EQ(in.Open("/dev/zero"), InputFile::Status::NotRegular);
    EXPECT_EQ(in.Open(At("folder")), InputFile::Status::NotRegular);
    EXPECT_EQ(in.Open(At("small")), InputFile::Status::Ok);
}

TEST_F(FileIoTest, LockIsHeldOnlyByALiveHolder) {
    const std::string path = At("app.lock");
    // What a power loss or an older run leaves behind does not count.
    for (const std::string leftover : {"", "garbage\n12345\nhost\n"}) {
        std::ofstream(path) << leftover;
        FileLock lock;
        EXPECT_EQ(lock.TryLock(path), FileLock::Result::Taken) << leftover;
    }
    FileLock first;
    ASSERT_EQ(first.TryLock(path), FileLock::Result::Taken);
    FileLock second;
    EXPECT_EQ(second.TryLock(path), FileLock::Result::HeldElsewhere);
    first.Release();
    EXPECT_EQ(second.TryLock(path), FileLock::Result::Taken);

    // Another process's lock is seen, and it goes with the process.
    second.Release();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        FileLock held;
        const char c = held.TryLock(path) == FileLock::Result::Taken ? '1' : '0';
        (void)!::write(ready[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, '1');
    EXPECT_EQ(second.TryLock(path), FileLock::Result::HeldElsewhere);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(second.TryLock(path), FileLock::Result::Taken);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(FileIoTest, OddEntriesInALocksPlaceFailAndClearOnlyWhenEmpty) {
    const std::string fifo = At("fifo.lock"), folder = At("folder.lock"), full = At("full.lock");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder);
    fs::create_directories(fs::path(full) / "inside");
    fs::create_symlink(At("elsewhere"), At("link.lock"));
    for (const std::string& path : {fifo, folder, full, At("link.lock")}) {
        FileLock lock;
        EXPECT_EQ(WithinTenSeconds([&] { return lock.TryLock(path); }), FileLock::Result::Failed)
            << path;
    }
    EXPECT_FALSE(fs::exists(At("elsewhere")));  // the link was not followed
    EXPECT_TRUE(FileLock::ClearOddEntry(fifo));
    EXPECT_TRUE(FileLock::ClearOddEntry(folder));
    EXPECT_TRUE(FileLock::ClearOddEntry(At("link.lock")));
    EXPECT_FALSE(FileLock::ClearOddEntry(full));
    EXPECT_TRUE(fs::exists(fs::path(full) / "inside"));
    std::ofstream(At("regular.lock")) << "x";
    EXPECT_FALSE(FileLock::ClearOddEntry(At("regular.lock")));
    EXPECT_TRUE(fs::exists(At("regular.lock")));
}

}  // namespace
}  // namespace quillon::platform
