// The parallel-flash runs against the simulated bridge circuit and its CFI
// NOR flash: chunking, odd and oversized files, the verify and its dump, the
// flash's failures, and a board that goes away at any request.

#include "features/flash/nor_bridge.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "features/busy_gate.h"
#include "flash_support.h"
#include "platform/cause.h"
#include "sim/board_flash.h"
#include "support/file_text.h"

namespace quillon::features {
namespace {

using Lines = std::vector<std::string>;
using Values = std::vector<std::uint64_t>;

// A 64 KiB flash in two regions: 2 x 8 KiB, then 3 x 16 KiB.
sim::Profile SmallFlash() {
    sim::Profile p = test::InstantFlash();
    p.flash.norRegions = {{2, 8192}, {3, 16384}};
    return p;
}

struct NorRun {
    explicit NorRun(sim::Profile profile = SmallFlash())
        : board(profile), designs(board.home().root()) {}
    bool Execute(const std::string& path, bool dump = false) {
        return NorBridge2Execute(link::CurrentBoard(), 0, path, dump, view, rec);
    }
    // The log from the erase header on.
    Lines FromErase() const {
        const Lines all = rec.Logs();
        auto it = std::find(all.begin(), all.end(), "//////// FLASH ERASE\t////////");
        return Lines(it, all.end());
    }
    std::vector<std::uint8_t> Flash() { return board.board().FlashContents(sim::FlashChip::Nor); }

    test::SimBoardFixture board;
    test::BridgeFolder designs;
    test::FakeFlashTime clock;
    test::YesReporter rec;
    test::NorView view;
};

using quillon::test::FileBytes;

TEST(NorBridge2, OddFileInWholeChunksAndAShortOneIsWrittenAndVerified) {
    NorRun run;
    const auto data = test::Pattern(2 * 16384 + 1001);
    const std::string path = run.board.File("image.bin", data);
    ASSERT_TRUE(run.Execute(path, true));

    EXPECT_EQ(run.FromErase(),
              (Lines{"//////// FLASH ERASE\t////////", "Flashﾒﾓﾘ全ﾌﾞﾛｯｸのｲﾚｰｽを行います。",
                     "FLASH Memory Block Erasing ..... ", "//////// FLASH WRITE\t////////",
                     "ﾃﾞｰﾀﾌｧｲﾙの全ﾃﾞｰﾀ(33769ﾊﾞｲﾄ)の書込みを行います。",
                     "ﾃﾞｰﾀﾌｧｲﾙが奇数ﾊﾞｲﾄです。最終ﾃﾞｰﾀの上位ﾊﾞｲﾄはFFhでﾗｲﾄされます。",
                     "ﾃﾞｰﾀﾌｧｲﾙ ： " + path, "FLASH Memory Writing .....",
                     "//////// FLASH VERIFY\t////////",
                     "ﾃﾞｰﾀﾌｧｲﾙの全ﾃﾞｰﾀとFLASHﾒﾓﾘの先頭から33769ﾊﾞｲﾄ分の比較を行います。",
                     "FLASH Memory Verifying ....."}));
    EXPECT_EQ(run.view.replaced,
              (Lines{"FLASH Memory Block Erasing ..... DONE!!", "FLASH Memory Writing ..... DONE!!",
                     "FLASH Memory Verifying .... DONE!!"}));
    EXPECT_EQ(run.view.texts,
              (Lines{"ERASE ：20%", "ERASE ：40%", "ERASE ：60%", "ERASE ：80%", "ERASE ：100%",
                     "WRITE ： 0.0%", "WRITE ： 50.0%", "WRITE ： 100%", "VERIFY ： 100%"}));
    EXPECT_EQ(run.view.maximum, 3u);
    EXPECT_EQ(run.view.position, 3u);
    EXPECT_EQ(run.view.result, RunResult::Successful);
    EXPECT_TRUE(run.view.controlsEnabled);
    EXPECT_FALSE(run.view.running);
    EXPECT_EQ(run.view.runs, 1);

    // Every chunk's transfer is a whole 16 KiB; register 6 says how many
    // words of it count (the last: 1002 bytes, 501 words).
    const Values bulk = test::BulkLengths(run.board.wire());
    EXPECT_EQ(Values(bulk.end() - 3, bulk.end()), (Values{16384, 16384, 16384}));
    EXPECT_EQ(test::RegWrites(run.board.wire(), 6), (Values{0xFF, 0xFF, 8191, 8191, 500, 0}));

    const auto flash = run.Flash();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin()));
    EXPECT_EQ(flash[data.size()], 0xFF);  // the odd file's last high byte
    EXPECT_TRUE(std::all_of(flash.begin() + data.size(), flash.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(FileBytes(VerifyDumpPath()), data);
}

TEST(NorBridge2, FileLargerThanTheFlashWritesAndComparesTheFlashSize) {
    NorRun run;
    const auto data = test::Pattern(70000);
    ASSERT_TRUE(run.Execute(run.board.File("big.bin", data)));
    const Lines log = run.FromErase();
    EXPECT_EQ(log[4], "ﾃﾞｰﾀﾌｧｲﾙの先頭から65536ﾊﾞｲﾄ分の書込みを行います。");
    EXPECT_EQ(log[8], "ﾃﾞｰﾀﾌｧｲﾙの先頭から65536ﾊﾞｲﾄ分の比較を行います。");
    const auto flash = run.Flash();
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), data.begin()));
}

