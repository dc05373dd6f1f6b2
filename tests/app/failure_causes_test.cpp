// Failures in the real main window on the simulated board say why: the log
// line and the box keep their text, and a second line names the cause the
// program knows (the field and its text, the USB error, the file's system
// error, the script's line). A failure with no known cause shows its text
// alone, and a cause never outlives the action that it explains.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <cerrno>
#include <csignal>
#include <functional>

#include "app/page_table.h"
#include "features/board/i2c.h"
#include "platform/cause.h"
#include "support/feature_support.h"
#include "support/sim_panel.h"

namespace quillon::test {
namespace {

class Panel : public SimBoardFixture, public SimPanel {
  public:
    Panel() {
        ClearCause();
        Start();
    }
    template <typename W>
    W* Find(int page, const char* name) {
        window->RequestPage(page);
        return window->page(page)->findChild<W*>(name);
    }
    void Type(int page, const char* field, const std::string& text) {
        Find<QLineEdit>(page, field)->setText(QString::fromStdString(text));
    }
    void Arm(const std::function<void(sim::Faults&)>& set) {
        sim::Faults f = board().GetFaults();
        set(f);
        board().SetFaults(f);
    }
    // The line logged after `line`, the last time it was logged.
    std::optional<std::string> After(const std::string& line) const {
        for (auto it = log.rbegin(); it != log.rend(); ++it)
            if (*it == line) return it == log.rbegin() ? std::nullopt : std::optional(*(it - 1));
        return std::nullopt;
    }
};

struct Failure {
    const char* name;
    // Sets the page and the board up; returns the button that fails.
    std::function<QPushButton*(Panel&)> arm;
    const char* logLine;  // the failure's log line, as it always was
    const char* box;      // and its box
    // The cause the second line names (its beginning).
    std::function<std::string(Panel&)> cause;
};

void PrintTo(const Failure& f, std::ostream* os) {
    *os << f.name;
}

std::function<std::string(Panel&)> Is(const char* text) {
    return [text](Panel&) { return std::string(text); };
}

QPushButton* Script(Panel& p, const std::string& text) {
    const std::string path = p.File("run.tcl", {text.begin(), text.end()});
    p.Type(app::kTclPage, "LabeledEdit1", path);
    return p.Find<QPushButton>(app::kTclPage, "Button24");
}

// A normal MemRead of 1 MiB into dump.bin.
QPushButton* MemRead(Panel& p) {
    p.Type(app::kMemoryPage, "Edit13", p.home().root() + "/dump.bin");
    p.Type(app::kMemoryPage, "Edit12", "100000");
    p.Find<QCheckBox>(app::kMemoryPage, "CheckBox4")->setChecked(false);
    return p.Find<QPushButton>(app::kMemoryPage, "Button14");
}

// Files grow no larger than 64 KiB while it lives (a full disk, as the
// writer sees it).
class FileSizeLimit {
  public:
    FileSizeLimit() {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_;
        small.rlim_cur = 64 * 1024;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old_); }

