#include "features/memory/data_view.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>

#include "features/registers/reg_page_ops.h"
#include "platform/cause.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

bool Going(const std::function<bool()>& keepGoing) {
    return !keepGoing || keepGoing();
}

std::uint16_t Swap(std::uint16_t v) {
    return __builtin_bswap16(v);
}
std::uint32_t Swap(std::uint32_t v) {
    return __builtin_bswap32(v);
}
std::uint64_t Swap(std::uint64_t v) {
    return __builtin_bswap64(v);
}
std::uint8_t Swap(std::uint8_t v) {
    return v;
}

template <class T, bool Big>
T Load(const std::uint8_t* p) {
    using U = std::make_unsigned_t<T>;
    U u;
    std::memcpy(&u, p, sizeof u);
    if constexpr (Big) u = Swap(u);
    return static_cast<T>(u);
}

// Calls f.template operator()<T, Big>() for the word type of `format`.
template <class F>
decltype(auto) WithType(const WordFormat& format, F&& f) {
    const bool big = format.bigEndian && format.bytes > 1;
    auto pick = [&]<class S, class U>() -> decltype(auto) {
        if (format.isSigned)
            return big ? f.template operator()<S, true>() : f.template operator()<S, false>();
        return big ? f.template operator()<U, true>() : f.template operator()<U, false>();
    };
    switch (format.bytes) {
        case 2:
            return pick.template operator()<std::int16_t, std::uint16_t>();
        case 4:
            return pick.template operator()<std::int32_t, std::uint32_t>();
        case 8:
            return pick.template operator()<std::int64_t, std::uint64_t>();
        default:
            return pick.template operator()<std::int8_t, std::uint8_t>();
    }
}

// Minimum and maximum of n words. The loop has no branches so the compiler
// turns it into vector instructions: this is the whole cost of a plot.
template <class T, bool Big>
Extent RangeExtent(const std::uint8_t* p, std::size_t n) {
    T lo = std::numeric_limits<T>::max(), hi = std::numeric_limits<T>::lowest();
    for (std::size_t i = 0; i < n; ++i) {
        const T v = Load<T, Big>(p + i * sizeof(T));
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
    }
    return {static_cast<double>(lo), static_cast<double>(hi)};
}

Extent Join(const Extent& a, const Extent& b) {
    return {std::min(a.lo, b.lo), std::max(a.hi, b.hi)};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

// --- DataFile -----------------------------------------------------------------

NameCheck DataFile::Open(const std::string& path) {
    file_.Close();
    NameCheck check = CheckNameToRead(path);
    if (!check.ok()) return check;
    if (!file_.Open(path)) {
        // Gone or changed kind between the check and the open.
        check.problem = platform::NameProblem::Denied;
        check.reason = PeekCause().value_or(Lang::Tr("ﾌｧｲﾙを開けませんでした。"));
    }
    return check;
}

std::vector<std::uint8_t> DataFile::ReadVector(std::uint64_t offset, std::size_t n) const {
    std::vector<std::uint8_t> out(n);
    const auto got = Read(offset, out.data(), n);
    out.resize(got.value_or(0));
    return out;
}

// --- Hex rows -----------------------------------------------------------------

std::string HexOffset(std::uint64_t offset) {
    char text[24];
    std::snprintf(text, sizeof text, "%08" PRIX64, offset);
    return text;
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) s += ' ';
        s += kDigits[bytes[i] >> 4];
        s += kDigits[bytes[i] & 15];
    }
    return s;
}

std::string AsciiText(std::span<const std::uint8_t> bytes) {
    std::string s;
    s.reserve(bytes.size());
    for (const std::uint8_t b : bytes) s += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    return s;
}

std::string HexLines(std::span<const std::uint8_t> bytes) {
    std::string s;
    for (std::size_t at = 0; at < bytes.size(); at += kHexRowBytes)
        s += HexBytes(bytes.subspan(at, std::min<std::size_t>(kHexRowBytes, bytes.size() - at))) +
             "\n";
    return s;
}

