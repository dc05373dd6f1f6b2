#pragma once
// Byte-addressed memory with a 64-bit address space that costs nothing for
// pages never written. A page filled with one repeated byte (zeros, an erased
// flash image's 0xFF) is kept as that byte alone; the other pages live in an
// unnamed scratch file on disk, not in the process's memory, so the board can
// hold gigabytes of real data while the program stays small.

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "platform/file_io.h"

namespace quillon::sim {

class SparseMemory {
  public:
    static constexpr std::size_t kPageSize = 64 * 1024;

    // Pages with bytes of their own beyond `limitPages` are not stored; their
    // writes are dropped and counted (as are writes the scratch file refused).
    // A discarding memory stores nothing and reads as AddressPattern.
    explicit SparseMemory(std::size_t limitPages = SIZE_MAX, bool discard = false)
        : limitPages_(limitPages), discard_(discard) {}

    // Each 64-bit word holds its own byte address, least significant byte first.
    static void AddressPattern(std::uint64_t address, std::span<std::uint8_t> out);

    void Write(std::uint64_t address, std::span<const std::uint8_t> bytes);
    // Unwritten bytes read 0.
    void Read(std::uint64_t address, std::span<std::uint8_t> out) const;
    void Clear();

    std::size_t StoredPages() const { return storedPages_; }  // pages holding their own bytes
    std::uint64_t DroppedBytes() const { return droppedBytes_; }

  private:
    static constexpr std::uint64_t kNoSlot = UINT64_MAX;
    struct Page {
        std::uint64_t slot = kNoSlot;  // place in the scratch file; none: every byte is `fill`
        std::uint8_t fill = 0;
    };
    void WriteInPage(std::uint64_t page, std::size_t offset, const std::uint8_t* src,
                     std::size_t n);
    void ReleaseSlot(Page& p);

    std::unordered_map<std::uint64_t, Page> pages_;
    platform::ScratchFile store_;
    std::vector<std::uint64_t> freeSlots_;
    std::uint64_t nextSlot_ = 0;
    std::size_t limitPages_;
    bool discard_;
    std::size_t storedPages_ = 0;
    std::uint64_t droppedBytes_ = 0;
};

}  // namespace quillon::sim
