// The serial-flash bridge run against the simulated board's bridge design:
// what ends up in the M25P128, the fixed sequence of log lines and progress
// values, the soft CPU's errors, a stop request, time-outs and a board that
// goes away at any request.

#include "features/flash/ser_bridge.h"

#include <gtest/gtest.h>

#include "flash_support.h"
#include "sim/board_flash.h"

namespace quillon::features {
namespace {

using Lines = std::vector<std::string>;
constexpr std::size_t k16M = 16u << 20;

struct SerRun {
    explicit SerRun(sim::Profile profile = test::InstantFlash())
        : board(profile), designs(board.home().root()) {}
    bool Execute(const std::string& path, int target = 0) {
        return SerBridgeExecute(link::CurrentBoard(), target, path, view, rec);
    }
    // The log from the bridge's load on ("!!" and the flags come first).
    Lines RunLog() const {
        Lines l = rec.Logs();
        if (l.size() >= 4 && l[0] == "!!") l.erase(l.begin(), l.begin() + 4);
        return l;
    }
    std::vector<std::uint8_t> Flash() { return board.board().FlashContents(sim::FlashChip::M25p128); }

    test::SimBoardFixture board;
    test::BridgeFolder designs;
    test::FakeFlashTime clock;
    test::YesReporter rec;
    test::SerView view;
};

TEST(SerBridge, WholeRunWritesTheFileAndFfAfterIt) {
    SerRun run;
    const auto data = test::Pattern(100003);
    const std::string path = run.board.File("image.bin", data);
    ASSERT_TRUE(run.Execute(path));
    EXPECT_EQ(run.RunLog(),
              (Lines{"SerBridge:USBｺﾝﾌｨｸﾞﾚｰｼｮﾝ成功", "SerBridge:ｲﾚｰｽｺﾏﾝﾄﾞ発行",
                     "SerBridge:Erasing ...", "SerBridge:ERASE Checking ...",
                     "SerBridge:ﾃﾞｰﾀﾌｧｲﾙ転送中",
                     "SerBridge:ﾃﾞｰﾀﾌｧｲﾙの全ﾃﾞｰﾀ(100003ﾊﾞｲﾄ)の書込みを行います。",
                     "SerBridge:M25P128 Writing ... MAX460sec", "SerBridge:Verifying ...",
                     "SerBridge:正常終了"}));
    EXPECT_EQ(run.rec.shown[0].text.rfind("SerBridgeを実行すると", 0), 0u);
    EXPECT_EQ(run.rec.Boxes().size(), 1u);  // the confirmation only
    EXPECT_EQ(run.view.result, RunResult::Successful);
    EXPECT_TRUE(run.view.executeEnabled);
    EXPECT_EQ(run.view.phase, "");
    EXPECT_EQ(run.view.progress, (std::vector<int>{0, 5, 10, 15, 20, 25, 30, 35, 60, 80, 100, 0,
                                                   100}));

    EXPECT_EQ(run.board.board().Configuration().design, "serbridge");
    EXPECT_EQ(test::RegWrites(run.board.wire(), 0), (std::vector<std::uint64_t>{0x2000000}));
    EXPECT_EQ(test::RegWrites(run.board.wire(), 16), (std::vector<std::uint64_t>{1, 2}));
    EXPECT_EQ(test::BulkLengths(run.board.wire()).back(), k16M);  // always the whole image
    const auto flash = run.Flash();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin()));
    EXPECT_TRUE(std::all_of(flash.begin() + data.size(), flash.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
}

TEST(SerBridge, FilesAtAndBeyondSixteenMebibytes) {
    for (const std::size_t size : {k16M, k16M + 1}) {
        SerRun run;
        const auto data = test::Pattern(size, static_cast<std::uint32_t>(size));
        ASSERT_TRUE(run.Execute(run.board.File("big.bin", data)));
        const std::string line =
            size == k16M ? "SerBridge:ﾃﾞｰﾀﾌｧｲﾙの全ﾃﾞｰﾀ(16777216ﾊﾞｲﾄ)の書込みを行います。"
                         : "SerBridge:ﾃﾞｰﾀﾌｧｲﾙの先頭から16777216ﾊﾞｲﾄの書込みを行います。";
        const Lines log = run.RunLog();
        EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << size;
        const auto& shown = run.rec.shown;
        EXPECT_NE(std::find(shown.begin(), shown.end(), test::StatusText(line)), shown.end());
        const auto flash = run.Flash();
        EXPECT_TRUE(std::equal(flash.begin(), flash.end(), data.begin())) << size;
    }
}

TEST(SerBridge, HardwareErrorInEveryPhaseFailsTheRun) {
    using F = sim::SerBridgeFault;
    for (const F fault : {F::Erase, F::EraseCheck, F::Write, F::Verify}) {
        sim::Profile p = test::InstantFlash();
        p.flash.serBridgeFault = fault;
        SerRun run(p);
        EXPECT_FALSE(run.Execute(run.board.File("d.bin", test::Pattern(1000))));
        EXPECT_EQ(run.RunLog().back(), "SerBridge:Hardware ERROR!!");
        EXPECT_EQ(run.rec.Boxes().back(), test::Warning("Hardware ERROR!!"));
        EXPECT_EQ(run.view.result, RunResult::Failed);
        EXPECT_TRUE(run.view.executeEnabled);
        // Nothing after the failing phase: no transfer after a failed erase.
        const bool transferred = test::BulkLengths(run.board.wire()).back() == k16M;
        EXPECT_EQ(transferred, fault == F::Write || fault == F::Verify);
    }
}

TEST(SerBridge, StopRequestDuringTheEraseLeavesTheResultAtDash) {
    sim::Profile p;
    p.flash.timeScale = 1.0;  // the erase takes 105 s
    SerRun run(p);
    run.rec.onPump = [&run] {
        if (run.view.phase == "Erasing ... MAX250sec") SerFlashCancelRequested().store(true);
    };
    EXPECT_FALSE(run.Execute(run.board.File("d.bin", test::Pattern(10))));
    EXPECT_EQ(run.RunLog().back(), "SerBridge:User Abort!!");
    EXPECT_EQ(run.rec.Boxes().back(), test::Warning("SerBridgeの実行をｷｬﾝｾﾙしました。"));
    EXPECT_EQ(run.view.result, RunResult::Dash);
    EXPECT_FALSE(run.view.elapsed.has_value());
    EXPECT_EQ(run.view.phase, "");
    EXPECT_EQ(test::RegWrites(run.board.wire(), 16), (std::vector<std::uint64_t>{1}));
}

TEST(SerBridge, ErasePollTimesOutAfter250Seconds) {
    sim::Profile p;
    p.flash.timeScale = 1.0;
    SerRun run(p);
    run.rec.onPump = [&run] { run.clock.now += 10000; };
    EXPECT_FALSE(run.Execute(run.board.File("d.bin", test::Pattern(10))));
    EXPECT_EQ(run.RunLog().back(), "SerBridge:ｲﾚｰｽﾀｲﾑｱｳﾄ");
    EXPECT_EQ(run.rec.Boxes().back(), test::Warning("ｲﾚｰｽﾀｲﾑｱｳﾄです。"));
    EXPECT_EQ(run.view.result, RunResult::Failed);
}

TEST(SerBridge, MissingFilesAndAFailedLoad) {
    {
        SerRun run;
        run.designs.Remove(kSerBridgeDesigns[1]);
        EXPECT_FALSE(run.Execute(run.board.File("d.bin", {1}), 1));
        EXPECT_EQ(run.rec.Logs(), Lines{"SerBridge:" + run.designs.folder() + "/" + kSerBridgeDesigns[1]});
        EXPECT_EQ(run.rec.Boxes().back().text.rfind("SerBridge用ｺﾝﾌｨｸﾞﾚｰｼｮﾝﾌｧｲﾙが存在しません。", 0), 0u);
        EXPECT_TRUE(run.board.wire().empty());
    }
    {
        SerRun run;  // a folder is no data file
        EXPECT_FALSE(run.Execute(run.board.home().root()));
        const Lines log = run.RunLog();
        EXPECT_EQ(Lines(log.end() - 2, log.end()),
                  (Lines{"SerBridge:" + run.board.home().root(),
                         "ﾌｧｲﾙ「" + run.board.home().root() + "」: ﾌｫﾙﾀﾞです"}));
        EXPECT_EQ(run.rec.Boxes().back().text.rfind("ﾃﾞｰﾀﾌｧｲﾙﾌｧｲﾙが存在しません。", 0), 0u);
    }
    for (int target : {0, 1}) {
        SerRun run;
        run.board.SetConfigStatus(1);  // the board refuses the design
        EXPECT_FALSE(run.Execute(run.board.File("d.bin", {1}), target));
        const Lines log = run.RunLog();
        EXPECT_EQ(Lines(log.end() - 2, log.end()),
                  (Lines{"SerBridge:USBｺﾝﾌｨｸﾞﾚｰｼｮﾝ失敗.",
                         "FPGAがｺﾝﾌｨｸﾞﾚｰｼｮﾝﾃﾞｰﾀを受け付けませんでした(ｽﾃｰﾀｽ 01h)。ﾌｧｲﾙの種類(Altera/Xilinx)と設定を確認して下さい"}));
        // The DIP switch hint only for the first target.
        EXPECT_EQ(run.rec.Boxes().size(), target == 0 ? 3u : 2u);
    }
}

TEST(SerBridge, BoardGoneAtAnyRequestEndsInFailure) {
    std::uint64_t total = 0;
    {
        SerRun run;
        const std::uint64_t base = run.board.board().RequestCount();
        ASSERT_TRUE(run.Execute(run.board.File("d.bin", test::Pattern(64)), 1));
        total = run.board.board().RequestCount() - base;
    }
    for (std::uint64_t n = 1; n <= total; ++n) {
        SerRun run;
        sim::Faults f;
        f.unplugAtRequest = run.board.board().RequestCount() + n;
        run.board.board().SetFaults(f);
        // The second target: a failed load shows one box, without the DIP hint.
        EXPECT_FALSE(run.Execute(run.board.File("d.bin", test::Pattern(64)), 1)) << n;
        EXPECT_EQ(run.view.result, RunResult::Failed) << n;
        EXPECT_TRUE(run.view.executeEnabled) << n;
        EXPECT_EQ(run.rec.Boxes().size(), 2u) << n;  // the question and the failure
    }
}

}  // namespace
}  // namespace quillon::features