std::optional<std::vector<std::uint8_t>> ParseBytePattern(std::string_view text) {
    std::vector<std::uint8_t> out;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == ',' || c == '\t') {
            ++i;
            continue;
        }
        if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            i += 2;
            continue;
        }
        if (i + 1 >= text.size()) return std::nullopt;
        const int hi = HexDigit(c), lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        i += 2;
    }
    if (out.empty()) return std::nullopt;
    return out;
}

std::optional<std::uint64_t> ParseViewOffset(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    return ParseHexField(text);
}

std::optional<std::uint64_t> FindPattern(const DataFile& file,
                                         std::span<const std::uint8_t> pattern, std::uint64_t from,
                                         const std::function<bool()>& keepGoing) {
    if (pattern.empty() || pattern.size() > kViewPiece) return std::nullopt;
    const std::size_t overlap = pattern.size() - 1;
    std::vector<std::uint8_t> piece(kViewPiece + overlap);
    const std::boyer_moore_horspool_searcher searcher(pattern.begin(), pattern.end());
    for (std::uint64_t at = from; at < file.size(); at += kViewPiece) {
        if (!Going(keepGoing)) return std::nullopt;
        const auto got = file.Read(at, piece.data(), piece.size());
        if (!got || *got < pattern.size()) return std::nullopt;
        const auto end = piece.begin() + static_cast<std::ptrdiff_t>(*got);
        const auto hit = std::search(piece.begin(), end, searcher);
        if (hit != end) return at + static_cast<std::uint64_t>(hit - piece.begin());
    }
    return std::nullopt;
}

// --- Words --------------------------------------------------------------------

double WordValue(const std::uint8_t* bytes, const WordFormat& format) {
    return WithType(format,
                    [&]<class T, bool Big>() { return static_cast<double>(Load<T, Big>(bytes)); });
}

std::string WordText(const std::uint8_t* bytes, const WordFormat& format) {
    return WithType(format, [&]<class T, bool Big>() {
        const T v = Load<T, Big>(bytes);
        if constexpr (std::is_signed_v<T>)
            return std::to_string(static_cast<long long>(v));
        else
            return std::to_string(static_cast<unsigned long long>(v));
    });
}

std::string WordHex(const std::uint8_t* bytes, const WordFormat& format) {
    const std::uint64_t v = WithType(format, [&]<class T, bool Big>() {
        return static_cast<std::uint64_t>(
            static_cast<std::make_unsigned_t<T>>(Load<T, Big>(bytes)));
    });
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*" PRIX64, format.bytes * 2, v);
    return text;
}

std::vector<Extent> ColumnExtents(std::span<const std::uint8_t> bytes, const WordFormat& format,
                                  int columns) {
    const std::uint64_t n = bytes.size() / static_cast<std::size_t>(format.bytes);
    if (n == 0 || columns <= 0) return {};
    const std::uint64_t cols = std::min<std::uint64_t>(static_cast<std::uint64_t>(columns), n);
    std::vector<Extent> out(cols);
    WithType(format, [&]<class T, bool Big>() {
        for (std::uint64_t c = 0; c < cols; ++c) {
            const std::uint64_t b = c * n / cols, e = (c + 1) * n / cols;
            out[c] = RangeExtent<T, Big>(bytes.data() + b * sizeof(T), e - b);
        }
        return 0;
    });
    return out;
}

// --- PlotSummary ----------------------------------------------------------------

