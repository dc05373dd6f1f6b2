#include "features/config/config_stream.h"

#include <array>
#include <cstring>
#include <new>
#include <type_traits>

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

struct Identity {
    std::uint8_t operator()(std::uint8_t b) const { return b; }
};
struct Reverse {
    std::uint8_t operator()(std::uint8_t b) const { return kBitReverse[b]; }
};

// Writes a 32-bit word least significant byte first.
inline void PutLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Standard layout. The zero bytes (encrypt fillers, Xilinx trailer) reverse to
// zero, so the bit map only needs to touch the bytes that came from the file.
template <typename Map>
void BuildStandard(const std::uint8_t* b, std::size_t n, bool xilinx, bool encrypt,
                   std::uint8_t* out, std::size_t len, Map map) {
    std::size_t written = 0;
    if (encrypt) {
        for (std::size_t k = 0; k < n; ++k) {
            out[2 * k] = map(b[k]);
            out[2 * k + 1] = 0;
        }
        written = 2 * n;
    } else if (xilinx) {
        // Byte pairs exchanged over the whole stream. With an odd file length the
        // last file byte pairs with the first trailer byte (zero).
        const std::size_t pairs = n / 2;
        for (std::size_t j = 0; j < pairs; ++j) {
            out[2 * j] = map(b[2 * j + 1]);
            out[2 * j + 1] = map(b[2 * j]);
        }
        written = 2 * pairs;
        if (n & 1) {
            out[n - 1] = 0;
            out[n] = map(b[n - 1]);
            written = n + 1;
        }
    } else if constexpr (std::is_same_v<Map, Identity>) {
        if (n) std::memcpy(out, b, n);
        written = n;
    } else {
        for (std::size_t k = 0; k < n; ++k) out[k] = map(b[k]);
        written = n;
    }
    if (len > written) std::memset(out + written, 0, len - written);
}

void BuildTesseraAltera(const std::uint8_t* b, std::size_t n, bool encrypt, std::uint8_t* out) {
    if (encrypt) {
        for (std::size_t k = 0; k < n; ++k) {
            std::uint8_t* p = out + 16 * k;
            for (int w = 0; w < 4; ++w) PutLe32(p + 4 * w, b[k]);
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
        std::uint8_t* p = out + 16 * i;
        for (int w = 0; w < 4; ++w) PutLe32(p + 4 * w, h);
    }
    // A last odd byte is not sent; its 8 bytes of stream stay zero.
    if (len > 16 * units) std::memset(out + 16 * units, 0, len - 16 * units);
}

}  // namespace

std::uint8_t BitReverse(std::uint8_t b) {
    return kBitReverse[b];
}

void BitReverseInPlace(std::span<std::uint8_t> bytes) {
    for (auto& b : bytes) b = kBitReverse[b];
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
            if (o.bitswap)
                BuildStandard(b, n, o.xilinx, o.encrypt, p, out.size(), Reverse{});
            else
                BuildStandard(b, n, o.xilinx, o.encrypt, p, out.size(), Identity{});
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
