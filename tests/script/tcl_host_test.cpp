// The Tcl host in-process: the one interpreter keeps its globals between
// runs, TPRINT logs only its first argument, puts goes only to the capture
// file, and a run without an interpreter fails cleanly.

#include "script/tcl_host.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "features/reporter.h"
#include "log/log_file.h"
#include "support/file_text.h"
#include "support/fresh_home.h"

namespace quillon::script {
namespace {

namespace fs = std::filesystem;

class RecordingReporter : public features::Reporter {
  public:
    void Log(std::string_view text) override {
        lines.emplace_back(text);
        features::Reporter::Log(text);
    }
    void Pump() override { ++pumps; }
    std::vector<std::string> lines;
    int pumps = 0;
};

using quillon::test::FileText;

std::string Script(const fs::path& dir, const std::string& name, const std::string& text) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
}

// One interpreter for the process, as in the programs.
class TclHostTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        home_ = new test::FreshHome;
        LogFile::ResetForTest();
        ASSERT_TRUE(LogFile::Open());
        reporter_ = new RecordingReporter;
    }
    static void TearDownTestSuite() {
        TclHost::SetReporter(features::DefaultReporter());
        delete reporter_;
        delete home_;
    }
    void SetUp() override { reporter_->lines.clear(); }
    fs::path dir() const { return fs::path(home_->root()); }

    static test::FreshHome* home_;
    static RecordingReporter* reporter_;
};
test::FreshHome* TclHostTest::home_ = nullptr;
RecordingReporter* TclHostTest::reporter_ = nullptr;

TEST_F(TclHostTest, RunWithoutInterpreterFailsCleanly) {
    // Before Init (this test runs first in the suite).
    ASSERT_FALSE(TclHost::Ready());
    EXPECT_EQ(TclHost::RunFile(Script(dir(), "none.tcl", "set x 1\n")), 1);
    EXPECT_EQ(TclHost::Result(), "TCLの初期化に失敗しました。");
}

TEST_F(TclHostTest, GlobalsAndProceduresSurviveBetweenRuns) {
    ASSERT_TRUE(TclHost::Init(*reporter_));
    EXPECT_EQ(
        TclHost::RunFile(Script(dir(), "a.tcl", "set counter 41\nproc bump {} {incr ::counter}\n")),
        0);
    EXPECT_EQ(TclHost::RunFile(Script(dir(), "b.tcl", "bump\nset result [info exists read]\n")), 0);
    EXPECT_EQ(TclHost::Variable("counter"), "42");
    // Built-ins only: the library's init script never ran.
    EXPECT_EQ(TclHost::RunFile(Script(dir(), "c.tcl", "package require msgcat\n")), 1);
}

TEST_F(TclHostTest, TprintLogsItsFirstArgumentAndPumps) {
    ASSERT_TRUE(TclHost::Init(*reporter_));
    const int pumps = reporter_->pumps;
    EXPECT_EQ(TclHost::RunFile(Script(
                  dir(), "p.tcl", "TPRINT first second\nTPRINT\nTPRINT [string repeat x 300]\n")),
              0);
    ASSERT_EQ(reporter_->lines.size(), 3u);
    EXPECT_EQ(reporter_->lines[0], "first");
    EXPECT_EQ(reporter_->lines[1], "");
    EXPECT_EQ(reporter_->lines[2], std::string(259, 'x'));
    EXPECT_EQ(reporter_->pumps, pumps + 3);
    EXPECT_EQ(TclHost::Result(), "");
}

TEST_F(TclHostTest, PutsGoesToTheCaptureFileWithCarriageReturns) {
    ASSERT_TRUE(TclHost::Init(*reporter_));
    const std::string capture = TclHost::CapturePath();
    EXPECT_EQ(fs::path(capture).parent_path(), fs::path(home_->root()) / "run");
    ASSERT_EQ(TclHost::RunFile(Script(dir(), "puts.tcl", "puts one\nputs ﾃｽﾄ\n")), 0);
    EXPECT_EQ(FileText(capture), "one\rﾃｽﾄ\r");
    EXPECT_TRUE(reporter_->lines.empty());
    EXPECT_EQ(FileText(LogFile::FilePath()).find("one"), std::string::npos);
    // Only this user may read it.
    EXPECT_EQ(fs::status(capture).permissions() & (fs::perms::group_all | fs::perms::others_all),
              fs::perms::none);
}

TEST_F(TclHostTest, LoggedRunWritesThePageLines) {
    ASSERT_TRUE(TclHost::Init(*reporter_));
    const std::string bad = Script(dir(), "bad.tcl", "KVX_COMMAND {RW -W12}\nTPRINT never\n");
    TclHost::RunReport r = TclHost::RunLogged(bad);
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.result, "0");
    // The result alone says little; the line after it says why.
    const std::string why = "line 1: KVX_COMMAND refused: RW: the width must be 8, 16, 32 or 64";
    EXPECT_EQ(reporter_->lines, (std::vector<std::string>{"-------- TCLｽｸﾘﾌﾟﾄ実行開始 --------",
                                                          "TCLｽｸﾘﾌﾟﾄﾌｧｲﾙ：" + bad, "0", why}));
    EXPECT_TRUE(LogFile::Enabled());
    reporter_->lines.clear();
    TclHost::AutoReport a = TclHost::RunAutoScript((dir() / "missing.tcl").string());
    EXPECT_EQ(a.outcome, TclHost::AutoOutcome::NoFile);
    EXPECT_EQ(reporter_->lines, (std::vector<std::string>{"ｵｰﾄTCLｽｸﾘﾌﾟﾄ失敗(ﾌｧｲﾙ無し)"}));
    reporter_->lines.clear();
    const std::string good = Script(dir(), "good.tcl", "set x 1\n");
    a = TclHost::RunAutoScript(good);
    EXPECT_EQ(a.outcome, TclHost::AutoOutcome::Succeeded);
    ASSERT_EQ(reporter_->lines.size(), 2u);
    EXPECT_EQ(reporter_->lines[0], "AUTO TCL[" + good + "]");
    EXPECT_EQ(reporter_->lines[1].rfind(" → ｵｰﾄTCL実行時間：", 0), 0u);
    reporter_->lines.clear();
    a = TclHost::RunAutoScript(bad);
    EXPECT_EQ(a.outcome, TclHost::AutoOutcome::Failed);
    EXPECT_EQ(reporter_->lines, (std::vector<std::string>{"ｵｰﾄｺTCLｽｸﾘﾌﾟﾄ失敗 → " + bad, why}));
}

// The page runs whatever name its field holds: a FIFO or a folder is refused
// at once (Tcl would wait in its read for ever on the FIFO).
TEST_F(TclHostTest, ScriptThatIsNoFileFailsAtOnce) {
    ASSERT_TRUE(TclHost::Init(*reporter_));
    const std::string fifo = (dir() / "script.fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, dir().string()}) {
        ::alarm(10);  // a run that waits ends the suite here instead of holding it
        const TclHost::RunReport r = TclHost::RunLogged(path);
        ::alarm(0);
        EXPECT_TRUE(r.failed);
        EXPECT_EQ(r.result, "couldn't read file \"" + path + "\": not a regular file");
    }
}

}  // namespace
}  // namespace quillon::script