bool PlotSummary::Build(const DataFile& file, const WordFormat& format,
                        const std::function<bool()>& keepGoing) {
    built_ = false;
    blocks_.clear();
    format_ = format;
    const auto wordBytes = static_cast<std::uint64_t>(format.bytes);
    words_ = file.size() / wordBytes;
    blockWords_ = 1;
    while (words_ / blockWords_ > kMaxSummaryBlocks) blockWords_ *= 2;
    const std::uint64_t blockBytes = blockWords_ * wordBytes;
    const std::uint64_t pieceBytes = std::max<std::uint64_t>(kViewPiece, blockBytes);
    std::unique_ptr<std::uint8_t[]> piece(new (std::nothrow) std::uint8_t[pieceBytes]);
    if (!piece) return false;
    blocks_.reserve((words_ + blockWords_ - 1) / blockWords_);
    const std::uint64_t usable = words_ * wordBytes;
    for (std::uint64_t at = 0; at < usable; at += pieceBytes) {
        if (!Going(keepGoing)) return false;
        const std::size_t want = static_cast<std::size_t>(std::min(pieceBytes, usable - at));
        const auto got = file.Read(at, piece.get(), want);
        if (!got || *got != want) return false;
        WithType(format, [&]<class T, bool Big>() {
            for (std::uint64_t b = 0; b < want; b += blockBytes) {
                const std::size_t n = static_cast<std::size_t>(std::min(blockBytes, want - b));
                blocks_.push_back(RangeExtent<T, Big>(piece.get() + b, n / sizeof(T)));
            }
            return 0;
        });
    }
    built_ = true;
    return true;
}

std::vector<Extent> PlotSummary::Columns(const DataFile& file, std::uint64_t first,
                                         std::uint64_t count, int columns) const {
    if (first >= words_ || columns <= 0) return {};
    count = std::min(count, words_ - first);
    if (count == 0) return {};
    const std::uint64_t cols = std::min<std::uint64_t>(static_cast<std::uint64_t>(columns), count);
    if (built_ && count / cols >= blockWords_) {
        std::vector<Extent> out(cols);
        for (std::uint64_t c = 0; c < cols; ++c) {
            const std::uint64_t b = first + c * count / cols, e = first + (c + 1) * count / cols;
            const std::uint64_t kb = b / blockWords_;
            const std::uint64_t ke =
                std::min<std::uint64_t>((e + blockWords_ - 1) / blockWords_, blocks_.size());
            Extent x = blocks_[kb];
            for (std::uint64_t k = kb + 1; k < ke; ++k) x = Join(x, blocks_[k]);
            out[c] = x;
        }
        return out;
    }
    const auto wordBytes = static_cast<std::uint64_t>(format_.bytes);
    const std::vector<std::uint8_t> bytes =
        file.ReadVector(first * wordBytes, static_cast<std::size_t>(count * wordBytes));
    return ColumnExtents(bytes, format_, static_cast<int>(cols));
}

// --- Comparison -----------------------------------------------------------------

void ComparePiece(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                  std::uint64_t offset, const CompareOptions& options, CompareResult& into,
                  std::uint64_t& lastWord) {
    const std::size_t n = std::min(a.size(), b.size());
    const std::uint8_t x = options.xorA ^ options.xorB;
    const auto w = static_cast<std::uint64_t>(std::max(1, options.wordBytes));
    constexpr std::size_t kStride = 64;
    for (std::size_t base = 0; base < n; base += kStride) {
        const std::size_t end = std::min(n, base + kStride);
        // Most of a round trip matches: a branch-free test per 64 bytes first.
        std::uint8_t any = 0;
        for (std::size_t i = base; i < end; ++i) any |= static_cast<std::uint8_t>(a[i] ^ b[i] ^ x);
        if (!any) continue;
        for (std::size_t i = base; i < end; ++i) {
            if ((a[i] ^ b[i]) == x) continue;
            const std::uint64_t at = offset + i;
            if (!into.firstDifference) into.firstDifference = at;
            ++into.differingBytes;
            if (at / w != lastWord) {
                lastWord = at / w;
                ++into.differingWords;
            }
        }
    }
}

CompareResult CompareBuffers(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                             const CompareOptions& options) {
    CompareResult r;
    r.lengthA = a.size();
    r.lengthB = b.size();
    r.compared = std::min<std::uint64_t>({r.lengthA, r.lengthB, options.limit});
    std::uint64_t lastWord = UINT64_MAX;
    const auto n = static_cast<std::size_t>(r.compared);
    ComparePiece(a.first(n), b.first(n), 0, options, r, lastWord);
    return r;
}

