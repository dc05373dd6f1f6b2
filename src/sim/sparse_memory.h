#pragma once
// Byte-addressed memory with a 64-bit address space that costs RAM only for
// the pages written. A page filled with one repeated byte (zeros, an erased
// flash image's 0xFF) is kept as that byte alone, so multi-GiB transfers of
// such data need almost nothing.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>

namespace quillon::sim {

class SparseMemory {
  public:
    static constexpr std::size_t kPageSize = 64 * 1024;

    // Pages with bytes of their own beyond `limitPages` are not stored; their
    // writes are dropped and counted.
    explicit SparseMemory(std::size_t limitPages = SIZE_MAX) : limitPages_(limitPages) {}

    void Write(std::uint64_t address, std::span<const std::uint8_t> bytes);
    // Unwritten bytes read 0.
    void Read(std::uint64_t address, std::span<std::uint8_t> out) const;
    void Clear();

    std::size_t StoredPages() const { return storedPages_; }  // pages holding their own bytes
    std::uint64_t DroppedBytes() const { return droppedBytes_; }

  private:
    struct Page {
        std::unique_ptr<std::uint8_t[]> bytes;  // null: every byte is `fill`
        std::uint8_t fill = 0;
    };
    void WriteInPage(std::uint64_t page, std::size_t offset, const std::uint8_t* src,
                     std::size_t n);

    std::unordered_map<std::uint64_t, Page> pages_;
    std::size_t limitPages_;
    std::size_t storedPages_ = 0;
    std::uint64_t droppedBytes_ = 0;
};

}  // namespace quillon::sim