  private:
    rlimit old_{};
};

const Failure kFailures[] = {
    {"RegisterWriteOf1G",
     [](Panel& p) {
         p.Type(app::kRegisterPage, "regValue1", "1G");
         return p.Find<QPushButton>(app::kRegisterPage, "Button5");
     },
     "REG WRITE NG", "ﾚｼﾞｽﾀﾗｲﾄに失敗しました。",
     Is("ﾃﾞｰﾀ設定 Write: 「1G」は16進数ではありません")},
    {"RegisterReadOf1G",
     [](Panel& p) {
         p.Type(app::kRegisterPage, "regNumber1", "1G");
         return p.Find<QPushButton>(app::kRegisterPage, "Button4");
     },
     "REG READ NG", "ﾚｼﾞｽﾀﾘｰﾄﾞに失敗しました。", Is("ﾚｼﾞｽﾀ番号: 「1G」は整数ではありません")},
    {"StalledRequest",
     [](Panel& p) {
         p.Arm([&](sim::Faults& f) { f.stallRequest = p.board().RequestCount() + 1; });
         return p.Find<QPushButton>(app::kRegisterPage, "Button4");
     },
     "REG READ NG", "ﾚｼﾞｽﾀﾘｰﾄﾞに失敗しました。", Is("ｽﾄｰﾙ [LIBUSB_ERROR_PIPE] → ")},
    {"UnplugDuringMemoryRead",
     [](Panel& p) {
         p.Arm([](sim::Faults& f) { f.unplugAfterBulkBytes = 4096; });
         return MemRead(p);
     },
     "ﾒﾓﾘﾘｰﾄﾞに失敗しました。", "ﾒﾓﾘﾘｰﾄﾞに失敗しました。",
     Is("ﾎﾞｰﾄﾞが取り外されました [LIBUSB_ERROR_NO_DEVICE] → ")},
    {"FileThatCannotBeWritten", MemRead, "ﾒﾓﾘﾘｰﾄﾞに失敗しました。", "ﾒﾓﾘﾘｰﾄﾞに失敗しました。",
     [](Panel& p) { return FileErrorCause(p.home().root() + "/dump.bin", EFBIG); }},
    {"TclError", [](Panel& p) { return Script(p, "set a 1\nfoo bar\n"); },
     "invalid command name \"foo\"", "TCLｽｸﾘﾌﾟﾄ実行に失敗しました。",
     Is("line 2: invalid command name \"foo\"")},
    {"MacroRefused", [](Panel& p) { return Script(p, "\nKVX_COMMAND {MR -L10}\n"); }, "0",
     "TCLｽｸﾘﾌﾟﾄ実行に失敗しました。",
     Is("line 2: KVX_COMMAND refused: MR: the -F file is missing")},
    // The macro's transfer runs on the worker; its cause comes back with it.
    {"MacroStalledOnTheBoard",
     [](Panel& p) {
         p.Arm([&](sim::Faults& f) { f.stallBulk = p.board().BulkCount() + 1; });
         return Script(p, "KVX_COMMAND {MR -L200 -Fout.bin}\n");
     },
     "0", "TCLｽｸﾘﾌﾟﾄ実行に失敗しました。",
     Is("line 1: KVX_COMMAND failed: MR: ｽﾄｰﾙ [LIBUSB_ERROR_PIPE] → ")},
};

class FailureCauses : public ::testing::TestWithParam<Failure> {};

TEST_P(FailureCauses, TheBoxAndTheLogNameTheCause) {
    const Failure& c = GetParam();
    Panel p;
    QPushButton* button = c.arm(p);
    ASSERT_TRUE(button);
    ASSERT_TRUE(button->isEnabled());
    {
        std::optional<FileSizeLimit> limit;
        if (std::string(c.name) == "FileThatCannotBeWritten") limit.emplace();
        testing::internal::CaptureStdout();
        button->click();
        testing::internal::GetCapturedStdout();
    }
    const std::vector<std::string> boxes = p.prompter.messages();
    ASSERT_FALSE(boxes.empty());
    const std::string& box = boxes.front();
    const std::size_t newline = box.find('\n');
    ASSERT_NE(newline, std::string::npos) << box;
    EXPECT_EQ(box.substr(0, newline), c.box);
    const std::string second = box.substr(newline + 1);
    EXPECT_EQ(second.rfind(c.cause(p), 0), 0u) << second;
    EXPECT_EQ(second.find('\n'), std::string::npos) << second;
    // The log has the same two lines.
    EXPECT_EQ(p.After(c.logLine), second);
}

INSTANTIATE_TEST_SUITE_P(Failures, FailureCauses, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

// A failure whose cause nobody knows (an I2C device that answers status 0)
// keeps its single line, also when an earlier failure left a cause that was
// never told.
TEST(FailureCause, NoneKnownNoneShownAndNoneLeftOver) {
    SimBoardFixture board;
    sim::Faults f = board.board().GetFaults();
    f.i2cStatusZero = true;
    board.board().SetFaults(f);
    for (bool earlier : {false, true}) {
        SCOPED_TRACE(earlier ? "after an untold cause" : "fresh");
        ClearCause();
        if (earlier) SetCause("ｽﾄｰﾙ [LIBUSB_ERROR_PIPE]");
        RecordingReporter rec;
        features::I2cByteFields fields;
        EXPECT_FALSE(features::I2cByteRead(link::CurrentBoard(), 0, fields, rec));
        EXPECT_EQ(rec.shown,
                  (std::vector<Shown>{LogLine("I2C READ NG"), Warning("I2Cﾘｰﾄﾞに失敗しました。")}));
    }
    // A box that told its cause leaves none for the next one.
    SetCause("ﾎﾞｰﾄﾞが接続されていません");
    RecordingReporter rec;
    rec.FailBox("one", MsgIcon::Warning);
    rec.FailBox("two", MsgIcon::Warning);
    EXPECT_EQ(rec.Boxes(),
              (std::vector<Shown>{Warning("one\nﾎﾞｰﾄﾞが接続されていません"), Warning("two")}));
}

}  // namespace
}  // namespace quillon::test
