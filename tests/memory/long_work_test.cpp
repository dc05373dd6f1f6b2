// Long work in the real main window on the simulated board: each operation
// is stopped while its transfer hangs (a design that stopped serving the
// FIFO) or while it runs, through the button the user would press, and must
// end cleanly: its end command last on the wire, "ﾕｰｻﾞｰｷｬﾝｾﾙ" in the log,
// files as they were, the controls back and the board usable.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "app/long_work.h"
#include "app/main_window.h"
#include "app/memory_windows.h"
#include "app/pages/memory_page.h"
#include "app/secondary_windows.h"
#include "link/bulk.h"
#include "script/tcl_host.h"
#include "support/feature_support.h"
#include "support/file_text.h"
#include "support/sim_panel.h"

namespace quillon::test {
namespace {

constexpr const char* kReadEnd = "B1:00";
constexpr int kReg512Page = 16;
constexpr const char* kWriteEnd = "B1:40";

using quillon::test::FileBytes;

class Window : public SimPanel {
  public:
    explicit Window(SimBoardFixture& board) : board_(board) { Start(); }
    template <typename W>
    W* Find(int page, const char* name) {
        return window->page(page)->findChild<W*>(name);
    }
    std::string LastRequest() const {
        for (auto it = board_.wire().rbegin(); it != board_.wire().rend(); ++it)
            if (!it->bulk) return it->Short();
        return {};
    }

