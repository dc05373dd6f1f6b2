#include "features/flash/cfi.h"

#include <cstdio>

#include "platform/ui_text.h"

namespace quillon::features {

namespace {

class QueryImage {
  public:
    explicit QueryImage(std::span<const std::uint8_t> image) : image_(image) {}
    // CFI byte at `address`; nullopt past the end of the image.
    std::optional<std::uint8_t> Byte(std::size_t address) const {
        const std::size_t offset = 2 * address;
        if (offset >= image_.size()) return std::nullopt;
        return image_[offset];
    }
    std::optional<std::uint8_t> Raw(std::size_t offset) const {
        if (offset >= image_.size()) return std::nullopt;
        return image_[offset];
    }

  private:
    std::span<const std::uint8_t> image_;
};

std::uint32_t Pow2(std::uint8_t exponent) {
    return std::uint32_t{1} << (exponent % 32);
}

std::string Format(const char* format, auto... values) {
    char buf[160];
    std::snprintf(buf, sizeof buf, format, values...);
    return buf;
}

}  // namespace

CfiDecode DecodeCfi(std::span<const std::uint8_t> image) {
    CfiDecode d;
    const QueryImage q(image);
    const auto q0 = q.Byte(0x10), q1 = q.Byte(0x11), q2 = q.Byte(0x12);
    const bool qry = q0 == 'Q' && q1 == 'R' && q2 == 'Y';
    const bool pri = q0 == 'P' && q1 == 'R' && q2 == 'I';
    if (!qry && !pri) {
        d.error = CfiError::NoSignature;
        return d;
    }
    // The fixed fields end with the page-mode byte at 4Ch and the unique code
    // at offset 201.
    const auto page = q.Byte(0x4C);
    const auto last = q.Raw(201);
    const auto size = q.Byte(0x27), typ = q.Byte(0x1F), max = q.Byte(0x23), eraseTyp = q.Byte(0x21),
               eraseMax = q.Byte(0x25), count = q.Byte(0x2C);
    if (!page || !last || !size || !typ || !max || !eraseTyp || !eraseMax || !count) {
        d.error = CfiError::Truncated;
        return d;
    }
    CfiQuery& out = d.query;
    FlashGeometry& g = out.geometry;
    out.pageModeByte = *page;
    g.pageWords = *page == 2 ? 8 : 0;
    for (int i = 0; i < 8; ++i) out.uniqueCode[i] = *q.Raw(201 - i);
    g.totalBytes = Pow2(*size);
    if (*typ != 0) {
        // Both exponents can be up to 31: the product needs 62 bits, and a
        // time-out that large is as good as none.
        const std::uint64_t maxUs = std::uint64_t{Pow2(*max)} * Pow2(*typ);
        g.wordWriteTypUs = Pow2(*typ);
        g.wordWriteMaxUs = maxUs > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(maxUs);
    } else {
        g.wordWriteTypUs = 280;
        g.wordWriteMaxUs = 280;
    }
    g.blockEraseTypMs = Pow2(*eraseTyp);
    g.blockEraseMaxS = Pow2(*eraseMax);
    g.regionCount = *count;
    for (std::size_t i = 0; i < *count; ++i) {
        const auto b0 = q.Byte(0x2D + 4 * i), b1 = q.Byte(0x2E + 4 * i), s0 = q.Byte(0x2F + 4 * i),
                   s1 = q.Byte(0x30 + 4 * i);
        if (!b0 || !b1 || !s0 || !s1) {
            d.error = CfiError::Truncated;
            return d;
        }
        CfiRegion r;
        r.blocks = std::uint32_t{*b1} * 256 + *b0 + 1;
        r.blockBytes = (std::uint32_t{*s1} * 256 + *s0) * 256;
        out.regions.push_back(r);
        if (i < kMaxEraseRegions) {
            g.regionBlocks[i] = r.blocks;
            g.regionBlockBytes[i] = r.blockBytes;
        }
    }
    if (*count == 0) d.error = CfiError::NoRegions;
    if (*count > kMaxEraseRegions) d.error = CfiError::TooManyRegions;
    return d;
}

std::vector<std::string> CfiReportLines(const CfiQuery& query) {
    const FlashGeometry& g = query.geometry;
    std::vector<std::string> lines;
    lines.push_back("//////// Read CFI Query ////////");
    if (query.pageModeByte == 0) lines.push_back(Lang::Tr("Page Write Mode ： not supported."));
    if (query.pageModeByte == 2) lines.push_back(Lang::Tr("Page Write Mode ： 8Word page."));
    const auto& u = query.uniqueCode;
    lines.push_back(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "FLASH Unique Code ： %1h"),
                               Format("%02X%02X_%02X%02X_%02X%02X_%02X%02X", u[0], u[1], u[2], u[3],
                                      u[4], u[5], u[6], u[7])));
    lines.push_back(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "Total FLASH Size ： %1Bytes(%2MiBytes)"),
                               g.totalBytes, g.totalBytes >> 20));
    lines.push_back(
        Lang::Fill(QT_TRANSLATE_NOOP("Lang", "1Word Write Time(typ) ： %1us"), g.wordWriteTypUs));
    lines.push_back(
        Lang::Fill(QT_TRANSLATE_NOOP("Lang", "1Word Write Time(max) ： %1us"), g.wordWriteMaxUs));
    lines.push_back(
        Lang::Fill(QT_TRANSLATE_NOOP("Lang", "Block Erase Time(typ) ： %1ms"), g.blockEraseTypMs));
    lines.push_back(
        Lang::Fill(QT_TRANSLATE_NOOP("Lang", "Block Erase Time(max) ： %1s"), g.blockEraseMaxS));
    lines.push_back(
        Lang::Fill(QT_TRANSLATE_NOOP("Lang", "Region Block Number ： %1"), g.regionCount));
    for (std::size_t i = 0; i < query.regions.size(); ++i) {
        lines.push_back(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "Region%1 Block Number ： %2"), i,
                                   query.regions[i].blocks));
        lines.push_back(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "Region%1 Block Size ： %2Bytes"), i,
                                   query.regions[i].blockBytes));
    }
    return lines;
}

}  // namespace quillon::features
