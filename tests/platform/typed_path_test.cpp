// Names typed into a page's path field: where a relative one goes, and why a
// name cannot serve as a file to read or to write.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file_io.h"
#include "platform/platform.h"
#include "support/as_user.h"

namespace quillon::platform {
namespace {

namespace fs = std::filesystem;

TEST(TypedPath, ResolvesAgainstTheBaseOrTheHome) {
    struct Case {
        const char* text;
        const char* full;
    } cases[] = {
        {"dump.bin", "/home/u/Documents/dump.bin"},
        {"*.bin", "/home/u/Documents/*.bin"},  // resolved; refused later as a pattern
        {"sub/./x.bin", "/home/u/Documents/sub/x.bin"},
        {"../x.bin", "/home/u/x.bin"},
        {"out/", "/home/u/Documents/out/"},  // a folder stays a folder
        {".", "/home/u/Documents"},
        {"/data/../x.bin", "/data/../x.bin"},  // an absolute text as typed
        {"~", "/home/u"},
        {"~/x.bin", "/home/u/x.bin"},
        {"~x/y.bin", "/home/u/Documents/~x/y.bin"},  // only "~" itself is the home
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveTypedPath(c.text, "/home/u/Documents", "/home/u"), c.full) << c.text;
    EXPECT_TRUE(IsNamePattern("*.bin"));
    EXPECT_TRUE(IsNamePattern("dump?.bin"));
    EXPECT_FALSE(IsNamePattern("dump[1].bin"));
}

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_.empty())
            ::unsetenv(name_);
        else
            ::setenv(name_, old_.c_str(), 1);
    }

  private:
    const char* name_;
    std::string old_;
};

// Everything, the files made for a case included, as an ordinary user:
// permissions stop nothing root does.
class NameCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/quillon-names-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    void TearDown() override {
        for (const char* shut : {"ro", "shut"}) ::chmod(At(shut).c_str(), 0755);
        fs::remove_all(dir_);
    }
    std::string At(const std::string& name) const { return (dir_ / name).string(); }

    const test::AsOrdinaryUser user_;
    fs::path dir_;
};

TEST_F(NameCheckTest, DocumentsFolderOrTheHome) {
    const ScopedEnv home("HOME", dir_.string());
    const ScopedEnv config("XDG_CONFIG_HOME", At("config"));  // no user-dirs.dirs there
    EXPECT_EQ(DocumentsFolder(), dir_.string());              // no Documents folder yet
    fs::create_directory(At("Documents"));
    EXPECT_EQ(DocumentsFolder(), At("Documents"));
}

TEST_F(NameCheckTest, SaysWhyANameCannotBeReadOrWritten) {
    using P = NameProblem;
    fs::create_directory(At("ro"));
    std::ofstream(At("ro/old.bin")) << "old";
    ::chmod(At("ro").c_str(), 0555);
    std::ofstream(At("locked.bin")) << "x";
    ::chmod(At("locked.bin").c_str(), 0);
    std::ofstream(At("file.bin")) << "x";
    fs::create_directory(At("dir"));
    ASSERT_EQ(::mkfifo(At("fifo").c_str(), 0600), 0);
    fs::create_directory(At("shut"));
    ::chmod(At("shut").c_str(), 0);

    struct Case {
        std::string path;
        P toRead, toWrite;
    } cases[] = {
        {At("file.bin"), P::None, P::None},
        {At("new.bin"), P::Missing, P::None},
        {At("none/x.bin"), P::NoFolder, P::NoFolder},
        {At("file.bin/x.bin"), P::NoFolder, P::NoFolder},  // a file on the way
        {At("ro/new.bin"), P::Missing, P::FolderDenied},
        {At("ro/old.bin"), P::None, P::FolderDenied},  // replaced by a file beside it
        {At("shut/x.bin"), P::FolderDenied, P::FolderDenied},
        {At("locked.bin"), P::Denied, P::Denied},
        {At("dir"), P::Folder, P::Folder},
        {At("dir") + "/", P::Folder, P::Folder},
        {At("fifo"), P::Fifo, P::Fifo},
        {"/dev/zero", P::Device, P::Device},
        {At("*.bin"), P::Pattern, P::Pattern},
        {"", P::NoName, P::NoName},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckFileToRead(c.path), c.toRead) << c.path;
        EXPECT_EQ(CheckFileToWrite(c.path), c.toWrite) << c.path;
    }
}

}  // namespace
}  // namespace quillon::platform
