#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/file_text.h"
#include "support/fresh_home.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

using quillon::test::FileText;

void WriteIni(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

TEST(StoredIntegerTest, ConversionOfTheOriginalToolkit) {
    EXPECT_EQ(ParseStoredInteger("42"), 42);
    EXPECT_EQ(ParseStoredInteger("-7"), -7);
    EXPECT_EQ(ParseStoredInteger("$1F"), 31);
    EXPECT_EQ(ParseStoredInteger("0x10"), 16);
    EXPECT_EQ(ParseStoredInteger("0X3fff"), 0x3FFF);
    EXPECT_EQ(ParseStoredInteger("$FFFFFFFF"), -1);
    EXPECT_EQ(ParseStoredInteger(""), std::nullopt);
    EXPECT_EQ(ParseStoredInteger("yes"), std::nullopt);
    EXPECT_EQ(ParseStoredInteger("12a"), std::nullopt);
    EXPECT_EQ(ParseStoredInteger("0x"), std::nullopt);
    EXPECT_EQ(ParseStoredInteger("1F"), std::nullopt);  // hexadecimal needs its prefix
    EXPECT_EQ(ParseStoredInteger("4294967296"), std::nullopt);
    EXPECT_EQ(ParseStoredInteger("2147483648"), std::nullopt);
}

TEST(SettingsStoreTest, ValuesAreStoredAsStringsInTheirSections) {
    test::FreshHome home;
    {
        SettingsStore s;
        s.WriteInteger(kSetup, "LogView1Top", 120);
        s.WriteBool(kSetup, "AUTO_CONFIG", true);
        s.WriteBool(kSetup, "AUTO_TCL", false);
        s.WriteString(kSetup, "CfgFileName", "/home/u/設計.rbf");
        s.WriteString(kSetupLog, "NAME", "IPAGothic");
    }
    SettingsStore s;
    EXPECT_EQ(s.ReadInteger(kSetup, "LogView1Top", 0), 120);
    EXPECT_TRUE(s.ReadBool(kSetup, "AUTO_CONFIG", false));
    EXPECT_FALSE(s.ReadBool(kSetup, "AUTO_TCL", true));
    EXPECT_EQ(s.ReadString(kSetup, "CfgFileName", ""), "/home/u/設計.rbf");
    EXPECT_EQ(s.ReadString(kSetupLog, "NAME", ""), "IPAGothic");
    EXPECT_EQ(s.ReadString(kSetup, "NAME", "none"), "none");  // sections are separate

    std::string ini = FileText(home.iniPath());
    EXPECT_NE(ini.find("[SETUP]"), std::string::npos);
    EXPECT_NE(ini.find("LogView1Top=120"), std::string::npos);
    EXPECT_NE(ini.find("AUTO_CONFIG=1"), std::string::npos);
    EXPECT_NE(ini.find("AUTO_TCL=0"), std::string::npos);
}

TEST(SettingsStoreTest, PreparedValuesDecodeAsTheBoardModelsExpect) {
    test::FreshHome home;
    WriteIni(home.iniPath(),
             "[SETUP]\nSPICont=2\nGPIO=yes\nREG512_ADRS=0x10\nCFG_TARGET_REG_ADRS=65535\n"
             "MEM_NUM=$3\nLOG_WARNNING=abc\nMEM_LIST0=DDR3 (bank 0, 1)\n");
    SettingsStore s;
    EXPECT_TRUE(s.ReadBool(kSetup, "SPICont", false));  // "2" is true
    EXPECT_FALSE(s.ReadBool(kSetup, "GPIO", false));    // "yes" is the default
    EXPECT_TRUE(s.ReadBool(kSetup, "GPIO", true));
    EXPECT_EQ(s.ReadInteger(kSetup, "REG512_ADRS", 6), 16);
    EXPECT_EQ(s.ReadInteger(kSetup, "CFG_TARGET_REG_ADRS", 0x3FFF) & 0x3FFF, 0x3FFF);
    EXPECT_EQ(s.ReadInteger(kSetup, "MEM_NUM", 0), 3);
    EXPECT_EQ(s.ReadInteger(kSetup, "LOG_WARNNING", 200), 200);
    EXPECT_EQ(s.ReadInteger(kSetup, "MISSING", -5), -5);
    // A hand-typed name with a comma keeps its text.
    EXPECT_EQ(s.ReadString(kSetup, "MEM_LIST0", "unknown"), "DDR3 (bank 0, 1)");
}

TEST(SettingsStoreTest, ReadingWritesNothing) {
    test::FreshHome home;
    {
        SettingsStore s;
        (void)s.ReadString(kSetup, "CfgFileName", "*.rbf");
    }
    EXPECT_FALSE(fs::exists(home.iniPath()));
}

TEST(SettingsStoreTest, UnstorableWriteLeavesTheOldFileIntact) {
    test::FreshHome home;
    {
        SettingsStore s;
        s.WriteString(kSetup, "MemFileName", "a.bin");
    }
    const std::string before = FileText(home.iniPath());
    const auto dir = fs::path(home.iniPath()).parent_path();
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    if (::geteuid() == 0) {
        // root ignores permissions; make the file's place unusable instead.
        fs::permissions(dir, fs::perms::owner_all);
        fs::rename(home.iniPath(), home.iniPath() + ".keep");
        fs::create_directory(home.iniPath());
        {
            SettingsStore s;
            s.WriteString(kSetup, "MemFileName", "b.bin");  // must not throw or crash
        }
        fs::remove(home.iniPath());
        fs::rename(home.iniPath() + ".keep", home.iniPath());
    } else {
        {
            SettingsStore s;
            s.WriteString(kSetup, "MemFileName", "b.bin");
        }
        fs::permissions(dir, fs::perms::owner_all);
    }
    EXPECT_EQ(FileText(home.iniPath()), before);
}

// Something under the settings file's name that is not a settings file (a
// FIFO, an endless device, a huge file) is neither read nor written: the run
// starts from the defaults, keeps its changes until it ends, and never waits
// (a FIFO that held the reader ends the program by the alarm).
TEST(SettingsStoreTest, OddFileIsLeftAloneAndTheRunKeepsItsValues) {
    test::FreshHome home;
    const std::string ini = home.iniPath();
    fs::create_directories(fs::path(ini).parent_path());
    ASSERT_EQ(::mkfifo(ini.c_str(), 0600), 0);
    ::testing::internal::CaptureStderr();
    ::alarm(30);
    {
        SettingsStore s;
        EXPECT_EQ(s.ReadString(kSetup, "MemFileName", "def.bin"), "def.bin");
        s.WriteString(kSetup, "MemFileName", "run.bin");
    }
    EXPECT_EQ(SettingsStore().ReadString(kSetup, "MemFileName", "def.bin"), "run.bin");
    ::alarm(0);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(ini), std::string::npos);
    EXPECT_TRUE(fs::is_fifo(ini));

    fs::remove(ini);
    fs::create_symlink("/dev/zero", ini);
    EXPECT_EQ(SettingsStore().ReadInteger(kSetup, "MEM_NUM", 3), 3);
    EXPECT_TRUE(fs::is_symlink(ini));

    fs::remove(ini);
    const std::string huge = "[SETUP]\nMEM_NUM=7\n" + std::string(5 << 20, 'x');
    WriteIni(ini, huge);
    EXPECT_EQ(SettingsStore().ReadInteger(kSetup, "MEM_NUM", 3), 3);
    SettingsStore().WriteInteger(kSetup, "MEM_NUM", 9);
    EXPECT_EQ(fs::file_size(ini), huge.size());
}

}  // namespace
}  // namespace quillon
