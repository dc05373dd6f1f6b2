#include "features/config/config_stream.h"

#include <array>
#include <bit>
#include <cstring>
#include <new>

// SSE2 is part of every x86-64 processor, so its paths need no run-time check;
// elsewhere the streams are built by the word-at-a-time code below.
#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define QUILLON_CONFIG_STREAM_SSE2 1
#if defined(__GNUC__) || defined(__clang__)
#include <immintrin.h>
#define QUILLON_CONFIG_STREAM_AVX2 1
#endif
#endif

namespace quillon::features {

namespace {

// The plain definition of bit reversal, one bit at a time.
constexpr std::uint8_t BitReverseSlow(std::uint8_t b) {
    std::uint8_t r = 0;
    for (int i = 0; i < 8; ++i) {
        if (b & (1u << i)) r = static_cast<std::uint8_t>(r | (0x80u >> i));
    }
    return r;
}

// Spreads the byte into five copies and gathers the reversed bits with one
// multiply-mask-modulo.
constexpr std::array<std::uint8_t, 256> MakeBitReverseTable() {
    std::array<std::uint8_t, 256> t{};
    for (unsigned b = 0; b < 256; ++b) {
        t[b] = static_cast<std::uint8_t>(((b * 0x0202020202ull) & 0x010884422010ull) % 1023);
    }
    return t;
}

constexpr std::array<std::uint8_t, 256> kBitReverse = MakeBitReverseTable();

constexpr bool TableMatchesBitLoop() {
    for (unsigned b = 0; b < 256; ++b) {
        if (kBitReverse[b] != BitReverseSlow(static_cast<std::uint8_t>(b))) return false;
    }
    return true;
}
static_assert(TableMatchesBitLoop(), "bit-reversal table disagrees with the bit loop");

// Writes a 32-bit word least significant byte first.
inline void PutLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline void PutLe64(std::uint8_t* p, std::uint64_t v) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, 8);
    } else {
        PutLe32(p, static_cast<std::uint32_t>(v));
        PutLe32(p + 4, static_cast<std::uint32_t>(v >> 32));
    }
}

// Four identical 32-bit words of value v.
inline void PutLe32x4(std::uint8_t* p, std::uint32_t v) {
    const std::uint64_t two = v * 0x0000000100000001ull;
    PutLe64(p, two);
    PutLe64(p + 8, two);
}

