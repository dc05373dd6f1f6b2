// The simulated board's flash memories on their own: the command sets the
// host relies on, the faults the profile injects, and contents that outlive
// designs, power cycles and the program.

#include <gtest/gtest.h>

#include <filesystem>

#include "flash_support.h"
#include "sim/board_flash.h"
#include "sim/sim_board.h"
#include "sim/sim_profile.h"
#include "sim_host.h"

namespace quillon::sim {
namespace {

using Clock = std::chrono::steady_clock;

FlashProfile Instant() {
    FlashProfile p;
    p.timeScale = 0;
    p.norRegions = {{2, 8192}, {3, 16384}};
    return p;
}

void Unlock(NorFlash& f, Clock::time_point t) {
    f.BusWrite(0x555, 0xAAAA, t);
    f.BusWrite(0x2AA, 0x5555, t);
}

TEST(SimNorFlash, AmdCommandSetQueryAndFailingBlocks) {
    FlashProfile profile = Instant();
    profile.norEraseFailAt = 0x4000;
    NorFlash f(profile);
    const auto t = Clock::now();
    // A bare write programs nothing; the unlocked program only clears bits.
    f.BusWrite(0x10, 0x1234, t);
    EXPECT_EQ(f.BusRead(0x10), 0xFFFF);
    Unlock(f, t);
    f.BusWrite(0x555, 0xA0A0, t);
    f.BusWrite(0x10, 0x1234, t);
    Unlock(f, t);
    f.BusWrite(0x555, 0xA0A0, t);
    f.BusWrite(0x10, 0xFF0F, t);
    EXPECT_EQ(f.BusRead(0x10), 0x1204);

    // The query until a reset.
    f.BusWrite(0x55, 0x0098, t);
    EXPECT_EQ(f.BusRead(0x10), 'Q');
    EXPECT_EQ(f.BusRead(0x27), 16);  // 64 KiB
    f.BusWrite(0x0, 0x00F0, t);
    EXPECT_EQ(f.BusRead(0x10), 0x1204);

    // Block erase; the failing block stays busy until a reset.
    const auto erase = [&](std::uint32_t word) {
        Unlock(f, t);
        f.BusWrite(0x555, 0x8080, t);
        Unlock(f, t);
        f.BusWrite(word, 0x3030, t);
    };
    erase(0x0);
    EXPECT_EQ(f.BusRead(0x10), 0xFFFF);
    erase(0x2000);  // byte 0x4000
    EXPECT_TRUE(f.Busy(t + std::chrono::hours(1)));
    EXPECT_TRUE(f.Failed());
    f.BusWrite(0, 0xF0F0, t);
    EXPECT_FALSE(f.Busy(t));
}

TEST(SimM25p128, ProgramNeedsTheLatchAndTakesItAway) {
    M25p128 chip(0);
    const auto t = Clock::now();
    const auto command = [&](std::initializer_list<std::uint8_t> bytes) {
        chip.Select(t);
        for (std::uint8_t b : bytes) chip.Transfer(b, t);
        chip.Deselect(t);
    };
    command({0x02, 0x00, 0x01, 0x00, 0x12});  // no write enable: ignored
    EXPECT_EQ(chip.cells().ReadByte(0x100), 0xFF);
    command({0x06});
    EXPECT_EQ(chip.Status(t) & 0x02, 0x02);
    command({0x02, 0x00, 0x01, 0xFF, 0x12, 0x34});  // wraps within the page
    EXPECT_EQ(chip.cells().ReadByte(0x1FF), 0x12);
    EXPECT_EQ(chip.cells().ReadByte(0x100), 0x34);
    EXPECT_EQ(chip.Status(t) & 0x02, 0);
    command({0x06});
    command({0xD8, 0x00, 0x01, 0x00, 0x00});  // one byte too many: not taken
    EXPECT_EQ(chip.cells().ReadByte(0x100), 0x34);
    command({0xD8, 0x00, 0x01, 0x00});
    EXPECT_EQ(chip.cells().ReadByte(0x100), 0xFF);
}

TEST(SimBoardFlash, ContentsOutliveDesignsPowerCyclesAndTheProgram) {
    test::FreshHome home;
    Profile p;
    p.flash = Instant();
    p.flash.dir = home.root() + "/flash";
    {
        SimBoard board(p);
        const std::uint8_t bytes[] = {1, 2, 3};
        board.LoadFlash(FlashChip::Nor, 0x100, bytes);
        board.LoadFlash(FlashChip::M25p128, 0xFFFFFE, bytes);  // wraps to 0
        board.Unplug();
        board.Plug();
        EXPECT_EQ(board.FlashContents(FlashChip::Nor)[0x101], 2);
    }
    EXPECT_EQ(std::filesystem::file_size(p.flash.dir + "/norflash.bin"), 65536u);
    EXPECT_EQ(std::filesystem::file_size(p.flash.dir + "/m25p128.bin"), 16u << 20);
    EXPECT_EQ(std::filesystem::file_size(p.flash.dir + "/ufm.bin"), 1024u);
    SimBoard again(p);
    EXPECT_EQ(again.FlashContents(FlashChip::Nor)[0x102], 3);
    EXPECT_EQ(again.FlashContents(FlashChip::M25p128)[0], 3);
}

TEST(SimSpiCore, RegistersArePlainOutsideATransaction) {
    SimBoard board;
    test::RawHost host{board};
    ASSERT_TRUE(host.RegWrite(25, 0x80, 0x5A));
    ASSERT_TRUE(host.RegWrite(26, 0x80, 0x77));
    EXPECT_EQ(host.RegRead(25, 0x80), 0x5Au);
    EXPECT_EQ(host.RegRead(26, 0x80), 0x77u);
    ASSERT_TRUE(host.RegWrite(27, 0x80, 0x400));  // keep slave select: the core answers
    EXPECT_EQ(host.RegRead(26, 0x80) & 0x60, 0x60u);
    ASSERT_TRUE(host.RegWrite(27, 0x80, 0));
    EXPECT_EQ(host.RegRead(26, 0x80), 0x77u);
}

TEST(SimFlashProfile, KeysAndTheirBadValues) {
    std::string error;
    auto p = ParseProfile(
        "flash_time_scale = 0.5\nnorflash_regions = 8x8K, 63x64K\nspi_core_base = off\n"
        "norflash_program_fail_at = 0x10000\nserbridge_fail = verify\n",
        error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(p->flash.timeScale, 0.5);
    EXPECT_EQ(p->flash.norRegions, (std::vector<NorRegion>{{8, 8192}, {63, 65536}}));
    EXPECT_FALSE(p->flash.spiCoreBase);
    EXPECT_EQ(p->flash.norProgramFailAt, 0x10000u);
    EXPECT_EQ(p->flash.serBridgeFault, SerBridgeFault::Verify);
    for (const char* bad : {"norflash_regions = 8x100", "norflash_regions = 0x8K",
                            "flash_time_scale = -1", "spi_core_base = 16379",
                            "serbridge_fail = sometimes"}) {
        EXPECT_FALSE(ParseProfile(bad, error)) << bad;
        EXPECT_NE(error.find("line 1: bad value"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace quillon::sim
