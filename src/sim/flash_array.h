#pragma once
// The cell array of a flash chip: erased cells read FF, programming can only
// clear bits, erasing sets a range back to FF. It is kept as a SparseMemory of
// the inverted bytes, so an erased chip (or an erased block) costs no storage.

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/sparse_memory.h"

namespace quillon::sim {

class FlashArray {
  public:
    explicit FlashArray(std::uint64_t size) : size_(size) {}

    std::uint64_t size() const { return size_; }

    void Read(std::uint64_t address, std::span<std::uint8_t> out) const {
        Wrapped(address, out.size(), [&](std::uint64_t a, std::size_t off, std::size_t n) {
            cells_.Read(a, out.subspan(off, n));
            for (std::size_t i = off; i < off + n; ++i) out[i] = static_cast<std::uint8_t>(~out[i]);
        });
    }
    std::uint8_t ReadByte(std::uint64_t address) const {
        std::uint8_t b = 0;
        Read(address, std::span(&b, 1));
        return b;
    }

    // Programs `bytes`: every cell keeps only the bits both it and the data have.
    void Program(std::uint64_t address, std::span<const std::uint8_t> bytes) {
        std::vector<std::uint8_t> cur(bytes.size());
        Read(address, cur);
        for (std::size_t i = 0; i < cur.size(); ++i) cur[i] = static_cast<std::uint8_t>(~(cur[i] & bytes[i]));
        WriteInverted(address, cur);
    }

    // Sets every byte of the range to FF.
    void Erase(std::uint64_t address, std::uint64_t length) {
        static const std::vector<std::uint8_t> zeros(SparseMemory::kPageSize, 0);
        while (length > 0) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(length, zeros.size()));
            WriteInverted(address, std::span(zeros).first(n));
            address += n;
            length -= n;
        }
    }

    // Overwrites cells with `bytes` as they are (loading a stored image).
    void Load(std::uint64_t address, std::span<const std::uint8_t> bytes) {
        std::vector<std::uint8_t> inv(bytes.begin(), bytes.end());
        for (auto& b : inv) b = static_cast<std::uint8_t>(~b);
        WriteInverted(address, inv);
    }

  private:
    void WriteInverted(std::uint64_t address, std::span<const std::uint8_t> inv) {
        Wrapped(address, inv.size(), [&](std::uint64_t a, std::size_t off, std::size_t n) {
            cells_.Write(a, inv.subspan(off, n));
        });
    }
    // Addresses wrap at the end of the chip, as its address counter does.
    template <typename F>
    void Wrapped(std::uint64_t address, std::size_t n, F&& piece) const {
        std::size_t done = 0;
        while (done < n) {
            const std::uint64_t a = address % size_;
            const std::size_t k =
                static_cast<std::size_t>(std::min<std::uint64_t>(n - done, size_ - a));
            piece(a, done, k);
            done += k;
            address = a + k;
        }
    }

    std::uint64_t size_;
    SparseMemory cells_;
};

}  // namespace quillon::sim