TEST(NorBridge2, ProgramFailureStopsTheWrite) {
    sim::Profile p = SmallFlash();
    p.flash.norProgramFailAt = 0x5000;  // its block starts the second chunk
    NorRun run(p);
    EXPECT_FALSE(run.Execute(run.board.File("d.bin", test::Pattern(40000))));
    const Lines log = run.rec.Logs();
    EXPECT_EQ(Lines(log.end() - 2, log.end()), (Lines{"ﾗｲﾄｴﾗｰ", "FLASHﾗｲﾄｴﾗｰ1"}));
    EXPECT_EQ(run.view.replaced.back(), "FLASH Memory Writing ..... FAILED!!");
    EXPECT_EQ(run.rec.Boxes().back(), test::Warning("FLASHﾗｲﾄに失敗しました。"));
    EXPECT_EQ(run.view.result, RunResult::Failed);
    EXPECT_FALSE(run.view.running);
    const auto flash = run.Flash();
    EXPECT_EQ(flash[0x3FFF], test::Pattern(40000)[0x3FFF]);
    EXPECT_EQ(flash[0x4000], 0xFF);
}

TEST(NorBridge2, EraseThatNeverEndsTimesOut) {
    sim::Profile p = SmallFlash();
    p.flash.norEraseFailAt = 0x2000;  // the second block
    NorRun run(p);
    run.rec.onPump = [&run] { run.clock.now += 1000; };
    EXPECT_FALSE(run.Execute(run.board.File("d.bin", test::Pattern(100))));
    EXPECT_EQ(run.view.replaced, Lines{"FLASH Memory Block Erasing ..... FAILED!!"});
    EXPECT_EQ(run.rec.Boxes().back(), test::Warning("FLASHﾒﾓﾘのｲﾚｰｽに失敗しました。"));
    EXPECT_EQ(run.view.texts, Lines{"ERASE ：20%"});
}

TEST(NorBridge2, VerifyMismatchIsReportedWithItsAddress) {
    NorRun run;
    const auto data = test::Pattern(20000);
    // Something changes the flash behind the bridge's back before the verify.
    run.rec.onPump = [&run] {
        const Lines l = run.rec.Logs();
        if (!l.empty() && l.back() == "FLASH Memory Verifying .....") {
            const std::uint8_t zero = 0;
            run.board.board().LoadFlash(sim::FlashChip::Nor, 0x1234, std::span(&zero, 1));
        }
    };
    EXPECT_FALSE(run.Execute(run.board.File("d.bin", data), true));
    char line[120];
    std::snprintf(line, sizeof line, "ﾍﾞﾘﾌｧｲｴﾗｰ ： ｱﾄﾞﾚｽ 00001234h ﾃﾞｰﾀﾌｧｲﾙ %02Xh FLASH 00h",
                  data[0x1234]);
    EXPECT_EQ(run.rec.Logs().back(), line);
    EXPECT_EQ(run.view.replaced.back(), "FLASH Memory Verifying ..... FAILED!!");
    EXPECT_EQ(run.rec.Boxes().back(), test::Warning("FLASHﾒﾓﾘﾍﾞﾘﾌｧｲｴﾗｰです。"));
    const auto dump = FileBytes(VerifyDumpPath());
    ASSERT_EQ(dump.size(), data.size());
    EXPECT_EQ(dump[0x1234], 0x00);
}

