// Decoding the CFI query image: the fields the erase and write rely on, the
// lines the log shows, and images that must be refused without reading past
// their end.

#include "features/flash/cfi.h"

#include <gtest/gtest.h>

#include "features/flash/par_flash.h"
#include "flash_support.h"
#include "sim/nor_flash.h"

namespace quillon::features {
namespace {

using Lines = std::vector<std::string>;

// The image the bridge reads: one little-endian word per CFI address.
std::vector<std::uint8_t> Image(const std::vector<std::uint16_t>& table,
                                std::size_t bytes = kCfiBufferBytes) {
    std::vector<std::uint8_t> image(bytes, 0);
    for (std::size_t a = 0; a < table.size() && 2 * a + 1 < bytes; ++a) {
        image[2 * a] = static_cast<std::uint8_t>(table[a] & 0xFF);
        image[2 * a + 1] = static_cast<std::uint8_t>(table[a] >> 8);
    }
    return image;
}

std::vector<std::uint16_t> TwoRegionTable() {
    return sim::NorQueryTable({{8, 8192}, {127, 65536}});
}

TEST(CfiDecode, TwoRegionQueryGivesGeometryAndReport) {
    const CfiDecode d = DecodeCfi(Image(TwoRegionTable()));
    ASSERT_EQ(d.error, CfiError::None);
    const FlashGeometry& g = d.query.geometry;
    EXPECT_EQ(g.totalBytes, 8u << 20);
    EXPECT_EQ(g.pageWords, 8u);
    EXPECT_EQ(g.wordWriteTypUs, 16u);
    EXPECT_EQ(g.wordWriteMaxUs, 256u);   // 2^4 x typical
    EXPECT_EQ(g.blockEraseTypMs, 512u);
    EXPECT_EQ(g.blockEraseMaxS, 4u);     // 2^N seconds, not typical x 2^N
    EXPECT_EQ(g.regionCount, 2u);
    EXPECT_EQ(g.regionBlocks[0], 8u);
    EXPECT_EQ(g.regionBlockBytes[0], 8192u);
    EXPECT_EQ(g.regionBlocks[1], 127u);
    EXPECT_EQ(g.regionBlockBytes[1], 65536u);
    EXPECT_EQ(CfiReportLines(d.query),
              (Lines{"//////// Read CFI Query ////////", "Page Write Mode ： 8Word page.",
                     "FLASH Unique Code ： 5155_494C_4C4F_4E37h",
                     "Total FLASH Size ： 8388608Bytes(8MiBytes)", "1Word Write Time(typ) ： 16us",
                     "1Word Write Time(max) ： 256us", "Block Erase Time(typ) ： 512ms",
                     "Block Erase Time(max) ： 4s", "Region Block Number ： 2",
                     "Region0 Block Number ： 8", "Region0 Block Size ： 8192Bytes",
                     "Region1 Block Number ： 127", "Region1 Block Size ： 65536Bytes"}));
}

TEST(CfiDecode, SignatureAndTimingVariants) {
    auto table = TwoRegionTable();
    // "PRI" in place of "QRY" is taken as well.
    table[0x10] = 'P';
    table[0x11] = 'R';
    table[0x12] = 'I';
    EXPECT_EQ(DecodeCfi(Image(table)).error, CfiError::None);
    table[0x12] = 'X';
    test::RecordingReporter rec;
    FlashGeometry g;
    EXPECT_FALSE(ParFlashDecodeCfi(Image(table), g, rec));
    EXPECT_TRUE(rec.shown.empty());  // nothing logged without a signature

    table = TwoRegionTable();
    table[0x1F] = 0;  // no typical word time: 280 us for both
    table[0x23] = 9;
    EXPECT_EQ(DecodeCfi(Image(table)).query.geometry.wordWriteTypUs, 280u);
    EXPECT_EQ(DecodeCfi(Image(table)).query.geometry.wordWriteMaxUs, 280u);
    table[0x1F] = 31;
    table[0x23] = 31;  // 2^62 us saturates rather than wrapping to a tiny time-out
    EXPECT_EQ(DecodeCfi(Image(table)).query.geometry.wordWriteMaxUs, 0xFFFFFFFFu);
    table[0x27] = 33;  // exponents are taken modulo 32
    EXPECT_EQ(DecodeCfi(Image(table)).query.geometry.totalBytes, 2u);
}

TEST(CfiDecode, PageModeLineOnlyForZeroAndTwo) {
    auto table = TwoRegionTable();
    const auto pageLines = [&](std::uint16_t mode) {
        table[0x4C] = mode;
        Lines found;
        for (const auto& l : CfiReportLines(DecodeCfi(Image(table)).query))
            if (l.rfind("Page Write Mode", 0) == 0) found.push_back(l);
        return found;
    };
    EXPECT_EQ(pageLines(0), Lines{"Page Write Mode ： not supported."});
    EXPECT_EQ(pageLines(2), Lines{"Page Write Mode ： 8Word page."});
    EXPECT_TRUE(pageLines(1).empty());
    EXPECT_EQ(DecodeCfi(Image(table)).query.geometry.pageWords, 0u);
}

TEST(CfiDecode, MoreThanFourRegionsAreReportedAndRefused) {
    const auto table = sim::NorQueryTable({{4, 8192}, {1, 32768}, {2, 16384}, {7, 65536}, {8, 8192}});
    const CfiDecode d = DecodeCfi(Image(table));
    EXPECT_EQ(d.error, CfiError::TooManyRegions);
    EXPECT_EQ(d.query.regions.size(), 5u);
    EXPECT_EQ(d.query.regions[4].blocks, 8u);

    test::RecordingReporter rec;
    FlashGeometry g;
    EXPECT_FALSE(ParFlashDecodeCfi(Image(table), g, rec));
    const Lines logs = rec.Logs();
    ASSERT_FALSE(logs.empty());
    EXPECT_EQ(logs[logs.size() - 2], "Region4 Block Size ： 8192Bytes");
    EXPECT_EQ(logs.back(), "ｲﾚｰｽﾌﾞﾛｯｸのﾘｰｼﾞｮﾝが4つを超えるFLASHには対応していません。");
    EXPECT_EQ(g.regionCount, 0u);  // untouched
}

TEST(CfiDecode, ShortOrHostileImagesNeverReadPastTheirEnd) {
    const auto full = Image(TwoRegionTable(), 0x100);
    // Every prefix: refused until the unique code at offset 201 is there, then
    // decoded; never a read beyond the span (the sanitizer build catches one).
    for (std::size_t n = 0; n <= full.size(); ++n) {
        const std::vector<std::uint8_t> part(full.begin(), full.begin() + n);
        const CfiDecode d = DecodeCfi(part);
        const CfiError want = n <= 0x24 ? CfiError::NoSignature
                              : n <= 201 ? CfiError::Truncated
                                         : CfiError::None;
        EXPECT_EQ(d.error, want) << n;
    }
    // 255 regions claimed in a short image: refused as truncated.
    auto table = TwoRegionTable();
    table[0x2C] = 255;
    EXPECT_EQ(DecodeCfi(Image(table, 0x200)).error, CfiError::Truncated);
    table[0x2C] = 0;
    EXPECT_EQ(DecodeCfi(Image(table)).error, CfiError::NoRegions);
}

}  // namespace
}  // namespace quillon::features