// Eight bytes at once, each reversed on its own: the same map as the table.
inline std::uint64_t BitReverseBytes64(std::uint64_t x) {
    x = ((x >> 1) & 0x5555555555555555ull) | ((x & 0x5555555555555555ull) << 1);
    x = ((x >> 2) & 0x3333333333333333ull) | ((x & 0x3333333333333333ull) << 2);
    x = ((x >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((x & 0x0F0F0F0F0F0F0F0Full) << 4);
    return x;
}

inline std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}
inline void Store64(std::uint8_t* p, std::uint64_t w) {
    std::memcpy(p, &w, 8);
}

// Exchanges the bytes of every 16-bit lane: bytes 2j and 2j+1 trade places
// whatever the host's byte order.
inline std::uint64_t SwapBytePairs64(std::uint64_t x) {
    return ((x >> 8) & 0x00FF00FF00FF00FFull) | ((x & 0x00FF00FF00FF00FFull) << 8);
}

inline std::uint8_t Map(std::uint8_t b, bool bitswap) {
    return bitswap ? kBitReverse[b] : b;
}

#ifdef QUILLON_CONFIG_STREAM_SSE2
// The vector paths take 16 file bytes a step and return how many file bytes they
// did (a multiple of 16); the word-at-a-time code finishes the rest.

inline __m128i Load128(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store128(std::uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

inline __m128i SwapBytePairs128(__m128i x) {
    return _mm_or_si128(_mm_srli_epi16(x, 8), _mm_slli_epi16(x, 8));
}

// Reverses the bytes of every 32-bit lane: halves exchanged, then the bytes of
// each half.
inline __m128i ReverseWords128(__m128i x) {
    x = _mm_shufflelo_epi16(x, _MM_SHUFFLE(2, 3, 0, 1));
    x = _mm_shufflehi_epi16(x, _MM_SHUFFLE(2, 3, 0, 1));
    return SwapBytePairs128(x);
}

// Stores four copies of each 32-bit lane of w: 64 bytes.
inline void StoreEachWordFourTimes(std::uint8_t* p, __m128i w) {
    Store128(p, _mm_shuffle_epi32(w, 0x00));
    Store128(p + 16, _mm_shuffle_epi32(w, 0x55));
    Store128(p + 32, _mm_shuffle_epi32(w, 0xAA));
    Store128(p + 48, _mm_shuffle_epi32(w, 0xFF));
}

// Runs `step` (vector, file offset) on every whole 16-byte block of the file;
// returns the bytes done. Four loads are issued ahead of their steps, which
// keeps the memory busy where a step is short.
template <typename Step>
inline std::size_t ForEachBlock(const std::uint8_t* b, std::size_t n, Step step) {
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m128i v0 = Load128(b + i);
        const __m128i v1 = Load128(b + i + 16);
        const __m128i v2 = Load128(b + i + 32);
        const __m128i v3 = Load128(b + i + 48);
        step(v0, i);
        step(v1, i + 16);
        step(v2, i + 32);
        step(v3, i + 48);
    }
    for (; i + 16 <= n; i += 16) step(Load128(b + i), i);
    return i;
}

std::size_t VectorExchange(const std::uint8_t* b, std::size_t n, std::uint8_t* out) {
    return ForEachBlock(
        b, n, [out](__m128i v, std::size_t i) { Store128(out + i, SwapBytePairs128(v)); });
}

// Each byte followed by a zero byte.
std::size_t VectorSpread2(const std::uint8_t* b, std::size_t n, std::uint8_t* out) {
    const __m128i z = _mm_setzero_si128();
    return ForEachBlock(b, n, [out, z](__m128i v, std::size_t i) {
        Store128(out + 2 * i, _mm_unpacklo_epi8(v, z));
        Store128(out + 2 * i + 16, _mm_unpackhi_epi8(v, z));
    });
}

// One 32-bit word per byte; with kRepeat four identical words per byte.
template <bool kRepeat>
std::size_t VectorWords(const std::uint8_t* b, std::size_t n, std::uint8_t* out) {
    const __m128i z = _mm_setzero_si128();
    return ForEachBlock(b, n, [out, z](__m128i v, std::size_t i) {
        const __m128i lo = _mm_unpacklo_epi8(v, z);
        const __m128i hi = _mm_unpackhi_epi8(v, z);
        const __m128i w[4] = {_mm_unpacklo_epi16(lo, z), _mm_unpackhi_epi16(lo, z),
                              _mm_unpacklo_epi16(hi, z), _mm_unpackhi_epi16(hi, z)};
        std::uint8_t* p = out + (kRepeat ? 16 : 4) * i;
        for (int k = 0; k < 4; ++k) {
            if constexpr (kRepeat)
                StoreEachWordFourTimes(p + 64 * k, w[k]);
            else
                Store128(p + 16 * k, w[k]);
        }
    });
}

std::size_t VectorReverseWords(const std::uint8_t* b, std::size_t n, std::uint8_t* out) {
    return ForEachBlock(b, n,
                        [out](__m128i v, std::size_t i) { Store128(out + i, ReverseWords128(v)); });
}

// Eight 16-bit units, each as four identical 32-bit words.
std::size_t VectorTavel(const std::uint8_t* b, std::size_t n, std::uint8_t* out) {
    const __m128i z = _mm_setzero_si128();
    return ForEachBlock(b, n, [out, z](__m128i v, std::size_t i) {
        StoreEachWordFourTimes(out + 8 * i, _mm_unpacklo_epi16(v, z));
        StoreEachWordFourTimes(out + 8 * i + 64, _mm_unpackhi_epi16(v, z));
    });
}
#endif

#ifdef QUILLON_CONFIG_STREAM_AVX2
// Bit reversal in a vector is two nibble look-ups in a byte shuffle. Done 16
// bytes at a time (SSSE3), or with SSE2's shifts and masks, it costs more than
// the memory bus leaves time for on a slow-clocked core, so it takes AVX2's
// 32-byte shuffle, chosen at run time; processors without AVX2 reverse bits in
// the word-at-a-time code.
bool HaveAvx2() {
    static const bool have = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return have;
}

// Bit-reversed bytes, optionally pair-exchanged first or spread with a zero
// byte after each (encrypt, which never exchanges). Returns the file bytes done.
template <bool kExchange, bool kSpread>
__attribute__((target("avx2"))) std::size_t VectorReversed(const std::uint8_t* b, std::size_t n,
                                                           std::uint8_t* out) {
    // Reversed nibbles: as the low nibble of the result, and as its high nibble.
    const __m256i revLow = _mm256_setr_epi8(0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5,
                                            0xD, 0x3, 0xB, 0x7, 0xF, 0x0, 0x8, 0x4, 0xC, 0x2, 0xA,
                                            0x6, 0xE, 0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF);
    const __m256i revHigh = _mm256_slli_epi16(revLow, 4);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i pairs = _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14, 1,
                                           0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
    const __m256i z = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        if constexpr (kExchange) v = _mm256_shuffle_epi8(v, pairs);
        const __m256i lo = _mm256_and_si256(v, nibble);
        const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
        v = _mm256_or_si256(_mm256_shuffle_epi8(revHigh, lo), _mm256_shuffle_epi8(revLow, hi));
        if constexpr (kSpread) {
            // The unpacks work within 128-bit halves; the permutes put the
            // halves back in file order.
            const __m256i a = _mm256_unpacklo_epi8(v, z);
            const __m256i c = _mm256_unpackhi_epi8(v, z);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i),
                                _mm256_permute2x128_si256(a, c, 0x20));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i + 32),
                                _mm256_permute2x128_si256(a, c, 0x31));
        } else {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), v);
        }
    }
    return i;
}
#endif

