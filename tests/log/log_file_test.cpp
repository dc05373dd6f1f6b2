#include "log/log_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/platform.h"
#include "platform/prompter.h"
#include "support/fresh_home.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// 31 January 2024 09:30:05 local time.
std::time_t Jan31() {
    std::tm tm{};
    tm.tm_year = 124;
    tm.tm_mon = 0;
    tm.tm_mday = 31;
    tm.tm_hour = 9;
    tm.tm_min = 30;
    tm.tm_sec = 5;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

class RecordingPrompter : public StderrPrompter {
public:
    MsgAnswer Message(const std::string& text, MsgIcon icon, MsgButtons) override {
        boxes.push_back({text, icon});
        return MsgAnswer::Ok;
    }
    bool OpenWithDesktop(const std::string& p) override {
        opened.push_back(p);
        return true;
    }
    std::vector<std::pair<std::string, MsgIcon>> boxes;
    std::vector<std::string> opened;
};

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        LogFile::ResetForTest();
        SetPrompter(&prompts);
        LogFile::AttachWindow([this](const std::string& l) { window.push_back(l); });
    }
    void TearDown() override {
        LogFile::ResetForTest();
        SetPrompter(nullptr);
    }
    test::FreshHome home;
    RecordingPrompter prompts;
    std::vector<std::string> window;
};

TEST_F(LogFileTest, StampAndFileNameOfAKnownMoment) {
    LogFile::SetClock(Jan31);
    ASSERT_TRUE(LogFile::Open());
    EXPECT_EQ(LogFile::FileName(), "LOG240131093005.txt");
    EXPECT_EQ(LogFile::Folder(), home.logFolder());
    LogFile::Write("hello");
    auto lines = ReadLines(LogFile::FilePath());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "【2024年01月31日09:30:05】 hello");
    ASSERT_EQ(window.size(), 1u);
    EXPECT_EQ(window[0], lines[0]);
    // Writing made the log folder the current directory.
    EXPECT_EQ(fs::current_path(), fs::path(home.logFolder()));
}

TEST_F(LogFileTest, LongTextIsCutToTheLineLimitOnACharacterBoundary) {
    LogFile::SetClock(Jan31);
    ASSERT_TRUE(LogFile::Open());
    const std::string stamp = LogStamp(*[] {
        static std::tm tm;
        std::time_t t = Jan31();
        localtime_r(&t, &tm);
        return &tm;
    }());
    const std::size_t room = LogFile::kMaxLine - stamp.size() - 1;

    LogFile::Write(std::string(room, 'a'));          // fits exactly
    LogFile::Write(std::string(484, 'b'));           // longer than the room: cut
    std::string kana;
    while (kana.size() < 600) kana += "ｱ";           // 3-byte characters
    LogFile::Write(kana);

    auto lines = ReadLines(LogFile::FilePath());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), LogFile::kMaxLine);
    EXPECT_EQ(lines[1].size(), LogFile::kMaxLine);
    EXPECT_LE(lines[2].size(), LogFile::kMaxLine);
    EXPECT_GT(lines[2].size(), LogFile::kMaxLine - 3);
    // The cut line ends with a whole character.
    EXPECT_EQ(lines[2].substr(lines[2].size() - 3), "ｱ");
}

TEST_F(LogFileTest, DisabledWriterTouchesNothing) {
    ASSERT_TRUE(LogFile::Open());
    LogFile::Write("first");
    fs::current_path(home.root());
    LogFile::SetEnabled(false);
    LogFile::Write("hidden");
    EXPECT_EQ(fs::current_path(), fs::path(home.root()));
    EXPECT_EQ(window.size(), 1u);
    EXPECT_EQ(ReadLines(LogFile::FilePath()).size(), 1u);
    LogFile::SetEnabled(true);
    LogFile::Write("again");
    EXPECT_EQ(ReadLines(LogFile::FilePath()).size(), 2u);
}

TEST_F(LogFileTest, TwoOpensInTheSameSecondAppendToOneFile) {
    LogFile::SetClock(Jan31);
    ASSERT_TRUE(LogFile::Open());
    LogFile::Write("run 1");
    LogFile::ResetForTest();
    LogFile::SetClock(Jan31);
    ASSERT_TRUE(LogFile::Open());
    LogFile::Write("run 2");
    auto lines = ReadLines(home.logFolder() + "/LOG240131093005.txt");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("run 1"), std::string::npos);
    EXPECT_NE(lines[1].find("run 2"), std::string::npos);
}

