#pragma once
// Decoding the CFI query of a 16-bit parallel NOR flash, as the parallel-flash
// bridge reads it: one 16-bit word per CFI address, little-endian, so CFI byte
// address a is the byte at offset 2a. A pure function over the image: it reads
// only inside the span and refuses an image too short for what it describes.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon::features {

// What the erase, write and verify of the parallel flash need. The record
// holds four erase regions; a device with more is refused (see DecodeCfi).
struct FlashGeometry {
    std::uint32_t totalBytes = 0;       // 2^N from CFI byte 27h
    std::uint32_t pageWords = 0;        // 8 when byte 4Ch is 2, else 0 (reported only)
    std::uint32_t wordWriteTypUs = 0;
    std::uint32_t wordWriteMaxUs = 0;   // sets the chunk write time-out
    std::uint32_t blockEraseTypMs = 0;  // reported only
    std::uint32_t blockEraseMaxS = 0;   // the per-block erase time-out
    std::uint32_t regionCount = 0;
    std::array<std::uint32_t, 4> regionBlocks{};
    std::array<std::uint32_t, 4> regionBlockBytes{};
};

inline constexpr std::size_t kMaxEraseRegions = 4;

struct CfiRegion {
    std::uint32_t blocks = 0;
    std::uint32_t blockBytes = 0;
};

struct CfiQuery {
    FlashGeometry geometry;
    std::uint8_t pageModeByte = 0;
    std::array<std::uint8_t, 8> uniqueCode{};  // in the order shown, high byte of word 64h first
    std::vector<CfiRegion> regions;            // every region the query lists
};

enum class CfiError {
    None,
    NoSignature,     // neither "QRY" nor "PRI" at 10h-12h (or the image ends before)
    Truncated,       // the image ends inside the fields the query describes
    NoRegions,       // byte 2Ch is 0: nothing to erase
    TooManyRegions,  // more than four regions: the geometry cannot hold them
};

struct CfiDecode {
    CfiError error = CfiError::None;
    CfiQuery query;  // filled as far as decoded (all of it for TooManyRegions)
};

CfiDecode DecodeCfi(std::span<const std::uint8_t> image);

// The log lines of a decoded query, from "//////// Read CFI Query ////////"
// to the last region's size.
std::vector<std::string> CfiReportLines(const CfiQuery& query);

}  // namespace quillon::features
