// Stream layouts checked byte by byte on small files, and the length limits.

#include "features/config/config_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

namespace quillon::features {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Build(const Bytes& file, ConfigOptions o) {
    auto s = ConfigStream::Build(file, o);
    EXPECT_TRUE(s.has_value());
    if (!s) return {};
    return Bytes(s->bytes().begin(), s->bytes().end());
}

ConfigOptions Standard(bool xilinx, bool bitswap, bool encrypt) {
    return {ConfigLayout::Standard, xilinx, bitswap, encrypt};
}

bool AllEqual(const Bytes& s, std::size_t from, std::size_t to, std::uint8_t v) {
    for (std::size_t i = from; i < to; ++i) {
        if (s[i] != v) return false;
    }
    return true;
}

TEST(BitReverse, MatchesDefinition) {
    EXPECT_EQ(BitReverse(0x01), 0x80);
    EXPECT_EQ(BitReverse(0x03), 0xC0);
    EXPECT_EQ(BitReverse(0xA0), 0x05);
    EXPECT_EQ(BitReverse(0x00), 0x00);
    for (unsigned b = 0; b < 256; ++b) {
        EXPECT_EQ(BitReverse(BitReverse(static_cast<std::uint8_t>(b))), b);
    }
}

TEST(StandardStream, PlainAndEncrypt) {
    const Bytes file{0x11, 0x22, 0x33};
    EXPECT_EQ(Build(file, Standard(false, false, false)), file);
    EXPECT_EQ(Build(file, Standard(false, false, true)), (Bytes{0x11, 0, 0x22, 0, 0x33, 0}));
    EXPECT_TRUE(Build({}, Standard(false, false, false)).empty());
}

TEST(StandardStream, XilinxEmptyFileIsTrailerOnly) {
    const Bytes s = Build({}, Standard(true, false, false));
    ASSERT_EQ(s.size(), 65536u);
    EXPECT_TRUE(AllEqual(s, 0, s.size(), 0));
}

TEST(StandardStream, XilinxOddLengthPairsLastByteWithTrailer) {
    const Bytes s = Build({0xB0, 0xB1, 0xB2}, Standard(true, false, false));
    ASSERT_EQ(s.size(), 65539u);
    EXPECT_EQ(s[0], 0xB1);
    EXPECT_EQ(s[1], 0xB0);
    EXPECT_EQ(s[2], 0x00);
    EXPECT_EQ(s[3], 0xB2);
    EXPECT_TRUE(AllEqual(s, 4, s.size(), 0));
}

TEST(StandardStream, XilinxEvenLengthAndEncryptSkipsExchange) {
    const Bytes even = Build({1, 2, 3, 4}, Standard(true, false, false));
    ASSERT_EQ(even.size(), 65540u);
    EXPECT_EQ((Bytes(even.begin(), even.begin() + 4)), (Bytes{2, 1, 4, 3}));
    EXPECT_TRUE(AllEqual(even, 4, even.size(), 0));

    const Bytes enc = Build({1, 2, 3}, Standard(true, false, true));
    ASSERT_EQ(enc.size(), 6u + 65536u);
    EXPECT_EQ((Bytes(enc.begin(), enc.begin() + 6)), (Bytes{1, 0, 2, 0, 3, 0}));
    EXPECT_TRUE(AllEqual(enc, 6, enc.size(), 0));
}

TEST(StandardStream, BitswapReversesDataAndKeepsFillersZero) {
    EXPECT_EQ(Build({0xA0, 0x01}, Standard(false, true, false)), (Bytes{0x05, 0x80}));
    EXPECT_EQ(Build({0xA0, 0x03}, Standard(false, true, true)), (Bytes{0x05, 0, 0xC0, 0}));
    // Exchange and reversal together, odd length: the moved last byte is reversed too.
    const Bytes s = Build({0x01, 0x03, 0xA0}, Standard(true, true, false));
    ASSERT_EQ(s.size(), 65539u);
    EXPECT_EQ((Bytes(s.begin(), s.begin() + 4)), (Bytes{0xC0, 0x80, 0x00, 0x05}));
    EXPECT_TRUE(AllEqual(s, 4, s.size(), 0));
}

TEST(TesseraAlteraStream, OneOrFourWordsPerByte) {
    EXPECT_EQ(Build({0x12, 0xFF}, {ConfigLayout::TesseraAltera, false, false, false}),
              (Bytes{0x12, 0, 0, 0, 0xFF, 0, 0, 0}));
    const Bytes enc = Build({0x12, 0x34}, {ConfigLayout::TesseraAltera, false, false, true});
    ASSERT_EQ(enc.size(), 32u);
    for (int w = 0; w < 8; ++w) {
        EXPECT_EQ(enc[4 * w], w < 4 ? 0x12 : 0x34);
        EXPECT_TRUE(AllEqual(enc, 4 * w + 1, 4 * w + 4, 0));
    }
}

TEST(TesseraXilinxStream, SixBytesSendOneReversedGroup) {
    const Bytes s = Build({0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5},
                          {ConfigLayout::TesseraXilinx, false, false, false});
    ASSERT_EQ(s.size(), 4194304u + 6u);
    EXPECT_EQ((Bytes(s.begin(), s.begin() + 4)), (Bytes{0xA3, 0xA2, 0xA1, 0xA0}));
    EXPECT_TRUE(AllEqual(s, 4, s.size() - 2, 0xFF));
    EXPECT_EQ(s[s.size() - 2], 0x00);
    EXPECT_EQ(s[s.size() - 1], 0x00);
}

TEST(TesseraXilinxStream, EncryptSpreadsGroupIntoWords) {
    const Bytes s = Build({1, 2, 3, 4, 5}, {ConfigLayout::TesseraXilinx, false, false, true});
    ASSERT_EQ(s.size(), 20u + 4194304u);
    EXPECT_EQ((Bytes(s.begin(), s.begin() + 16)),
              (Bytes{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0}));
    // The length is a whole number of words, so everything after the data is padding.
    EXPECT_TRUE(AllEqual(s, 16, s.size(), 0xFF));
}

TEST(TesseraTavelStream, OddByteLeavesLastEightBytesZero) {
    const Bytes s = Build({0x34, 0x12, 0x99}, {ConfigLayout::TesseraTavel, false, false, false});
    ASSERT_EQ(s.size(), 24u);
    for (int w = 0; w < 4; ++w) {
        EXPECT_EQ((Bytes(s.begin() + 4 * w, s.begin() + 4 * w + 4)), (Bytes{0x34, 0x12, 0, 0}));
    }
    EXPECT_TRUE(AllEqual(s, 16, 24, 0));
}

TEST(ConfigStreamLength, SixtyFourBitAndRefusedBeyondOneTransfer) {
    const std::uint64_t gib = 1ull << 30;
    EXPECT_EQ(ConfigStreamLength(gib, {ConfigLayout::TesseraAltera, false, false, false}),
              std::nullopt);  // 4 GiB would wrap to 0 in 32 bits
    EXPECT_EQ(ConfigStreamLength(gib - 1, {ConfigLayout::TesseraAltera, false, false, false}),
              4 * gib - 4);
    EXPECT_EQ(ConfigStreamLength(0xFFFFFFFFull, Standard(false, false, false)), 0xFFFFFFFFull);
    EXPECT_EQ(ConfigStreamLength(0xFFFFFFFFull, Standard(true, false, false)), std::nullopt);
    EXPECT_EQ(ConfigStreamLength(0x100000000ull, Standard(false, false, false)), std::nullopt);
    EXPECT_EQ(ConfigStreamLength(gib / 2, {ConfigLayout::TesseraTavel, false, false, false}),
              std::nullopt);  // exactly 4 GiB
}

TEST(ConfigStreamLength, BuildRejectsWrongOutputSize) {
    const Bytes file{1, 2, 3};
    Bytes out(2, 0xEE);
    EXPECT_FALSE(BuildConfigStream(file, Standard(false, false, false), out));
    EXPECT_EQ(out, (Bytes{0xEE, 0xEE}));
}

// A larger file against a byte-by-byte model of each layout, to catch index
// mistakes the short cases cannot show.
TEST(ConfigStreamModel, LargerFilesMatchReference) {
    Bytes file(1027);
    std::iota(file.begin(), file.end(), std::uint8_t{7});
    for (bool enc : {false, true}) {
        const Bytes s = Build(file, {ConfigLayout::TesseraXilinx, false, false, enc});
        for (std::size_t i = 0; i < file.size() / 4; ++i) {
            for (int k = 0; k < 4; ++k) {
                const std::uint8_t expected =
                    enc ? (k == 0 ? file[4 * i] : 0) : file[4 * i + 3 - k];
                const std::size_t at = enc ? 16 * i + 4 * 0 + k : 4 * i + k;
                ASSERT_EQ(s[at], expected) << i << " " << k;
            }
            if (enc) {
                for (int w = 1; w < 4; ++w) ASSERT_EQ(s[16 * i + 4 * w], file[4 * i + w]);
            }
        }
    }
    const Bytes tavel = Build(file, {ConfigLayout::TesseraTavel, false, false, false});
    for (std::size_t i = 0; i < file.size() / 2; ++i) {
        for (int w = 0; w < 4; ++w) {
            ASSERT_EQ(tavel[16 * i + 4 * w], file[2 * i]);
            ASSERT_EQ(tavel[16 * i + 4 * w + 1], file[2 * i + 1]);
        }
    }
    const Bytes xb = Build(file, Standard(true, true, false));
    for (std::size_t j = 0; j + 1 < file.size(); j += 2) {
        ASSERT_EQ(xb[j], BitReverse(file[j + 1]));
        ASSERT_EQ(xb[j + 1], BitReverse(file[j]));
    }
    EXPECT_EQ(xb[1026], 0);
    EXPECT_EQ(xb[1027], BitReverse(file[1026]));
    const Bytes pb = Build(file, Standard(false, true, false));
    const Bytes eb = Build(file, Standard(false, true, true));
    for (std::size_t k = 0; k < file.size(); ++k) {
        ASSERT_EQ(pb[k], BitReverse(file[k]));
        ASSERT_EQ(eb[2 * k], BitReverse(file[k]));
        ASSERT_EQ(eb[2 * k + 1], 0);
    }
}

// The streams written the plainest way, one byte at a time, straight from the
// layout table.
Bytes PlainStream(const Bytes& b, const ConfigOptions& o) {
    const std::size_t n = b.size();
    Bytes s(static_cast<std::size_t>(*ConfigStreamLength(n, o)), 0);
    auto word = [&](std::size_t at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k) s[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
    };
    switch (o.layout) {
        case ConfigLayout::Standard:
            for (std::size_t k = 0; k < n; ++k) s[o.encrypt ? 2 * k : k] = b[k];
            if (o.xilinx && !o.encrypt) {
                for (std::size_t j = 0; j + 1 < s.size(); j += 2) std::swap(s[j], s[j + 1]);
            }
            if (o.bitswap) {
                for (auto& x : s) x = BitReverse(x);
            }
            break;
        case ConfigLayout::TesseraAltera:
            for (std::size_t k = 0; k < n; ++k) {
                for (int r = 0; r < (o.encrypt ? 4 : 1); ++r)
                    word(4 * ((o.encrypt ? 4 : 1) * k + r), b[k]);
            }
            break;
        case ConfigLayout::TesseraXilinx:
            for (std::size_t w = 0; w < s.size() / 4; ++w) word(4 * w, 0xFFFFFFFFu);
            for (std::size_t i = 0; i < n / 4; ++i) {
                const std::uint8_t* g = &b[4 * i];
                if (o.encrypt) {
                    for (int k = 0; k < 4; ++k) word(16 * i + 4 * k, g[k]);
                } else {
                    word(4 * i, std::uint32_t{g[3]} | g[2] << 8 | g[1] << 16 |
                                    static_cast<std::uint32_t>(g[0]) << 24);
                }
            }
            break;
        case ConfigLayout::TesseraTavel:
            for (std::size_t i = 0; i < n / 2; ++i) {
                for (int r = 0; r < 4; ++r) word(16 * i + 4 * r, b[2 * i] | b[2 * i + 1] << 8);
            }
            break;
    }
    return s;
}

// Both build paths (vector and word-at-a-time) against the plain loops, for every
// layout and option, at every length up to a few vector blocks (so each block
// loop meets each tail) and on input that does not start on a vector boundary.
TEST(ConfigStreamModel, BothPathsMatchPlainLoopsForEveryLayout) {
    std::vector<ConfigOptions> all;
    for (int bits = 0; bits < 8; ++bits) all.push_back(Standard(bits & 1, bits & 2, bits & 4));
    for (bool enc : {false, true}) {
        all.push_back({ConfigLayout::TesseraAltera, false, false, enc});
        all.push_back({ConfigLayout::TesseraXilinx, false, false, enc});
    }
    all.push_back({ConfigLayout::TesseraTavel, false, false, false});

    Bytes pool(300 + 3);
    for (std::size_t i = 0; i < pool.size(); ++i) pool[i] = static_cast<std::uint8_t>(i * 151 + 29);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 140; ++n) lengths.push_back(n);
    lengths.push_back(300);
    for (const ConfigOptions& o : all) {
        for (std::size_t n : lengths) {
            // The 4 MiB Tessera Xilinx padding makes each build slow: only the
            // lengths around its 16-byte blocks.
            static constexpr std::size_t kAroundBlocks[] = {0, 1, 3, 4, 5, 15, 16, 17, 33, 65, 300};
            if (o.layout == ConfigLayout::TesseraXilinx &&
                std::find(std::begin(kAroundBlocks), std::end(kAroundBlocks), n) ==
                    std::end(kAroundBlocks))
                continue;
            const Bytes file(pool.begin() + 3, pool.begin() + 3 + static_cast<long>(n));
            const Bytes want = PlainStream(file, o);
            Bytes fast(want.size(), 0xEE);
            Bytes slow(want.size(), 0xEE);
            const std::string what = "layout " + std::to_string(static_cast<int>(o.layout)) + " x" +
                                     std::to_string(o.xilinx) + " b" + std::to_string(o.bitswap) +
                                     " e" + std::to_string(o.encrypt) + " n=" + std::to_string(n);
            ASSERT_TRUE(BuildConfigStream(std::span(pool).subspan(3, n), o, fast)) << what;
            ASSERT_TRUE(BuildConfigStreamWithoutVectors(file, o, slow)) << what;
            ASSERT_EQ(fast, want) << what;
            ASSERT_EQ(slow, want) << what;
        }
    }
}

// The block-wise reversal must agree with the table for every byte value and
// at every offset within a block.
TEST(BitReverse, InPlaceAgreesWithTable) {
    Bytes all(256 + 7);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i * 37);
    Bytes rev = all;
    BitReverseInPlace(rev);
    for (std::size_t i = 0; i < all.size(); ++i) ASSERT_EQ(rev[i], BitReverse(all[i]));
}

}  // namespace
}  // namespace quillon::features
