// The data viewer's model: rows, words, plot columns, search and compare, on
// real files in a temporary folder.

#include "features/memory/data_view.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace quillon::features {
namespace {

namespace fs = std::filesystem;

class DataViewFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("data_view_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    static std::vector<std::uint8_t> Ramp(std::size_t n) {
        std::vector<std::uint8_t> v(n);
        for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 7 + 3);
        return v;
    }
    fs::path dir_;
};

TEST(DataViewText, RowsPatternsAndOffsets) {
    const std::vector<std::uint8_t> row = {'A', 'B', 0x00, 0x7F, 0xFF, ' '};
    EXPECT_EQ(HexBytes(row), "41 42 00 7F FF 20");
    EXPECT_EQ(AsciiText(row), "AB... ");
    EXPECT_EQ(HexOffset(0), "00000000");
    EXPECT_EQ(HexOffset(0x123456789ull), "123456789");
    std::vector<std::uint8_t> seventeen(17, 0x11);
    EXPECT_EQ(HexLines(seventeen), HexBytes(std::span(seventeen).first(16)) + "\n11\n");

    EXPECT_EQ(ParseBytePattern("de ad BE,ef"), (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_EQ(ParseBytePattern("0x12 0x3"), std::nullopt);  // half a byte
    for (const char* bad : {"", "  ", "zz", "123"})
        EXPECT_EQ(ParseBytePattern(bad), std::nullopt) << bad;
    EXPECT_EQ(ParseViewOffset(" 0x1234 "), 0x1234u);
    EXPECT_EQ(ParseViewOffset("ffff"), 0xFFFFu);
    EXPECT_EQ(ParseViewOffset("-1"), std::nullopt);
}

struct WordCase {
    WordFormat format;
    const char* text;
    const char* hex;
};

class Words : public ::testing::TestWithParam<WordCase> {};

// One set of bytes read every way the viewer offers.
TEST_P(Words, DecodeExactly) {
    const std::uint8_t bytes[8] = {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x80};
    const WordCase& c = GetParam();
    EXPECT_EQ(WordText(bytes, c.format), c.text);
    EXPECT_EQ(WordHex(bytes, c.format), c.hex);
    EXPECT_DOUBLE_EQ(WordValue(bytes, c.format), std::stod(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Words,
    ::testing::Values(WordCase{{1, false, false}, "254", "0xFE"},
                      WordCase{{1, true, false}, "-2", "0xFE"},
                      WordCase{{2, false, false}, "65534", "0xFFFE"},
                      WordCase{{2, true, true}, "-257", "0xFEFF"},
                      WordCase{{4, true, false}, "-2", "0xFFFFFFFE"},
                      WordCase{{4, false, true}, "4278190079", "0xFEFFFFFF"},
                      WordCase{{8, true, false}, "-9151314442816847874", "0x80FFFFFFFFFFFFFE"},
                      WordCase{{8, false, true}, "18374686479671623552", "0xFEFFFFFFFFFFFF80"}));

TEST(DataViewPlot, ColumnsKeepEverySpike) {
    // 1000 flat 16-bit words with one spike up and one down: whatever the
    // number of columns, the spikes show.
    std::vector<std::uint8_t> bytes(2000, 0);
    for (std::size_t i = 0; i < bytes.size(); i += 2) bytes[i] = 100;
    bytes[2 * 333] = 0xFF;
    bytes[2 * 334] = 0xFF;
    bytes[2 * 334 + 1] = 0xFF;  // -1 as signed
    for (int columns : {1, 7, 999, 1000, 5000}) {
        const auto ext = ColumnExtents(bytes, {2, true, false}, columns);
        ASSERT_EQ(ext.size(), static_cast<std::size_t>(std::min(columns, 1000)));
        double lo = 1e9, hi = -1e9;
        for (const Extent& e : ext) lo = std::min(lo, e.lo), hi = std::max(hi, e.hi);
        EXPECT_EQ(hi, 255) << columns;
        EXPECT_EQ(lo, -1) << columns;
    }
}

TEST_F(DataViewFiles, SummaryAgreesWithDirectColumns) {
    std::mt19937 rng(7);
    std::vector<std::uint8_t> bytes((3u << 20) + 5);  // blocks of more than one word
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng() & 0x3F);
    bytes[2'345'678] = 0xC8;
    const std::string path = Write("plot.bin", bytes);
    DataFile file;
    ASSERT_TRUE(file.Open(path).ok());
    for (const WordFormat f : {WordFormat{1, false, false}, WordFormat{4, true, true}}) {
        PlotSummary summary;
        ASSERT_TRUE(summary.Build(file, f));
        const std::uint64_t words = bytes.size() / f.bytes;
        EXPECT_EQ(summary.words(), words);
        EXPECT_LE(words / summary.blockWords(), kMaxSummaryBlocks);
        // Whole file from the blocks, a narrow view read directly: both agree
        // with the columns of the bytes themselves on the overall extent.
        for (const auto& [first, count] :
             {std::pair<std::uint64_t, std::uint64_t>{0, words}, {2'345'678 / f.bytes - 10, 50}}) {
            const auto cols = summary.Columns(file, first, count, 640);
            const auto direct =
                ColumnExtents(std::span(bytes).subspan(first * f.bytes, count * f.bytes), f, 640);
            double lo = 1e30, hi = -1e30, dlo = 1e30, dhi = -1e30;
            for (const Extent& e : cols) lo = std::min(lo, e.lo), hi = std::max(hi, e.hi);
            for (const Extent& e : direct) dlo = std::min(dlo, e.lo), dhi = std::max(dhi, e.hi);
            EXPECT_EQ(lo, dlo);
            EXPECT_EQ(hi, dhi);
        }
    }
}

TEST_F(DataViewFiles, BadNamesSayWhyAndEmptyFilesOpen) {
    EXPECT_EQ(DataFile().Open((dir_ / "none.bin").string()).problem,
              platform::NameProblem::Missing);
    EXPECT_EQ(DataFile().Open(dir_.string()).problem, platform::NameProblem::Folder);
    EXPECT_EQ(DataFile().Open("/dev/zero").problem, platform::NameProblem::Device);
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const NameCheck f = DataFile().Open(fifo);
    EXPECT_EQ(f.problem, platform::NameProblem::Fifo);
    EXPECT_FALSE(f.reason.empty());
    DataFile empty;
    ASSERT_TRUE(empty.Open(Write("empty.bin", {})).ok());
    EXPECT_EQ(empty.size(), 0u);
    PlotSummary s;
    EXPECT_TRUE(s.Build(empty, {}));
    EXPECT_TRUE(s.Columns(empty, 0, 100, 10).empty());
}

TEST_F(DataViewFiles, ChangedWhenReplacedOrRewritten) {
    const std::string path = Write("c.bin", Ramp(100));
    DataFile file;
    ASSERT_TRUE(file.Open(path).ok());
    EXPECT_FALSE(file.Changed());
    // A memory read puts a new file in place by renaming: the open file still
    // reads the old bytes whole, and says it is stale.
    const std::string fresh = Write("c.new", std::vector<std::uint8_t>(200, 0xEE));
    fs::rename(fresh, path);
    EXPECT_TRUE(file.Changed());
    EXPECT_EQ(file.ReadVector(0, 100), Ramp(100));
    ASSERT_TRUE(file.Open(path).ok());
    EXPECT_EQ(file.size(), 200u);
}

TEST_F(DataViewFiles, FindsPatternsAcrossPieces) {
    std::vector<std::uint8_t> bytes(kViewPiece + 100, 0);
    const std::uint64_t across = kViewPiece - 2;  // split by the piece boundary
    for (int i = 0; i < 4; ++i) bytes[across + i] = static_cast<std::uint8_t>(0xA0 + i);
    bytes[10] = 0xA0;
    const std::string path = Write("find.bin", bytes);
    DataFile file;
    ASSERT_TRUE(file.Open(path).ok());
    const std::vector<std::uint8_t> pattern = {0xA0, 0xA1, 0xA2, 0xA3};
    EXPECT_EQ(FindPattern(file, pattern, 0), across);
    EXPECT_EQ(FindPattern(file, pattern, across + 1), std::nullopt);
    EXPECT_EQ(FindPattern(file, std::vector<std::uint8_t>{0xA0}, 0), 10u);
}

TEST_F(DataViewFiles, CompareCountsStepsAndScramble) {
    auto a = Ramp(3 * kViewPiece / 2);
    auto b = a;
    b.resize(b.size() - 3);  // shorter: compared over b's length
    for (const std::uint64_t at : {0x1234ull, 0x1235ull, 0x1239ull, kViewPiece + 1ull})
        b[at] ^= 0x01;
    DataFile fa, fb;
    ASSERT_TRUE(fa.Open(Write("a.bin", a)).ok());
    ASSERT_TRUE(fb.Open(Write("b.bin", b)).ok());
    const CompareResult r = CompareFiles(fa, fb, {.wordBytes = 4});
    EXPECT_EQ(r.firstDifference, 0x1234u);
    EXPECT_EQ(r.differingBytes, 4u);
    EXPECT_EQ(r.differingWords, 3u);  // 0x1234 and 0x1235 share a word
    EXPECT_EQ(r.compared, b.size());
    EXPECT_FALSE(r.same());
    const std::string line = CompareSummary(r, 4);
    EXPECT_NE(line.find("0x00001234"), std::string::npos) << line;
    EXPECT_NE(line.find("相違ﾊﾞｲﾄ数：4"), std::string::npos) << line;
    EXPECT_NE(line.find("ﾌｧｲﾙ長の差：3"), std::string::npos) << line;
    const CompareResult buffers = CompareBuffers(a, b, {.wordBytes = 4});
    EXPECT_EQ(buffers.differingWords, r.differingWords);

    const CompareOptions words{.wordBytes = 4};
    EXPECT_EQ(NextDifference(fa, fb, 0, true, words), 0x1234u);
    EXPECT_EQ(NextDifference(fa, fb, 0x1234, true, words), 0x1238u);
    EXPECT_EQ(NextDifference(fa, fb, 0x1238, true, words), kViewPiece);
    EXPECT_EQ(NextDifference(fa, fb, kViewPiece, true, words), std::nullopt);
    EXPECT_EQ(NextDifference(fa, fb, kViewPiece + 2, false, words), 0x1238u);
    EXPECT_EQ(NextDifference(fa, fb, 0x1234, false, words), std::nullopt);

    // Written with write scramble, read back without: the board holds the
    // scrambled bytes, so a plain read of them matches once the written side
    // is scrambled for the comparison.
    std::vector<std::uint8_t> board = a;
    for (auto& x : board) x ^= 0xAA;
    EXPECT_EQ(CompareBuffers(a, board, {}).differingBytes, a.size());
    EXPECT_TRUE(CompareBuffers(a, board, {.xorA = 0xAA}).same());
    EXPECT_TRUE(CompareBuffers(a, a, {.xorA = 0xAA, .xorB = 0xAA}).same());
    EXPECT_EQ(CompareBuffers(a, board, {.xorA = 0xAA, .limit = 512}).compared, 512u);
}

}  // namespace
}  // namespace quillon::features