TEST(NorBridge2, NothingIsTouchedWithoutAYesOrWithoutADataFile) {
    NorRun run;
    const auto before = run.Flash();
    run.rec.answer = MsgAnswer::No;
    EXPECT_FALSE(run.Execute(run.board.File("d.bin", {1, 2})));
    EXPECT_TRUE(run.rec.Logs().empty());
    EXPECT_EQ(run.view.runs, 0);

    run.rec.answer = MsgAnswer::Yes;
    {
        // Another long operation has the board: refused before the question.
        const BusyGate::Hold other = BusyGate::TryTake("MemWrite");
        EXPECT_FALSE(run.Execute(run.board.File("d.bin", {1, 2})));
        EXPECT_EQ(run.rec.shown.back(), test::StatusText(kBusyRefusal));
        EXPECT_EQ(run.rec.Boxes().size(), 1u);  // only the earlier "No" question
    }
    EXPECT_FALSE(run.Execute(run.board.home().root() + "/missing.bin"));
    EXPECT_EQ(run.rec.Boxes().back(),
              test::Warning("ﾃﾞｰﾀﾌｧｲﾙがｵｰﾌﾟﾝ出来ませんでした。",
                            "ﾌｧｲﾙ「" + run.board.home().root() + "/missing.bin」: " +
                                SystemErrorText(ENOENT)));
    EXPECT_TRUE(run.board.wire().empty());  // not even the bridge was loaded
    EXPECT_EQ(run.view.result, RunResult::Failed);
    EXPECT_FALSE(run.view.running);
    EXPECT_EQ(run.Flash(), before);
}

// The file is opened once, before the erase: replaced or removed while the
// flash is erased, the flash still gets, and is compared with, what was checked.
TEST(NorBridge2, WritesAndVerifiesTheFileAsItWasWhenChecked) {
    for (const bool removed : {false, true}) {
        NorRun run;
        const auto data = test::Pattern(16384 + 501);
        const std::string path = run.board.File("image.bin", data);
        bool swapped = false;
        run.rec.onPump = [&] {
            if (swapped || run.FromErase().empty()) return;
            swapped = true;
            if (removed)
                std::filesystem::remove(path);
            else
                std::filesystem::rename(run.board.File("other.bin", test::Pattern(100, 3)), path);
        };
        ASSERT_TRUE(run.Execute(path)) << removed;
        EXPECT_TRUE(swapped);
        const auto flash = run.Flash();
        EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin())) << removed;
        EXPECT_EQ(run.view.result, RunResult::Successful);
    }
}

TEST(NorBridge2, ReadCfiReportsTheQueryWithoutThePageGuard) {
    {
        NorRun run;
        ASSERT_TRUE(NorBridge2ReadCfi(link::CurrentBoard(), 1, run.view, run.rec));
        const Lines log = run.rec.Logs();
        EXPECT_EQ(log.back(), "Region1 Block Size ： 16384Bytes");
        EXPECT_NE(std::find(log.begin(), log.end(), "Total FLASH Size ： 65536Bytes(0MiBytes)"),
                  log.end());
        EXPECT_EQ(run.view.result, RunResult::Successful);
        EXPECT_EQ(run.view.runs, 0);
        EXPECT_EQ(run.board.board().Configuration().design, "norbridge2");
    }
    {
        sim::Profile p = SmallFlash();
        p.flash.norRegions = {{1, 8192}, {1, 8192}, {1, 8192}, {1, 8192}, {4, 8192}};
        NorRun run(p);
        EXPECT_FALSE(NorBridge2ReadCfi(link::CurrentBoard(), 0, run.view, run.rec));
        EXPECT_EQ(run.rec.Boxes().back(), test::Warning("CFIｸｴﾘが正常にﾘｰﾄﾞ出来ませんでした。"));
        EXPECT_EQ(run.view.result, RunResult::Failed);
    }
    {
        NorRun run;
        run.designs.Remove(kNorBridgeDesigns[0]);
        EXPECT_FALSE(NorBridge2ReadCfi(link::CurrentBoard(), 0, run.view, run.rec));
        EXPECT_EQ(run.rec.Logs().front(),
                  "NorBrige2:" + run.designs.folder() + "/" + kNorBridgeDesigns[0]);
        EXPECT_EQ(run.rec.Logs().size(), 3u);
    }
}

TEST(NorBridge2, BoardGoneAtAnyRequestEndsInFailure) {
    // Two blocks and one chunk keep the number of requests down.
    sim::Profile p = test::InstantFlash();
    p.flash.norRegions = {{2, 8192}};
    const auto data = test::Pattern(10001);
    std::uint64_t total = 0;
    {
        NorRun run(p);
        const std::uint64_t base = run.board.board().RequestCount();
        ASSERT_TRUE(run.Execute(run.board.File("d.bin", data)));
        total = run.board.board().RequestCount() - base;
    }
    for (std::uint64_t n = 1; n <= total; ++n) {
        NorRun run(p);
        sim::Faults f;
        f.unplugAtRequest = run.board.board().RequestCount() + n;
        run.board.board().SetFaults(f);
        EXPECT_FALSE(run.Execute(run.board.File("d.bin", data))) << n;
        EXPECT_EQ(run.view.result, RunResult::Failed) << n;
        EXPECT_FALSE(run.view.running) << n;
        EXPECT_TRUE(run.view.controlsEnabled) << n;
        EXPECT_GE(run.rec.Boxes().size(), 2u) << n;
    }
}

}  // namespace
}  // namespace quillon::features
