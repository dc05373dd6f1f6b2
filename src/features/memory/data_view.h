#pragma once
// What the data viewer shows of a memory image, without any window: the file
// read by the part in view, hex rows, words of 8 to 64 bits, the minimum and
// maximum of each plot column, a byte pattern search and the comparison of
// two files. The panel's viewer, the Python module and the tests share it.
//
// Nothing here holds a whole file: rows and searches read what they need, the
// plot keeps one minimum/maximum pair per block of words (at most
// kMaxSummaryBlocks of them), and comparisons stream both files in pieces.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "features/file_names.h"
#include "platform/view_file.h"

namespace quillon::features {

inline constexpr int kHexRowBytes = 16;
// Pieces in which whole-file work reads: large enough for the disk, small
// enough that the memory the viewer adds stays small.
inline constexpr std::size_t kViewPiece = 4u << 20;

// The file the viewer shows.
class DataFile {
  public:
    // Checks the name (the program's input-file check) and opens it. The
    // check's reason says why a name cannot be shown.
    NameCheck Open(const std::string& path);
    const std::string& path() const { return file_.path(); }
    bool isOpen() const { return file_.isOpen(); }
    std::uint64_t size() const { return file_.size(); }
    // Up to `n` bytes from `offset`, fewer at the end; nullopt on a read error.
    std::optional<std::size_t> Read(std::uint64_t offset, std::uint8_t* out, std::size_t n) const {
        return file_.ReadAt(offset, out, n);
    }
    std::vector<std::uint8_t> ReadVector(std::uint64_t offset, std::size_t n) const;
    // The name now holds other contents than were opened.
    bool Changed() const { return file_.Changed(); }

  private:
    platform::ViewFile file_;
};

// --- Hex rows ---------------------------------------------------------------

// "00001230": eight digits, more for offsets past 4 GiB.
std::string HexOffset(std::uint64_t offset);
// "41 42 0A"
std::string HexBytes(std::span<const std::uint8_t> bytes);
// Printable ASCII as it is, everything else as '.'.
std::string AsciiText(std::span<const std::uint8_t> bytes);
// Bytes as lines of 16 ("41 42 43 ...\n"), what the viewer copies.
std::string HexLines(std::span<const std::uint8_t> bytes);
// "de ad be ef", "DEADBEEF", "0xde 0xad": pairs of hex digits; nullopt for
// anything else or nothing.
std::optional<std::vector<std::uint8_t>> ParseBytePattern(std::string_view text);
// An offset typed in hexadecimal, with or without 0x.
std::optional<std::uint64_t> ParseViewOffset(std::string_view text);

// The first occurrence of `pattern` at or after `from`; nullopt when none
// (or when `keepGoing` said stop).
std::optional<std::uint64_t> FindPattern(const DataFile& file,
                                         std::span<const std::uint8_t> pattern, std::uint64_t from,
                                         const std::function<bool()>& keepGoing = {});

// --- Words ------------------------------------------------------------------

struct WordFormat {
    int bytes = 1;  // 1, 2, 4 or 8
    bool isSigned = false;
    bool bigEndian = false;
    bool operator==(const WordFormat&) const = default;
};

// The word at the start of `bytes` (at least format.bytes of them), as a
// plain number for the plot.
double WordValue(const std::uint8_t* bytes, const WordFormat& format);
// The same word exactly, in decimal ("-1", "18446744073709551615").
std::string WordText(const std::uint8_t* bytes, const WordFormat& format);
// "0xFFFF" with 2 digits per byte.
std::string WordHex(const std::uint8_t* bytes, const WordFormat& format);

struct Extent {
    double lo = 0;
    double hi = 0;
};

// The minimum and maximum of `columns` columns over whole words of `bytes`:
// column c covers words [c*n/columns, (c+1)*n/columns). Fewer words than
// columns give one column per word.
std::vector<Extent> ColumnExtents(std::span<const std::uint8_t> bytes, const WordFormat& format,
                                  int columns);

inline constexpr std::size_t kMaxSummaryBlocks = 1u << 20;

// The plot of a file: one extent per block of words, built by one pass over
// the file, so that any view of it is drawn from at most a few MiB.
class PlotSummary {
  public:
    // Reads the whole file in pieces. False when a read failed or
    // `keepGoing` said stop.
    bool Build(const DataFile& file, const WordFormat& format,
               const std::function<bool()>& keepGoing = {});
    bool built() const { return built_; }
    std::uint64_t words() const { return words_; }
    std::uint64_t blockWords() const { return blockWords_; }
    const WordFormat& format() const { return format_; }
    // Extents of `columns` columns over words [first, first + count): from the
    // blocks when a column spans a block or more, else read from the file.
    std::vector<Extent> Columns(const DataFile& file, std::uint64_t first, std::uint64_t count,
                                int columns) const;

  private:
    WordFormat format_;
    std::uint64_t words_ = 0;
    std::uint64_t blockWords_ = 1;
    std::vector<Extent> blocks_;
    bool built_ = false;
};

// --- Comparison -------------------------------------------------------------

struct CompareOptions {
    int wordBytes = 1;
    // XORed into every byte of each side before comparing: 0xAA for a side
    // that the memory scramble changed on its way (a file written with write
    // scramble on, or read with read scramble on), so both sides are
    // compared as the board's memory holds them.
    std::uint8_t xorA = 0;
    std::uint8_t xorB = 0;
    // Compare at most this many bytes (the length of a transfer).
    std::uint64_t limit = UINT64_MAX;
};

struct CompareResult {
    bool ok = true;  // false: a read failed or the comparison was stopped
    std::uint64_t lengthA = 0;
    std::uint64_t lengthB = 0;
    std::uint64_t compared = 0;                    // the shorter length, within the limit
    std::optional<std::uint64_t> firstDifference;  // byte offset
    std::uint64_t differingBytes = 0;
    // Words (of wordBytes, counted from offset 0) holding a differing byte; a
    // last partial word counts as one.
    std::uint64_t differingWords = 0;
    bool same() const { return ok && !firstDifference && lengthA == lengthB; }
};

// The counts over a pair of equal-length pieces that start at `offset` of
// their files; adds to `into`. `lastWord` carries the index of the last
// differing word between pieces.
void ComparePiece(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                  std::uint64_t offset, const CompareOptions& options, CompareResult& into,
                  std::uint64_t& lastWord);
CompareResult CompareBuffers(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                             const CompareOptions& options);
CompareResult CompareFiles(const DataFile& a, const DataFile& b, const CompareOptions& options,
                           const std::function<bool()>& keepGoing = {});
// The start of the next (forward) or previous differing word after or before
// the word that holds `from`; nullopt when there is none.
std::optional<std::uint64_t> NextDifference(const DataFile& a, const DataFile& b,
                                            std::uint64_t from, bool forward,
                                            const CompareOptions& options);

// One line for the viewer and the log: "最初の相違：0x00001234  相違ﾊﾞｲﾄ数：1 ..."
std::string CompareSummary(const CompareResult& r, int wordBytes);

}  // namespace quillon::features
