// The FPGA side: memory path behind the bulk pipes, configuration streams and
// designs, block registers.

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>

#include "sim/gpif2_master.h"
#include "sim/sim_board.h"
#include "sim/sparse_memory.h"
#include "sim_host.h"

namespace quillon::sim {
namespace {

using test::RawHost;

std::vector<std::uint8_t> Pattern(std::size_t n, std::uint32_t seed = 1) {
    std::vector<std::uint8_t> v(n);
    std::uint32_t x = seed;
    for (auto& b : v) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return v;
}

TEST(SimMemory, WriteAndReadBackAcrossPagesInBothFramings) {
    SimBoard board;
    RawHost host{board};
    // Start 16 bytes before a page boundary so the transfer straddles three pages.
    const std::uint32_t start = SparseMemory::kPageSize * 5 - 16;
    ASSERT_TRUE(host.RegWrite(0, 0x80, start));
    const auto data = Pattern(2 * SparseMemory::kPageSize + 100);

    ASSERT_TRUE(host.MemCmd(0xC0, 0x80));
    auto w = board.BulkOut(0x06, data);
    ASSERT_TRUE(w.ok());
    EXPECT_EQ(w.moved, data.size());
    ASSERT_TRUE(host.MemCmd(0x40, 0x80));
    EXPECT_EQ(board.ReadMemory(0, start, data.size()), data);

    // Read back with length framing.
    std::vector<std::uint8_t> back(data.size());
    ASSERT_TRUE(host.MemCmdLen(0x80, static_cast<std::uint32_t>(data.size() >> 2)));
    auto r = board.BulkIn(0x82, back);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.moved, back.size());
    ASSERT_TRUE(host.MemCmdLen(0x00, static_cast<std::uint32_t>(data.size() >> 2)));
    EXPECT_EQ(back, data);
}

TEST(SimMemory, PiecesBetweenOneBeginAndEndLandContiguously) {
    SimBoard board;
    RawHost host{board};
    ASSERT_TRUE(host.RegWrite(0, 0x80, 0x1000));
    const auto data = Pattern(3 * 4096);
    ASSERT_TRUE(host.MemCmd(0xC0));
    for (int k = 0; k < 3; ++k)
        ASSERT_TRUE(board.BulkOut(0x06, std::span(data).subspan(k * 4096, 4096)).ok());
    ASSERT_TRUE(host.MemCmd(0x40));
    EXPECT_EQ(board.ReadMemory(0, 0x1000, data.size()), data);
    // A new begin starts again at register 0.
    ASSERT_TRUE(host.MemCmd(0x80));
    std::vector<std::uint8_t> first(4096);
    ASSERT_TRUE(board.BulkIn(0x82, first).ok());
    ASSERT_TRUE(host.MemCmd(0x00));
    EXPECT_TRUE(std::equal(first.begin(), first.end(), data.begin()));
}

TEST(SimMemory, RegisterOneSelectsTheMemory) {
    SimBoard board;
    RawHost host{board};
    const auto a = Pattern(512, 7), b = Pattern(512, 9);
    ASSERT_TRUE(host.RegWrite(0, 0x80, 0x200));
    ASSERT_TRUE(host.RegWrite(1, 0x00, 0));
    ASSERT_TRUE(host.MemCmd(0xC0));
    ASSERT_TRUE(board.BulkOut(0x06, a).ok());
    ASSERT_TRUE(host.MemCmd(0x40));
    ASSERT_TRUE(host.RegWrite(1, 0x00, 0x0A));
    ASSERT_TRUE(host.MemCmd(0xC0));
    ASSERT_TRUE(board.BulkOut(0x06, b).ok());
    ASSERT_TRUE(host.MemCmd(0x40));
    EXPECT_EQ(board.ReadMemory(0, 0x200, 512), a);
    EXPECT_EQ(board.ReadMemory(0x0A, 0x200, 512), b);
}

TEST(SimMemory, HighAddressesAndUniformDataCostLittle) {
    SimBoard board;
    RawHost host{board};
    ASSERT_TRUE(host.RegWrite(0, 0x80, 0xFFFF0000u));
    const std::vector<std::uint8_t> ff(64u << 20, 0xFF);
    ASSERT_TRUE(host.MemCmd(0xC0));
    // 64 MiB of 0xFF starting 64 KiB below 4 GiB: the cursor runs past 4 GiB.
    ASSERT_TRUE(board.BulkOut(0x06, ff).ok());
    ASSERT_TRUE(host.MemCmd(0x40));
    EXPECT_EQ(board.MemoryStoredPages(), 0u);
    EXPECT_EQ(board.ReadMemory(0, 0x100000000ull + (32u << 20), 4),
              (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    // A partial overwrite gives that page bytes of its own, and only that page.
    board.WriteMemory(0, 0x100000010ull, std::vector<std::uint8_t>{1, 2, 3});
    EXPECT_EQ(board.MemoryStoredPages(), 1u);
    EXPECT_EQ(board.ReadMemory(0, 0x10000000Full, 5),
              (std::vector<std::uint8_t>{0xFF, 1, 2, 3, 0xFF}));
}

TEST(SimMemory, SparseMemoryLimitDropsInsteadOfGrowing) {
    SparseMemory m(1);
    const auto data = Pattern(SparseMemory::kPageSize * 2);
    m.Write(0, data);
    EXPECT_EQ(m.StoredPages(), 1u);
    EXPECT_EQ(m.DroppedBytes(), SparseMemory::kPageSize);
    std::vector<std::uint8_t> back(SparseMemory::kPageSize);
    m.Read(0, back);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin()));
}

// Pages with bytes of their own live in the scratch file: they come back
// whole, and an overwrite or a fill page frees their place for another.
TEST(SimMemory, StoredPagesComeBackAndReuseTheirPlace) {
    SparseMemory m;
    const auto a = Pattern(3 * SparseMemory::kPageSize + 10);
    m.Write(100, a);
    EXPECT_EQ(m.StoredPages(), 4u);
    std::vector<std::uint8_t> back(a.size());
    m.Read(100, back);
    EXPECT_EQ(back, a);
    m.Write(0, std::vector<std::uint8_t>(SparseMemory::kPageSize, 0));
    EXPECT_EQ(m.StoredPages(), 3u);
    const auto b = Pattern(SparseMemory::kPageSize, 7);
    m.Write(10 * SparseMemory::kPageSize, b);
    EXPECT_EQ(m.StoredPages(), 4u);
    back.resize(b.size());
    m.Read(10 * SparseMemory::kPageSize, back);
    EXPECT_EQ(back, b);
    m.Read(SparseMemory::kPageSize, back);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), a.begin() + SparseMemory::kPageSize - 100));
    EXPECT_EQ(m.DroppedBytes(), 0u);
}