  private:
    SimBoardFixture& board_;
};

// One operation as a user starts and stops it.
struct Case {
    const char* name;
    // Arms the board and the page; returns the button that starts the work.
    std::function<QPushButton*(Window&, SimBoardFixture&)> prepare;
    // The moment to stop, and the button that stops.
    std::function<bool(SimBoardFixture&)> ready;
    std::function<QAbstractButton*(Window&)> stop;
    const char* endCommand;  // the last request on the wire; nullptr: not a transfer
    // What else the stop must have left.
    std::function<void(Window&, SimBoardFixture&)> check;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// The n-th bulk transfer from now hangs; ready once it has begun.
void HangBulk(SimBoardFixture& f, std::uint64_t n) {
    sim::Faults faults = f.board().GetFaults();
    faults.hangBulk = f.board().BulkCount() + n;
    f.board().SetFaults(faults);
}
bool Hanging(SimBoardFixture& f) {
    return f.board().BulkCount() >= f.board().GetFaults().hangBulk;
}
QAbstractButton* BusyCancel(Window&) {
    return app::BusyWindow::Instance()->cancelButton();
}

// The memory page set for a transfer of `length` into or out of `target`,
// a file that holds "keep" before.
QPushButton* MemoryPage(Window& w, SimBoardFixture& f, const char* length, bool split,
                        const char* button) {
    w.window->RequestPage(app::kMemoryPage);
    w.Find<QLineEdit>(app::kMemoryPage, "Edit13")
        ->setText(QString::fromStdString(f.File("target.bin", {'k', 'e', 'e', 'p'})));
    w.Find<QLineEdit>(app::kMemoryPage, "Edit12")->setText(length);
    w.Find<QCheckBox>(app::kMemoryPage, "CheckBox4")->setChecked(split);
    return w.Find<QPushButton>(app::kMemoryPage, button);
}

const std::vector<std::uint8_t> kKeep = {'k', 'e', 'e', 'p'};

const Case kCases[] = {
    {"NormalRead",
     [](Window& w, SimBoardFixture& f) {
         HangBulk(f, 1);
         return MemoryPage(w, f, "1000000", false, "Button14");
     },
     Hanging, BusyCancel, kReadEnd,
     [](Window& w, SimBoardFixture& f) {
         EXPECT_EQ(FileBytes(f.home().root() + "/target.bin"), kKeep);
         EXPECT_TRUE(w.Logged("転送ﾊﾞｲﾄ数:[0]"));
         EXPECT_TRUE(w.Find<QPushButton>(app::kMemoryPage, "Button14")->isEnabled());
     }},
    {"NormalWrite",
     [](Window& w, SimBoardFixture& f) {
         HangBulk(f, 1);
         return MemoryPage(w, f, "1000000", false, "Button15");
     },
     Hanging, BusyCancel, kWriteEnd,
     [](Window& w, SimBoardFixture&) {
         EXPECT_TRUE(w.Find<QPushButton>(app::kMemoryPage, "Button15")->isEnabled());
     }},
    // The split window's Cansel waits for the piece in flight, which never
    // ends: 2 s later the piece is aborted and the whole piece before it kept.
    {"SplitReadAbortsAHungPiece",
     [](Window& w, SimBoardFixture& f) {
         HangBulk(f, 2);
         return MemoryPage(w, f, "600000", true, "Button14");
     },
     Hanging,
     [](Window& w) -> QAbstractButton* {
         auto* page = static_cast<app::MemoryPage*>(w.window->page(app::kMemoryPage));
         return page->splitForm().cancelButton();
     },
     kReadEnd,
     [](Window& w, SimBoardFixture& f) {
         EXPECT_TRUE(w.Logged("転送回数:[1]"));
         EXPECT_EQ(std::filesystem::file_size(f.home().root() + "/target.bin"), 2u << 20);
     }},
    {"RateMeasurement",
     [](Window& w, SimBoardFixture& f) {
         HangBulk(f, 3);
         w.window->RequestPage(7);
         w.Find<QComboBox>(7, "ComboBox6")->setCurrentIndex(4);
         return w.Find<QPushButton>(7, "Button26");
     },
     Hanging, BusyCancel, kWriteEnd,
     [](Window& w, SimBoardFixture&) {
         EXPECT_FALSE(std::any_of(w.log.begin(), w.log.end(),
                                  [](const std::string& l) { return l.starts_with("AVERAGE"); }));
         EXPECT_FALSE(w.Logged("転送ﾚｰﾄ測定に失敗しました。"));
         EXPECT_TRUE(w.Find<QPushButton>(7, "Button26")->isEnabled());
     }},
    // A script's MR stops inside its transfer, and the script with it.
    {"ScriptMemoryRead",
     [](Window& w, SimBoardFixture& f) {
         HangBulk(f, 1);
         f.File("target.bin", kKeep);
         const std::string script =
             "KVX_COMMAND {MR -L1000000 -F" + f.home().root() + "/target.bin}\nTPRINT after\n";
         const std::string path = f.File("hang.tcl", {script.begin(), script.end()});
         w.window->RequestPage(app::kTclPage);
         w.Find<QLineEdit>(app::kTclPage, "LabeledEdit1")->setText(QString::fromStdString(path));
         return w.Find<QPushButton>(app::kTclPage, "Button24");
     },
     Hanging, BusyCancel, kReadEnd,
     [](Window& w, SimBoardFixture& f) {
         EXPECT_EQ(FileBytes(f.home().root() + "/target.bin"), kKeep);
         EXPECT_TRUE(w.Logged("cancelled"));
         EXPECT_FALSE(w.Logged("after"));
         // The interpreter is not left cancelled: the next script runs.
         const std::string next = f.File("next.tcl", {'s', 'e', 't', ' ', 'x', ' ', '1', '\n'});
         EXPECT_EQ(script::TclHost::RunFile(next), 0);
         EXPECT_TRUE(w.Find<QPushButton>(app::kTclPage, "Button24")->isEnabled());
     }},
    // A script that only loops over short macros, catching every error: the
    // window still serves the Cancel, and no catch holds the stop.
    {"ScriptLoopWithCatch",
     [](Window& w, SimBoardFixture& f) {
         const std::string script =
             "while 1 { catch { KVX_COMMAND {RR -A1} } }\nTPRINT after\n";
         const std::string path = f.File("loop.tcl", {script.begin(), script.end()});
         w.window->RequestPage(app::kTclPage);
         w.Find<QLineEdit>(app::kTclPage, "LabeledEdit1")->setText(QString::fromStdString(path));
         return w.Find<QPushButton>(app::kTclPage, "Button24");
     },
     [](SimBoardFixture& f) { return f.board().RequestCount() > 200; }, BusyCancel, nullptr,
     [](Window& w, SimBoardFixture&) {
         EXPECT_TRUE(w.Logged("cancelled"));
         EXPECT_FALSE(w.Logged("after"));
     }},
    // No transfer to hang: the test stops between passes.
    {"RegisterTest",
     [](Window& w, SimBoardFixture&) {
         w.window->RequestPage(kReg512Page);
         w.Find<QLineEdit>(kReg512Page, "reg512Repeat")->setText("1000000");
         return w.Find<QPushButton>(kReg512Page, "Button53");
     },
     [](SimBoardFixture& f) { return f.board().RequestCount() > 200; }, BusyCancel, nullptr,
     [](Window& w, SimBoardFixture&) {
         EXPECT_FALSE(w.Logged("正常終了"));
         EXPECT_EQ(SettingsStore().ReadString(kSetup, "REG512_REPEAT", "-"), "-");
     }},
};

class LongWorkStop : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override { EnsureApp(); }
};

TEST_P(LongWorkStop, EndsCleanlyAndLeavesTheBoardUsable) {
    const Case& c = GetParam();
    SimBoardFixture board;
    SettingsStore().WriteBool(kSetup, "REG512", true);  // the register test's page shows
    Window w(board);
    QPushButton* start = c.prepare(w, board);
    ASSERT_TRUE(start);

    // The user watches until the work is where it should be stopped, sees
    // its progress and presses the stop button once.
    bool pressed = false, busyShown = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* page = static_cast<app::MemoryPage*>(w.window->page(app::kMemoryPage));
        if (app::BusyWindow* b = app::BusyWindow::Instance(); b && b->isVisible())
            busyShown = true;
        if (page->splitForm().isVisible()) busyShown = true;
        if (pressed || !c.ready(board)) return;
        pressed = true;
        QAbstractButton* stop = c.stop(w);
        ASSERT_TRUE(stop && stop->isVisible() && stop->isEnabled());
        stop->click();
    });
    watch.start(5);
    start->click();
    watch.stop();

