#include "features/config/config_stream.h"

#include <array>
#include <bit>
#include <cstring>
#include <new>

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

// Eight bytes at once, each reversed on its own: the same map as the table, in a
// form the compiler turns into vector code.
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

// The block loop in one variant per option pair, so each compiles to straight
// vector code. Returns the bytes done.
template <bool kExchange, bool kReverse>
std::size_t Blocks(const std::uint8_t* b, std::size_t n, std::uint8_t* out) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w = Load64(b + i);
        if constexpr (kExchange) w = SwapBytePairs64(w);
        if constexpr (kReverse) w = BitReverseBytes64(w);
        Store64(out + i, w);
    }
    return i;
}

inline std::uint8_t Map(std::uint8_t b, bool bitswap) {
    return bitswap ? kBitReverse[b] : b;
}

// Standard layout. Zero bytes (encrypt fillers, the Xilinx trailer) reverse to
// zero, so the bit reversal only has to touch the bytes that came from the file.
void BuildStandard(const std::uint8_t* b, std::size_t n, bool xilinx, bool bitswap, bool encrypt,
                   std::uint8_t* out, std::size_t len) {
    std::size_t written = 0;
    if (encrypt) {
        // Encrypt spreads the bytes and takes precedence over the pair exchange.
        for (std::size_t k = 0; k < n; ++k) {
            out[2 * k] = b[k];
            out[2 * k + 1] = 0;
        }
        written = 2 * n;
        if (bitswap) BitReverseInPlace({out, written});
    } else if (!xilinx && !bitswap) {
        if (n) std::memcpy(out, b, n);
        written = n;
    } else {
        // Whole 8-byte blocks (an even number of bytes, so pairs never straddle a
        // block), then the tail byte by byte.
        std::size_t i;
        if (xilinx && bitswap)
            i = Blocks<true, true>(b, n, out);
        else if (xilinx)
            i = Blocks<true, false>(b, n, out);
        else
            i = Blocks<false, true>(b, n, out);
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

void BuildTesseraAltera(const std::uint8_t* b, std::size_t n, bool encrypt, std::uint8_t* out) {
    if (encrypt) {
        for (std::size_t k = 0; k < n; ++k) {
            PutLe32x4(out + 16 * k, b[k]);
        }
    } else {
        for (std::size_t k = 0; k < n; ++k) PutLe32(out + 4 * k, b[k]);
    }
}

void BuildTesseraXilinx(const std::uint8_t* b, std::size_t n, bool encrypt, std::uint8_t* out,
                        std::size_t len) {
    // Only whole 4-byte groups of the file are sent.
    const std::size_t groups = n / 4;
    std::size_t written;
    if (encrypt) {
        for (std::size_t i = 0; i < groups; ++i) {
            std::uint8_t* p = out + 16 * i;
            for (int w = 0; w < 4; ++w) PutLe32(p + 4 * w, b[4 * i + w]);
        }
        written = 16 * groups;
    } else {
        for (std::size_t i = 0; i < groups; ++i) {
            const std::uint8_t* s = b + 4 * i;
            std::uint8_t* p = out + 4 * i;
            p[0] = s[3];
            p[1] = s[2];
            p[2] = s[1];
            p[3] = s[0];
        }
        written = 4 * groups;
    }
    // The padding is laid down in whole 32-bit words of 0xFF; bytes past the last
    // whole word stay zero.
    const std::size_t padEnd = len & ~std::size_t{3};
    std::memset(out + written, 0xFF, padEnd - written);
    if (len > padEnd) std::memset(out + padEnd, 0, len - padEnd);
}

void BuildTesseraTavel(const std::uint8_t* b, std::size_t n, std::uint8_t* out, std::size_t len) {
    // The Tavel board takes 16-bit units, each repeated in four 32-bit words.
    const std::size_t units = n / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t h =
            static_cast<std::uint32_t>(b[2 * i]) | (static_cast<std::uint32_t>(b[2 * i + 1]) << 8);
        PutLe32x4(out + 16 * i, h);
    }
    // A last odd byte is not sent; its 8 bytes of stream stay zero.
    if (len > 16 * units) std::memset(out + 16 * units, 0, len - 16 * units);
}

}  // namespace

std::uint8_t BitReverse(std::uint8_t b) {
    return kBitReverse[b];
}

void BitReverseInPlace(std::span<std::uint8_t> bytes) {
    std::uint8_t* p = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t i = 0;
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
    const auto len = ConfigStreamLength(file.size(), o);
    if (!len || *len != out.size()) return false;
    const std::uint8_t* b = file.data();
    const std::size_t n = file.size();
    std::uint8_t* p = out.data();
    switch (o.layout) {
        case ConfigLayout::Standard:
            BuildStandard(b, n, o.xilinx, o.bitswap, o.encrypt, p, out.size());
            break;
        case ConfigLayout::TesseraAltera:
            BuildTesseraAltera(b, n, o.encrypt, p);
            break;
        case ConfigLayout::TesseraXilinx:
            BuildTesseraXilinx(b, n, o.encrypt, p, out.size());
            break;
        case ConfigLayout::TesseraTavel:
            BuildTesseraTavel(b, n, p, out.size());
            break;
    }
    return true;
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