TEST(SimMemory, DiscardingMemoryKeepsNothingAndReadsItsAddresses) {
    SparseMemory m(SIZE_MAX, true);
    m.Write(0, Pattern(SparseMemory::kPageSize));
    EXPECT_EQ(m.StoredPages(), 0u);
    std::vector<std::uint8_t> back(12);
    m.Read(0x0102030405060705ull, back);
    EXPECT_EQ(back, (std::vector<std::uint8_t>{0x03, 0x02, 0x01,  // the word at ...700
                                               0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,
                                               0x10}));
}

TEST(SimMemory, BulkOutsideAFramedTransferStalls) {
    SimBoard board;
    RawHost host{board};
    std::vector<std::uint8_t> buf(512);
    EXPECT_EQ(board.BulkOut(0x06, buf).error, link::UsbError::Stall);
    EXPECT_EQ(board.BulkIn(0x82, buf).error, link::UsbError::Stall);
    ASSERT_TRUE(host.MemCmd(0xC0));
    EXPECT_EQ(board.BulkIn(0x82, buf).error, link::UsbError::Stall);   // against the begin
    EXPECT_EQ(board.BulkOut(0x02, buf).error, link::UsbError::Stall);  // wrong pipe
    EXPECT_TRUE(board.BulkOut(0x06, buf).ok());
    ASSERT_TRUE(host.MemCmd(0x40));
    EXPECT_EQ(board.BulkOut(0x06, buf).error, link::UsbError::Stall);      // after the end
    EXPECT_EQ(host.Out(0xB1, 0, 0, {0x41}).error, link::UsbError::Stall);  // no such command
}