    EXPECT_TRUE(pressed);
    EXPECT_FALSE(app::LongWork::Active());
    EXPECT_TRUE(w.Logged("ﾕｰｻﾞｰｷｬﾝｾﾙ"));
    if (c.endCommand) {
        EXPECT_EQ(w.LastRequest(), c.endCommand);
    }
    EXPECT_FALSE(app::BusyWindow::Instance() && app::BusyWindow::Instance()->isVisible());
    c.check(w, board);

    // The board answers at once, and a transfer runs again.
    std::uint32_t low = 0, high = 0;
    EXPECT_TRUE(link::VR_REG_READ(link::CurrentBoard(), 1, link::RegWidth::Bits8, low, high));
    std::vector<std::uint8_t> block(512);
    EXPECT_TRUE(link::BulkRead(link::CurrentBoard(), false, 0, 512, block.data()));
    EXPECT_TRUE(busyShown);
}

INSTANTIATE_TEST_SUITE_P(Operations, LongWorkStop, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// While a transfer runs the window goes on: the log shows lines, the busy
// window's bar moves, the board controls are off and come back after.
TEST(LongWork, WindowStaysAliveAndShowsProgress) {
    EnsureApp();
    sim::Profile profile;
    profile.linkSpeed = sim::LinkSpeed::Usb2;
    SimBoardFixture board(profile);
    Window w(board);
    QPushButton* start = MemoryPage(w, board, "2000000", false, "Button14");
    std::vector<int> values;
    bool controlsOff = true;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        app::BusyWindow* b = app::BusyWindow::Instance();
        if (!b || !b->isVisible()) return;
        values.push_back(b->progress()->bar()->value());
        controlsOff = controlsOff && !w.Find<QLineEdit>(app::kMemoryPage, "Edit12")->isEnabled();
    });
    watch.start(20);
    start->click();
    watch.stop();
    ASSERT_GE(values.size(), 3u);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_LT(values.front(), values.back());
    EXPECT_TRUE(controlsOff);
    EXPECT_TRUE(w.Find<QLineEdit>(app::kMemoryPage, "Edit12")->isEnabled());
    EXPECT_TRUE(w.Logged("Normal Memory Read[SCRAMBLE OFF]"));
}

}  // namespace
}  // namespace quillon::test
