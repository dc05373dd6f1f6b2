#include "sim/sparse_memory.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace quillon::sim {

namespace {

// All bytes equal: compare the run with itself shifted by one.
bool Uniform(const std::uint8_t* p, std::size_t n) {
    return n == 0 || std::memcmp(p, p + 1, n - 1) == 0;
}

}  // namespace

void SparseMemory::ReleaseSlot(Page& p) {
    if (p.slot == kNoSlot) return;
    freeSlots_.push_back(p.slot);
    p.slot = kNoSlot;
    --storedPages_;
}

void SparseMemory::WriteInPage(std::uint64_t page, std::size_t offset, const std::uint8_t* src,
                               std::size_t n) {
    auto it = pages_.find(page);
    if (offset == 0 && n == kPageSize && Uniform(src, n)) {
        // A whole page of one byte value needs no storage of its own.
        if (it == pages_.end()) {
            if (src[0] != 0) pages_[page].fill = src[0];
            return;
        }
        ReleaseSlot(it->second);
        it->second.fill = src[0];
        return;
    }
    if (it == pages_.end() || it->second.slot == kNoSlot) {
        const std::uint8_t fill = it == pages_.end() ? 0 : it->second.fill;
        if (fill == (n ? src[0] : fill) && Uniform(src, n)) return;  // writes what is there
        if (storedPages_ >= limitPages_) {
            droppedBytes_ += n;
            return;
        }
        std::uint64_t slot = nextSlot_;
        if (!freeSlots_.empty()) {
            slot = freeSlots_.back();
            freeSlots_.pop_back();
        } else {
            ++nextSlot_;
        }
        // The page enters the store whole: its old fill around the new bytes.
        const std::uint64_t base = slot * kPageSize;
        bool ok;
        if (n == kPageSize) {
            ok = store_.Write(base, src, n);
        } else {
            std::unique_ptr<std::uint8_t[]> whole(new std::uint8_t[kPageSize]);
            std::memset(whole.get(), fill, kPageSize);
            std::memcpy(whole.get() + offset, src, n);
            ok = store_.Write(base, whole.get(), kPageSize);
        }
        if (!ok) {
            freeSlots_.push_back(slot);
            droppedBytes_ += n;
            return;
        }
        pages_[page].slot = slot;
        ++storedPages_;
        return;
    }
    if (!store_.Write(it->second.slot * kPageSize + offset, src, n)) droppedBytes_ += n;
}

void SparseMemory::AddressPattern(std::uint64_t address, std::span<std::uint8_t> out) {
    std::size_t i = 0;
    // Bytes up to the next word boundary, then whole words, then the tail.
    for (; i < out.size() && (address + i) % 8 != 0; ++i)
        out[i] = static_cast<std::uint8_t>(((address + i) & ~7ull) >> (8 * ((address + i) % 8)));
    for (; i + 8 <= out.size(); i += 8) {
        const std::uint64_t word = address + i;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(out.data() + i, &word, 8);
        } else {
            for (int b = 0; b < 8; ++b) out[i + b] = static_cast<std::uint8_t>(word >> (8 * b));
        }
    }
    for (; i < out.size(); ++i)
        out[i] = static_cast<std::uint8_t>(((address + i) & ~7ull) >> (8 * ((address + i) % 8)));
}

void SparseMemory::Write(std::uint64_t address, std::span<const std::uint8_t> bytes) {
    if (discard_) {
        droppedBytes_ += bytes.size();
        return;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::uint64_t a = address + done;
        const std::uint64_t page = a / kPageSize;
        const std::size_t offset = static_cast<std::size_t>(a % kPageSize);
        const std::size_t n = std::min(kPageSize - offset, bytes.size() - done);
        WriteInPage(page, offset, bytes.data() + done, n);
        done += n;
    }
}

void SparseMemory::Read(std::uint64_t address, std::span<std::uint8_t> out) const {
    if (discard_) {
        AddressPattern(address, out);
        return;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        const std::uint64_t a = address + done;
        const std::uint64_t page = a / kPageSize;
        const std::size_t offset = static_cast<std::size_t>(a % kPageSize);
        std::size_t n = std::min(kPageSize - offset, out.size() - done);
        auto it = pages_.find(page);
        if (it == pages_.end()) {
            std::memset(out.data() + done, 0, n);
        } else if (it->second.slot == kNoSlot) {
            std::memset(out.data() + done, it->second.fill, n);
        } else {
            // Pages stored one after the other are read in one go.
            const std::uint64_t slot = it->second.slot;
            std::uint64_t next = page + 1;
            while (done + n < out.size()) {
                auto more = pages_.find(next);
                if (more == pages_.end() || more->second.slot != slot + (next - page)) break;
                n += std::min(kPageSize, out.size() - done - n);
                ++next;
            }
            if (!store_.Read(slot * kPageSize + offset, out.data() + done, n))
                std::memset(out.data() + done, 0, n);
        }
        done += n;
    }
}

void SparseMemory::Clear() {
    pages_.clear();
    freeSlots_.clear();
    // Slots are reused from the start; the old bytes are overwritten before
    // any page reads them.
    nextSlot_ = 0;
    storedPages_ = 0;
    droppedBytes_ = 0;
}

}  // namespace quillon::sim