TEST(SimMemory, LengthFramingDecodesUnitsAndCommand) {
    SimBoard board;
    RawHost host{board};
    // 8 MiB: units 0x200000, wValue 0x0000, wIndex 0xC020.
    ASSERT_TRUE(host.Out(0xA1, 0x0000, 0xC020).ok());
    auto c = board.LastMemCommand();
    EXPECT_TRUE(c.lengthFraming);
    EXPECT_EQ(c.command, 0xC0);
    EXPECT_EQ(c.units, 0x200000u);
    EXPECT_TRUE(board.MemTransferOpen());
    // The largest count, 30 bits.
    ASSERT_TRUE(host.Out(0xA1, 0xFFFF, 0x3FFF).ok());
    c = board.LastMemCommand();
    EXPECT_EQ(c.command, 0x00);
    EXPECT_EQ(c.units, 0x3FFFFFFFu);
    EXPECT_FALSE(board.MemTransferOpen());
    // The one-byte command carries the width in wValue.
    ASSERT_TRUE(host.MemCmd(0x80, 0xC0));
    EXPECT_EQ(board.LastMemCommand().widthCode, 0xC0);
    EXPECT_FALSE(board.LastMemCommand().lengthFraming);
}

TEST(SimConfig, StreamBetweenBeginAndEndLoadsTheUserDesign) {
    SimBoard board;
    RawHost host{board};
    ASSERT_TRUE(host.RegWrite(9, 0x80, 0x12345678));
    ASSERT_TRUE(host.Cfg(0xC1));
    // Configuration mode: the design is gone, register 2 is the status and
    // reads "nothing loaded" until a stream arrives.
    EXPECT_TRUE(board.Configuration().configMode);
    EXPECT_FALSE(board.Configuration().configured);
    EXPECT_EQ(host.RegRead(2, 0x00), 1u);
    const auto stream = Pattern(65539);
    ASSERT_TRUE(host.MemCmd(0xC0, 0));
    ASSERT_TRUE(board.BulkOut(0x06, stream).ok());
    ASSERT_TRUE(host.MemCmd(0x40, 0));
    EXPECT_EQ(board.Configuration().streamBytesNow, stream.size());
    EXPECT_EQ(host.RegRead(2, 0x00), 0u);
    ASSERT_TRUE(host.Cfg(0x41));
    const ConfigInfo c = board.Configuration();
    EXPECT_TRUE(c.configured);
    EXPECT_FALSE(c.configMode);
    EXPECT_EQ(c.design, "user");
    EXPECT_EQ(c.streamCount, 1u);
    EXPECT_EQ(c.lastStreamLength, stream.size());
    EXPECT_EQ(c.lastStreamCrc32, Crc32(stream));
    EXPECT_EQ(c.lastStreamFnv64, Fnv64(stream));
    // A freshly loaded design starts with its registers at 0.
    EXPECT_EQ(host.RegRead(9, 0x80), 0u);
    // The stream did not go to memory.
    EXPECT_EQ(board.MemoryStoredPages(), 0u);
}

TEST(SimConfig, ClearLeavesTheFpgaEmptyAndUnconfiguredAnswersAreDocumented) {
    SimBoard board;
    RawHost host{board};
    ASSERT_TRUE(host.Cfg(0xC1));
    EXPECT_NE(host.RegRead(2, 0x00), 0u);  // a clear succeeds on a non-zero status
    ASSERT_TRUE(host.Cfg(0x41));
    EXPECT_FALSE(board.Configuration().configured);
    EXPECT_EQ(board.Configuration().streamCount, 0u);
    // Registers read 0 and drop writes; the memory commands are the firmware's
    // and succeed, and with nothing behind the FIFO the firmware serves it:
    // writes are dropped, reads give a counting pattern from 00 each time.
    EXPECT_TRUE(host.RegWrite(3, 0x80, 0xAA));
    EXPECT_EQ(host.RegRead(3, 0x80), 0u);
    ASSERT_TRUE(host.MemCmd(0xC0));
    const std::uint64_t before = board.BulkBytes();
    EXPECT_EQ(board.BulkOut(0x06, Pattern(64)).moved, 64u);
    EXPECT_EQ(board.BulkBytes(), before + 64);
    ASSERT_TRUE(host.MemCmd(0x40));
    EXPECT_EQ(board.MemoryStoredPages(), 0u);
    ASSERT_TRUE(host.MemCmd(0x80));
    for (int round = 0; round < 2; ++round) {
        std::vector<std::uint8_t> in(300, 0xEE);
        ASSERT_EQ(board.BulkIn(0x82, in).moved, 300u);
        for (std::size_t i = 0; i < in.size(); ++i) ASSERT_EQ(in[i], i & 0xFF) << i;
    }
    ASSERT_TRUE(host.MemCmd(0x00));
    // Outside a begin and end the FIFO stays shut, as with a design.
    std::vector<std::uint8_t> buf(64);
    EXPECT_EQ(board.BulkOut(0x06, buf).error, link::UsbError::Stall);

    Profile p;
    p.unconfiguredAtPowerUp = true;
    SimBoard cold(p);
    EXPECT_FALSE(cold.Configuration().configured);
}