// Every layout below is written once, templated on whether the vector path may
// take the bulk of it; the word-at-a-time path is also what the vector path is
// checked against.

template <bool kVector>
void BuildStandard(const std::uint8_t* b, std::size_t n, bool xilinx, bool bitswap, bool encrypt,
                   std::uint8_t* out, std::size_t len) {
    // Zero bytes (encrypt fillers, the Xilinx trailer) reverse to zero, so the
    // bit reversal only has to touch the bytes that came from the file.
    std::size_t i = 0;
    std::size_t written = 0;
    if (encrypt) {
        // Encrypt spreads the bytes and takes precedence over the pair exchange.
#ifdef QUILLON_CONFIG_STREAM_SSE2
        if constexpr (kVector) {
            if (!bitswap) i = VectorSpread2(b, n, out);
#ifdef QUILLON_CONFIG_STREAM_AVX2
            else if (HaveAvx2())
                i = VectorReversed<false, true>(b, n, out);
#endif
        }
#endif
        for (; i < n; ++i) {
            out[2 * i] = Map(b[i], bitswap);
            out[2 * i + 1] = 0;
        }
        written = 2 * n;
    } else if (!xilinx && !bitswap) {
        if (n) std::memcpy(out, b, n);
        written = n;
    } else {
#ifdef QUILLON_CONFIG_STREAM_SSE2
        if constexpr (kVector) {
            if (!bitswap) i = VectorExchange(b, n, out);
#ifdef QUILLON_CONFIG_STREAM_AVX2
            else if (HaveAvx2())
                i = xilinx ? VectorReversed<true, false>(b, n, out)
                           : VectorReversed<false, false>(b, n, out);
#endif
        }
#endif
        // Whole 8-byte blocks (an even number of bytes, so pairs never straddle a
        // block), then the tail byte by byte.
        for (; i + 8 <= n; i += 8) {
            std::uint64_t w = Load64(b + i);
            if (xilinx) w = SwapBytePairs64(w);
            if (bitswap) w = BitReverseBytes64(w);
            Store64(out + i, w);
        }
        if (xilinx) {
            for (; i + 2 <= n; i += 2) {
                out[i] = Map(b[i + 1], bitswap);
                out[i + 1] = Map(b[i], bitswap);
            }
            // An odd last file byte pairs with the first trailer byte (zero).
            if (i < n) {
                out[i] = 0;
                out[i + 1] = Map(b[i], bitswap);
                i += 2;
            }
        } else {
            for (; i < n; ++i) out[i] = Map(b[i], bitswap);
        }
        written = i;
    }
    if (len > written) std::memset(out + written, 0, len - written);
}

template <bool kVector>
void BuildTesseraAltera(const std::uint8_t* b, std::size_t n, bool encrypt, std::uint8_t* out) {
    std::size_t k = 0;
    if (encrypt) {
#ifdef QUILLON_CONFIG_STREAM_SSE2
        if constexpr (kVector) k = VectorWords<true>(b, n, out);
#endif
        for (; k < n; ++k) PutLe32x4(out + 16 * k, b[k]);
    } else {
#ifdef QUILLON_CONFIG_STREAM_SSE2
        if constexpr (kVector) k = VectorWords<false>(b, n, out);
#endif
        for (; k < n; ++k) PutLe32(out + 4 * k, b[k]);
    }
}

template <bool kVector>
void BuildTesseraXilinx(const std::uint8_t* b, std::size_t n, bool encrypt, std::uint8_t* out,
                        std::size_t len) {
    // Only whole 4-byte groups of the file are sent.
    const std::size_t whole = n & ~std::size_t{3};
    std::size_t i = 0;
    std::size_t written;
    if (encrypt) {
        // Four words of the group's bytes in file order: one word per byte.
#ifdef QUILLON_CONFIG_STREAM_SSE2
        if constexpr (kVector) i = VectorWords<false>(b, whole, out);
#endif
        for (; i < whole; ++i) PutLe32(out + 4 * i, b[i]);
        written = 4 * whole;
    } else {
#ifdef QUILLON_CONFIG_STREAM_SSE2
        if constexpr (kVector) i = VectorReverseWords(b, whole, out);
#endif
        for (; i < whole; i += 4) {
            out[i] = b[i + 3];
            out[i + 1] = b[i + 2];
            out[i + 2] = b[i + 1];
            out[i + 3] = b[i];
        }
        written = whole;
    }
    // The padding is laid down in whole 32-bit words of 0xFF; bytes past the last
    // whole word stay zero.
    const std::size_t padEnd = len & ~std::size_t{3};
    std::memset(out + written, 0xFF, padEnd - written);
    if (len > padEnd) std::memset(out + padEnd, 0, len - padEnd);
}

