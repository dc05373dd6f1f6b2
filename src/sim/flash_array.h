#pragma once
// The cell array of a flash chip: erased cells read FF, programming can only
// clear bits, erasing sets a range back to FF. Kept in memory in 64 KiB
// pages; an erased page costs nothing. (The chips are small and are reached
// a word at a time, so their cells stay out of the board's disk-backed memory.)

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <unordered_map>

namespace quillon::sim {

class FlashArray {
  public:
    static constexpr std::size_t kPageSize = 64 * 1024;

    explicit FlashArray(std::uint64_t size) : size_(size) {}

    std::uint64_t size() const { return size_; }

    void Read(std::uint64_t address, std::span<std::uint8_t> out) const {
        Pieces(address, out.size(), [&](std::uint64_t page, std::size_t at, std::size_t off,
                                        std::size_t n) {
            auto it = pages_.find(page);
            if (it == pages_.end())
                std::memset(out.data() + off, 0xFF, n);
            else
                std::memcpy(out.data() + off, it->second.get() + at, n);
        });
    }
    std::uint8_t ReadByte(std::uint64_t address) const {
        address %= size_;
        auto it = pages_.find(address / kPageSize);
        return it == pages_.end() ? 0xFF : it->second[address % kPageSize];
    }

    // Programs `bytes`: every cell keeps only the bits both it and the data have.
    void Program(std::uint64_t address, std::span<const std::uint8_t> bytes) {
        Pieces(address, bytes.size(), [&](std::uint64_t page, std::size_t at, std::size_t off,
                                          std::size_t n) {
            std::uint8_t* cells = nullptr;
            for (std::size_t i = 0; i < n; ++i) {
                if (bytes[off + i] == 0xFF) continue;  // nothing to clear
                if (!cells) cells = Page(page);
                cells[at + i] &= bytes[off + i];
            }
        });
    }

    // Sets every byte of the range to FF.
    void Erase(std::uint64_t address, std::uint64_t length) {
        if (length >= size_) {
            pages_.clear();
            return;
        }
        Pieces(address, static_cast<std::size_t>(length),
               [&](std::uint64_t page, std::size_t at, std::size_t, std::size_t n) {
                   auto it = pages_.find(page);
                   if (it == pages_.end()) return;
                   if (n == PageBytes(page)) {
                       pages_.erase(it);
                       return;
                   }
                   std::memset(it->second.get() + at, 0xFF, n);
               });
    }

    // Overwrites cells with `bytes` as they are (loading a stored image).
    void Load(std::uint64_t address, std::span<const std::uint8_t> bytes) {
        Pieces(address, bytes.size(), [&](std::uint64_t page, std::size_t at, std::size_t off,
                                          std::size_t n) {
            std::memcpy(Page(page) + at, bytes.data() + off, n);
        });
    }

  private:
    std::size_t PageBytes(std::uint64_t page) const {
        return static_cast<std::size_t>(std::min<std::uint64_t>(kPageSize, size_ - page * kPageSize));
    }
    std::uint8_t* Page(std::uint64_t page) {
        auto& p = pages_[page];
        if (!p) {
            p.reset(new std::uint8_t[kPageSize]);
            std::memset(p.get(), 0xFF, kPageSize);
        }
        return p.get();
    }
    // Splits a range into pieces within one page; addresses wrap at the end
    // of the chip, as its address counter does. piece(page, offset in the
    // page, offset in the range, length).
    template <typename F>
    void Pieces(std::uint64_t address, std::size_t n, F&& piece) const {
        std::size_t done = 0;
        address %= size_;
        while (done < n) {
            const std::uint64_t page = address / kPageSize;
            const std::size_t at = static_cast<std::size_t>(address % kPageSize);
            const std::size_t k = static_cast<std::size_t>(
                std::min<std::uint64_t>({n - done, kPageSize - at, size_ - address}));
            piece(page, at, done, k);
            done += k;
            address = (address + k) % size_;
        }
    }

    std::uint64_t size_;
    std::unordered_map<std::uint64_t, std::unique_ptr<std::uint8_t[]>> pages_;
};

}  // namespace quillon::sim