TEST(SimConfig, StatusOverrideRejectsTheStream) {
    SimBoard board;
    RawHost host{board};
    Faults f;
    f.configStatus = 1;
    board.SetFaults(f);
    ASSERT_TRUE(host.Cfg(0xC1));
    ASSERT_TRUE(host.MemCmd(0xC0));
    ASSERT_TRUE(board.BulkOut(0x06, Pattern(100)).ok());
    ASSERT_TRUE(host.MemCmd(0x40));
    EXPECT_EQ(host.RegRead(2, 0x00), 1u);
    ASSERT_TRUE(host.Cfg(0x41));
    EXPECT_FALSE(board.Configuration().configured);
    EXPECT_EQ(board.Configuration().streamCount, 1u);  // it arrived, it was refused
    EXPECT_EQ(board.Configuration().loadCount, 0u);
    // Bulk IN is not part of a configuration.
    ASSERT_TRUE(host.Cfg(0xC1));
    ASSERT_TRUE(host.MemCmd(0x80));
    std::vector<std::uint8_t> buf(8);
    EXPECT_EQ(board.BulkIn(0x82, buf).error, link::UsbError::Stall);
    EXPECT_EQ(host.Out(0xB2, 0, 0, {0x55}).error, link::UsbError::Stall);
}

// A design recognised by its stream, the way the flash bridges will be.
class MarkerDesign : public UserDesign {
  public:
    using UserDesign::UserDesign;
    std::string Name() const override { return "marker"; }
    std::uint64_t RegRead(std::uint16_t address, int bytes) override {
        return address == 20 ? 0x77 : UserDesign::RegRead(address, bytes);
    }
};

TEST(SimConfig, RegisteredDesignsAreChosenByStreamContent) {
    SimBoard board;
    RawHost host{board};
    board.RegisterDesign(
        "marker",
        [](std::span<const std::uint8_t> s) {
            return s.size() >= 6 && std::equal(s.begin(), s.begin() + 6, "MARKER");
        },
        [](DesignContext& c) { return std::make_unique<MarkerDesign>(c); });
    auto load = [&](std::vector<std::uint8_t> stream) {
        ASSERT_TRUE(host.Cfg(0xC1));
        ASSERT_TRUE(host.MemCmd(0xC0));
        ASSERT_TRUE(board.BulkOut(0x06, stream).ok());
        ASSERT_TRUE(host.MemCmd(0x40));
        ASSERT_TRUE(host.Cfg(0x41));
    };
    load({'M', 'A', 'R', 'K', 'E', 'R', 0, 0});
    EXPECT_EQ(board.Configuration().design, "marker");
    EXPECT_EQ(host.RegRead(20, 0x80), 0x77u);
    load({'m', 'a', 'r', 'k', 'e', 'r'});
    EXPECT_EQ(board.Configuration().design, "user");
    EXPECT_EQ(host.RegRead(20, 0x80), 0u);
    EXPECT_EQ(board.Configuration().loadCount, 2u);
}

TEST(SimConfig, MemorySurvivesReconfiguration) {
    SimBoard board;
    RawHost host{board};
    board.WriteMemory(0, 0x2000000, Pattern(1000));
    ASSERT_TRUE(host.Cfg(0xC1));
    ASSERT_TRUE(host.Cfg(0x41));
    EXPECT_EQ(board.ReadMemory(0, 0x2000000, 1000), Pattern(1000));
}

TEST(SimBlock, BlockRegistersSplitTheAddressAndWrap) {
    SimBoard board;
    RawHost host{board};
    const auto data = Pattern(512, 3);
    // 0x12345: wValue 0x2345, wIndex 0x0001.
    ASSERT_TRUE(host.Out(0xA0, 0x2345, 0x0001, data).ok());
    EXPECT_EQ(board.BlockRegisters(0x12345, 512), data);
    EXPECT_EQ(host.InBytes(0xA0, 0x2345, 0x0001, 512), data);
    // 32-bit value, least significant byte first.
    ASSERT_TRUE(host.Out(0xA0, 0x0010, 0, {0x78, 0x56, 0x34, 0x12}).ok());
    EXPECT_EQ(board.BlockRegisters(0x10, 4), (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));
    // The top of the 21-bit space wraps to 0.
    ASSERT_TRUE(host.Out(0xA0, 0xFFFF, 0x001F, {0xA1, 0xA2}).ok());
    EXPECT_EQ(board.BlockRegisters(0x1FFFFF, 1)[0], 0xA1);
    EXPECT_EQ(board.BlockRegisters(0, 1)[0], 0xA2);
    // Outside the layout: address bits above 20, no data, more than 512 bytes.
    EXPECT_EQ(host.Out(0xA0, 0, 0x0020, {1}).error, link::UsbError::Stall);
    EXPECT_EQ(host.Out(0xA0, 0, 0).error, link::UsbError::Stall);
    EXPECT_EQ(host.In(0xA0, 0, 0, 513).error, link::UsbError::Stall);
}

