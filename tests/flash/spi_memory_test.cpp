// The SPI memories behind the user design's SPI core, against the simulated
// board: the bytes on the SPI bus, the completion waits, their time-outs and
// a board that goes away at any request.

#include "features/flash/spi_memory.h"

#include <gtest/gtest.h>

#include "flash_support.h"
#include "sim/board_flash.h"

namespace quillon::features {
namespace {

using Bytes = std::vector<std::uint64_t>;
constexpr std::uint16_t kBase = 24;

class SpiMemoryTest : public ::testing::Test {
  protected:
    explicit SpiMemoryTest(double scale = 0) : board_(Profile(scale)) {}
    static sim::Profile Profile(double scale) {
        sim::Profile p;
        p.flash.timeScale = scale;
        return p;
    }
    // The bytes shifted out: the writes of the transmit register.
    Bytes Sent() { return test::RegWrites(board_.wire(), kBase + 1); }
    // Reads of the receive register (8 bit, register B).
    int ReceiveReads() {
        int n = 0;
        for (const test::Wire& w : board_.wire())
            if (!w.bulk && w.setup.In() && w.setup.bRequest == link::vr::REG &&
                w.setup.wValue == link::RegWValue(kBase, link::RegWidth::Bits8))
                ++n;
        return n;
    }
    std::uint8_t FlashByte(std::uint32_t a) {
        return board_.board().FlashContents(sim::FlashChip::M25p128)[a];
    }

    test::SimBoardFixture board_;
    test::RecordingReporter rec_;
    link::BoardHandle h_ = link::CurrentBoard();
};

TEST_F(SpiMemoryTest, UfmWordsTravelHighByteFirstAndWrapAtTheUfmSize) {
    ASSERT_TRUE(SpiUfmWriteWord(h_, kBase, 0x10323, 0xBEEF, rec_));
    EXPECT_EQ(Sent(), (Bytes{0x06, 0x02, 0x03, 0x23, 0xBE, 0xEF}));  // low 16 bits of the address
    EXPECT_EQ(test::RegWrites(board_.wire(), kBase + 5), (Bytes{1, 0, 1, 0}));
    board_.wire().clear();

    std::uint16_t word = 0;
    ASSERT_TRUE(SpiUfmReadWord(h_, kBase, 0x0123, word, rec_));  // 323h wrapped at 512 words
    EXPECT_EQ(word, 0xBEEF);
    EXPECT_EQ(Sent(), (Bytes{0x03, 0x01, 0x23, 0x00, 0x00}));
    EXPECT_EQ(ReceiveReads(), 2);  // only the two data bytes are fetched

    // Sector 1 erased, sector 0 kept.
    ASSERT_TRUE(SpiUfmWriteWord(h_, kBase, 0x0005, 0x1234, rec_));
    ASSERT_TRUE(SpiUfmEraseSector(h_, kBase, 0x100, rec_));
    ASSERT_TRUE(SpiUfmReadWord(h_, kBase, 0x0123, word, rec_));
    EXPECT_EQ(word, 0xFFFF);
    ASSERT_TRUE(SpiUfmReadWord(h_, kBase, 0x0005, word, rec_));
    EXPECT_EQ(word, 0x1234);
}

class SpiTimedTest : public SpiMemoryTest {
  protected:
    SpiTimedTest() : SpiMemoryTest(200.0) {}  // a page program takes 0.28 s
};

TEST_F(SpiTimedTest, FlashByteWriteWaitsForTheChipAndReadsWithAaDummy) {
    ASSERT_TRUE(SpiFlashWriteByte(h_, kBase, 0xFF123456, 0x5A, rec_));  // 24 bits go out
    const Bytes sent = Sent();
    ASSERT_GE(sent.size(), 8u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 6), (Bytes{0x06, 0x02, 0x12, 0x34, 0x56, 0x5A}));
    // Status reads until the page program is done, then write-disable.
    EXPECT_EQ(sent[6], 0x05u);
    EXPECT_GT(std::count(sent.begin(), sent.end(), 0x05u), 1);
    EXPECT_EQ(sent.back(), 0x04u);
    EXPECT_EQ(FlashByte(0x123456), 0x5A);

    board_.wire().clear();
    std::uint8_t b = 0;
    ASSERT_TRUE(SpiFlashReadByte(h_, kBase, 0x123456, b, rec_));
    EXPECT_EQ(b, 0x5A);
    EXPECT_EQ(Sent(), (Bytes{0x03, 0x12, 0x34, 0x56, 0xAA}));
    EXPECT_EQ(ReceiveReads(), 1);
}

class SpiSlowTest : public SpiMemoryTest {
  protected:
    SpiSlowTest() : SpiMemoryTest(10000.0) {}  // a page program takes 14 s
};

TEST_F(SpiSlowTest, WaitsGiveUpAtTheirLimits) {
    // Two seconds go by whenever events run: within a byte's 5 s wait, but
    // beyond the write's 5 s after a status poll or two.
    test::FakeFlashTime clock;
    rec_.onPump = [&clock] { clock.now += 2000; };
    EXPECT_FALSE(SpiFlashWriteByte(h_, kBase, 0, 0x00, rec_));
    Bytes sent = Sent();
    EXPECT_GE(std::count(sent.begin(), sent.end(), 0x05u), 1);
    EXPECT_EQ(sent.back(), 0x00u);  // the last status poll; no write-disable after it

    board_.board().Unplug();  // power cycle: the chip is idle again
    board_.board().Plug();
    link::BoardLink::Instance().Close();
    link::BoardLink::Instance().Open();
    h_ = link::CurrentBoard();
    board_.wire().clear();
    const std::int64_t started = clock.now;
    EXPECT_FALSE(SpiFlashChipErase(h_, kBase, rec_));  // 250 s limit
    EXPECT_GE(clock.now - started, 250000);
    EXPECT_LT(clock.now - started, 270000);
    EXPECT_EQ(Sent().back(), 0x00u);
}

TEST(SpiUnplug, EveryRequestOfAByteWriteFailsCleanly) {
    std::uint64_t total = 0;
    {
        test::SimBoardFixture f(test::InstantFlash());
        const std::uint64_t base = f.board().RequestCount();
        test::RecordingReporter rec;
        ASSERT_TRUE(SpiFlashWriteByte(link::CurrentBoard(), kBase, 7, 0x42, rec));
        total = f.board().RequestCount() - base;
    }
    for (std::uint64_t n = 1; n <= total; ++n) {
        test::SimBoardFixture f(test::InstantFlash());
        sim::Faults faults;
        faults.unplugAtRequest = f.board().RequestCount() + n;
        f.board().SetFaults(faults);
        test::RecordingReporter rec;
        EXPECT_FALSE(SpiFlashWriteByte(link::CurrentBoard(), kBase, 7, 0x42, rec)) << n;
    }
}

}  // namespace
}  // namespace quillon::features