template <bool kVector>
void BuildTesseraTavel(const std::uint8_t* b, std::size_t n, std::uint8_t* out, std::size_t len) {
    // The Tavel board takes 16-bit units, each repeated in four 32-bit words.
    const std::size_t whole = n & ~std::size_t{1};
    std::size_t i = 0;
#ifdef QUILLON_CONFIG_STREAM_SSE2
    if constexpr (kVector) i = VectorTavel(b, whole, out);
#endif
    for (; i < whole; i += 2) {
        PutLe32x4(out + 8 * i,
                  static_cast<std::uint32_t>(b[i]) | (static_cast<std::uint32_t>(b[i + 1]) << 8));
    }
    // A last odd byte is not sent; its 8 bytes of stream stay zero.
    if (len > 8 * whole) std::memset(out + 8 * whole, 0, len - 8 * whole);
}

template <bool kVector>
bool BuildWith(std::span<const std::uint8_t> file, const ConfigOptions& o,
               std::span<std::uint8_t> out) {
    const auto len = ConfigStreamLength(file.size(), o);
    if (!len || *len != out.size()) return false;
    const std::uint8_t* b = file.data();
    const std::size_t n = file.size();
    std::uint8_t* p = out.data();
    switch (o.layout) {
        case ConfigLayout::Standard:
            BuildStandard<kVector>(b, n, o.xilinx, o.bitswap, o.encrypt, p, out.size());
            break;
        case ConfigLayout::TesseraAltera:
            BuildTesseraAltera<kVector>(b, n, o.encrypt, p);
            break;
        case ConfigLayout::TesseraXilinx:
            BuildTesseraXilinx<kVector>(b, n, o.encrypt, p, out.size());
            break;
        case ConfigLayout::TesseraTavel:
            BuildTesseraTavel<kVector>(b, n, p, out.size());
            break;
    }
    return true;
}

}  // namespace

std::uint8_t BitReverse(std::uint8_t b) {
    return kBitReverse[b];
}

void BitReverseInPlace(std::span<std::uint8_t> bytes) {
    std::uint8_t* p = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t i = 0;
#ifdef QUILLON_CONFIG_STREAM_AVX2
    if (HaveAvx2()) i = VectorReversed<false, false>(p, n, p);
#endif
    for (; i + 8 <= n; i += 8) Store64(p + i, BitReverseBytes64(Load64(p + i)));
    for (; i < n; ++i) p[i] = kBitReverse[p[i]];
}

std::optional<std::uint64_t> ConfigStreamLength(std::uint64_t n, const ConfigOptions& o) {
    if (n > 0xFFFFFFFFull) return std::nullopt;
    std::uint64_t len = 0;
    switch (o.layout) {
        case ConfigLayout::Standard:
            len = (o.encrypt ? 2 * n : n) + (o.xilinx ? kXilinxTrailer : 0);
            break;
        case ConfigLayout::TesseraAltera:
            len = o.encrypt ? 16 * n : 4 * n;
            break;
        case ConfigLayout::TesseraXilinx:
            len = (o.encrypt ? 4 * n : n) + kTesseraXilinxPad;
            break;
        case ConfigLayout::TesseraTavel:
            len = 8 * n;
            break;
    }
    if (len > kMaxConfigStream) return std::nullopt;
    return len;
}

bool BuildConfigStream(std::span<const std::uint8_t> file, const ConfigOptions& o,
                       std::span<std::uint8_t> out) {
    return BuildWith<true>(file, o, out);
}

bool BuildConfigStreamWithoutVectors(std::span<const std::uint8_t> file, const ConfigOptions& o,
                                     std::span<std::uint8_t> out) {
    return BuildWith<false>(file, o, out);
}

std::optional<ConfigStream> ConfigStream::Build(std::span<const std::uint8_t> file,
                                                const ConfigOptions& options) {
    const auto len = ConfigStreamLength(file.size(), options);
    if (!len) return std::nullopt;
    ConfigStream s;
    // At least one byte, so that even an empty stream has a valid buffer.
    s.data_.reset(new (std::nothrow) std::uint8_t[*len ? *len : 1]);
    if (!s.data_) return std::nullopt;
    s.size_ = static_cast<std::size_t>(*len);
    BuildConfigStream(file, options, {s.data_.get(), s.size_});
    return s;
}

}  // namespace quillon::features