CompareResult CompareFiles(const DataFile& a, const DataFile& b, const CompareOptions& options,
                           const std::function<bool()>& keepGoing) {
    CompareResult r;
    r.lengthA = a.size();
    r.lengthB = b.size();
    r.compared = std::min<std::uint64_t>({r.lengthA, r.lengthB, options.limit});
    std::vector<std::uint8_t> pa(kViewPiece), pb(kViewPiece);
    std::uint64_t lastWord = UINT64_MAX;
    for (std::uint64_t at = 0; at < r.compared; at += kViewPiece) {
        if (!Going(keepGoing)) {
            r.ok = false;
            return r;
        }
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kViewPiece, r.compared - at));
        const auto ga = a.Read(at, pa.data(), want);
        const auto gb = b.Read(at, pb.data(), want);
        if (!ga || !gb || *ga != want || *gb != want) {
            r.ok = false;
            return r;
        }
        ComparePiece({pa.data(), want}, {pb.data(), want}, at, options, r, lastWord);
    }
    return r;
}

std::optional<std::uint64_t> NextDifference(const DataFile& a, const DataFile& b,
                                            std::uint64_t from, bool forward,
                                            const CompareOptions& options) {
    const std::uint64_t compared = std::min<std::uint64_t>({a.size(), b.size(), options.limit});
    const auto w = static_cast<std::uint64_t>(std::max(1, options.wordBytes));
    const std::uint8_t x = options.xorA ^ options.xorB;
    const std::uint64_t word = from - from % w;
    std::vector<std::uint8_t> pa(kViewPiece), pb(kViewPiece);
    auto read = [&](std::uint64_t at, std::size_t n) {
        const auto ga = a.Read(at, pa.data(), n), gb = b.Read(at, pb.data(), n);
        return ga && gb && *ga == n && *gb == n;
    };
    if (forward) {
        for (std::uint64_t at = word + w; at < compared; at += kViewPiece) {
            const auto n =
                static_cast<std::size_t>(std::min<std::uint64_t>(kViewPiece, compared - at));
            if (!read(at, n)) return std::nullopt;
            for (std::size_t i = 0; i < n; ++i)
                if ((pa[i] ^ pb[i]) != x) return (at + i) - (at + i) % w;
        }
        return std::nullopt;
    }
    std::uint64_t end = std::min(word, compared);
    while (end > 0) {
        const std::uint64_t at = end > kViewPiece ? end - kViewPiece : 0;
        const auto n = static_cast<std::size_t>(end - at);
        if (!read(at, n)) return std::nullopt;
        for (std::size_t i = n; i-- > 0;)
            if ((pa[i] ^ pb[i]) != x) return (at + i) - (at + i) % w;
        end = at;
    }
    return std::nullopt;
}

std::string CompareSummary(const CompareResult& r, int wordBytes) {
    if (!r.ok) return Lang::MarkedStd(QT_TRANSLATE_NOOP("Lang", "比較できませんでした。"));
    std::string s;
    if (r.firstDifference) {
        s = Lang::Fill(
            QT_TRANSLATE_NOOP("Lang", "最初の相違：0x%1  相違ﾊﾞｲﾄ数：%2  相違ﾜｰﾄﾞ数(%3bit)：%4"),
            HexOffset(*r.firstDifference), r.differingBytes, wordBytes * 8, r.differingWords);
    } else {
        s = Lang::MarkedStd(QT_TRANSLATE_NOOP("Lang", "相違なし"));
    }
    s += "  " + Lang::Fill(QT_TRANSLATE_NOOP("Lang", "比較ﾊﾞｲﾄ数：%1"), r.compared);
    if (r.lengthA != r.lengthB) {
        const std::uint64_t d =
            r.lengthA > r.lengthB ? r.lengthA - r.lengthB : r.lengthB - r.lengthA;
        s += "  " +
             Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾌｧｲﾙ長の差：%1 ﾊﾞｲﾄ(%2 / %3)、短い方で比較"), d,
                        r.lengthA, r.lengthB);
    }
    return s;
}

}  // namespace quillon::features