TEST(SimBlock, Gpif2BridgeTakesOnlyWholeWordsAtItsAddresses) {
    SimBoard board;
    RawHost host{board};
    auto read32 = [&](std::uint32_t a) {
        auto b = host.InBytes(0xA0, a & 0xFFFF, a >> 16, 4);
        return b.size() == 4 ? std::uint32_t{b[0]} | b[1] << 8 | b[2] << 16 | std::uint32_t{b[3]} << 24
                             : 0xDEADu;
    };
    // The two base registers are separate 32-bit registers, not four bytes
    // of a byte space (which would overlap).
    ASSERT_TRUE(host.Out(0xA0, 0xFFFF, 0x1F, {0x00, 0x00, 0x00, 0x50}).ok());
    ASSERT_TRUE(host.Out(0xA0, 0xFFFE, 0x1F, {0x00, 0x00, 0x00, 0x40}).ok());
    EXPECT_EQ(read32(0x1FFFFF), 0x50000000u);
    EXPECT_EQ(read32(0x1FFFFE), 0x40000000u);
    EXPECT_EQ(board.BlockRegisters(0x1FFFFE, 2), (std::vector<std::uint8_t>{0, 0}));
    EXPECT_EQ(read32(0x12007), 0x47324D01u);

    // A capture: start address, start, busy, then done with the words in memory.
    ASSERT_TRUE(host.Out(0xA0, 0x2001, 1, {0x00, 0x10, 0x00, 0x40}).ok());  // 40001000
    ASSERT_TRUE(host.Out(0xA0, 0x2002, 1, {0x08, 0x00, 0x00, 0x00}).ok());  // 8 bytes
    ASSERT_TRUE(host.Out(0xA0, 0x2000, 1, {0x01, 0x00, 0x00, 0x00}).ok());
    EXPECT_EQ(read32(0x12000), 0x00010001u);  // busy
    std::this_thread::sleep_for(Gpif2Master::kCaptureTime + std::chrono::milliseconds(10));
    EXPECT_EQ(read32(0x12000), 0x00010002u);  // done
    EXPECT_EQ(read32(0x12003), 0x40001008u);
    EXPECT_EQ(read32(0x12004), 1u);
    EXPECT_EQ(read32(0x12005), 0x1000u);
    EXPECT_EQ(board.ReadMemory(0, 0x1000, 8),
              (std::vector<std::uint8_t>{0, 0, 0, 1, 1, 0, 0, 1}));

    // Other lengths at the same addresses reach the plain block registers.
    ASSERT_TRUE(host.Out(0xA0, 0x2000, 1, {0xA1, 0xA2}).ok());
    EXPECT_EQ(board.BlockRegisters(0x12000, 2), (std::vector<std::uint8_t>{0xA1, 0xA2}));
    EXPECT_EQ(read32(0x12004), 1u);
}

TEST(SimBlock, MismatchProfileCorruptsTheChosenByteFromTheChosenRead) {
    Profile p;
    p.blockMismatchByte = 17;
    p.blockMismatchRead = 4;
    SimBoard board(p);
    RawHost host{board};
    const auto data = Pattern(512, 5);
    for (int pass = 0; pass < 4; ++pass) {
        ASSERT_TRUE(host.Out(0xA0, 6, 0, data).ok());
        const auto back = host.InBytes(0xA0, 6, 0, 512);
        ASSERT_EQ(back.size(), 512u);
        for (int i = 0; i < 512; ++i) {
            const bool corrupt = pass == 3 && i == 17;
            EXPECT_EQ(back[i] != data[i], corrupt) << "pass " << pass << " byte " << i;
        }
    }
}

}  // namespace
}  // namespace quillon::sim