TEST_F(LogFileTest, UnwritableFileStillReachesTheWindow) {
    ASSERT_TRUE(LogFile::Open());
    fs::remove(LogFile::FilePath());
    fs::create_directory(LogFile::FilePath());  // a folder in the file's place
    LogFile::Write("lost line");
    ASSERT_EQ(window.size(), 2u);
    EXPECT_NE(window[0].find("lost line"), std::string::npos);
    EXPECT_EQ(window[1], "Failed to write to the log file.");
}

TEST_F(LogFileTest, FolderThatCannotBeCreatedIsReported) {
    // A file where the data folder should be.
    fs::remove_all(home.data());
    std::ofstream(home.data()) << "x";
    EXPECT_FALSE(LogFile::Open());
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].first, "ｱﾌﾟﾘｹｰｼｮﾝﾃﾞｨﾚｸﾄﾘの作成に失敗しました。");
    EXPECT_EQ(prompts.boxes[0].second, MsgIcon::Warning);
    EXPECT_EQ(LogFile::FileName(), "");
}

TEST_F(LogFileTest, ManyFilesWarningCountsEveryEntry) {
    LogFile::SetClock(Jan31);
    ASSERT_TRUE(LogFile::Open());  // the run's own file is entry 1
    fs::create_directory(home.logFolder() + "/old");  // a sub-folder counts too
    for (int i = 0; i < 197; ++i) std::ofstream(home.logFolder() + "/f" + std::to_string(i));

    LogFile::CheckFolderCount(0);  // 0 turns the warning off
    LogFile::CheckFolderCount(200);  // 199 entries
    EXPECT_TRUE(prompts.boxes.empty());

    std::ofstream(home.logFolder() + "/one-more");
    LogFile::CheckFolderCount(200);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].first, "ﾛｸﾞﾌｧｲﾙが多数あります。\n適宜整理して下さい。");
    EXPECT_EQ(prompts.boxes[0].second, MsgIcon::Information);
    ASSERT_EQ(prompts.opened.size(), 1u);
    EXPECT_EQ(prompts.opened[0], home.logFolder());
    auto lines = ReadLines(LogFile::FilePath());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("ﾛｸﾞﾌｧｲﾙが多数あります。適宜整理して下さい。"), std::string::npos);
}

// The script runner's log: a folder apart from the panel's (whose count of
// log files never sees it) and a name no two runs share; a folder that cannot
// be made is told to the caller, not in a box.
TEST_F(LogFileTest, RunnerLogIsApartAndNamedToTheMillisecond) {
    std::tm tm{};
    const std::time_t t = Jan31();
    localtime_r(&t, &tm);
    EXPECT_EQ(RunLogFileName(tm, 7, 4242), "RUN-240131-093005.007-4242.txt");
    EXPECT_EQ(RunLogFolder(), home.data() + "/Quillon7-run-logs");

    std::string why;
    ASSERT_TRUE(LogFile::OpenAs(RunLogFolder(), "RUN-a.txt", why)) << why;
    LogFile::Write("hello");
    ASSERT_EQ(ReadLines(RunLogFolder() + "/RUN-a.txt").size(), 1u);
    EXPECT_FALSE(fs::exists(home.logFolder()));

    std::ofstream(home.data() + "/blocked") << "a file, not a folder";
    EXPECT_FALSE(LogFile::OpenAs(home.data() + "/blocked/logs", "RUN-b.txt", why));
    EXPECT_EQ(why, "the log folder " + home.data() + "/blocked/logs cannot be created");
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST(Utf8PrefixTest, NeverSplitsACharacter) {
    EXPECT_EQ(Utf8Prefix("abc", 5), "abc");
    EXPECT_EQ(Utf8Prefix("aｱ", 3), "a");   // 'ｱ' is 3 bytes: 1 + 3 > 3
    EXPECT_EQ(Utf8Prefix("aｱ", 4), "aｱ");
    EXPECT_EQ(Utf8Prefix("ｱ", 2), "");
}

}  // namespace
}  // namespace quillon
