#include "sim/sparse_memory.h"

#include <algorithm>
#include <cstring>

namespace quillon::sim {

namespace {

// All bytes equal: compare the run with itself shifted by one.
bool Uniform(const std::uint8_t* p, std::size_t n) {
    return n == 0 || std::memcmp(p, p + 1, n - 1) == 0;
}

}  // namespace

void SparseMemory::WriteInPage(std::uint64_t page, std::size_t offset, const std::uint8_t* src,
                               std::size_t n) {
    auto it = pages_.find(page);
    if (offset == 0 && n == kPageSize && Uniform(src, n)) {
        // A whole page of one byte value needs no storage of its own.
        if (it == pages_.end()) {
            if (src[0] != 0) pages_[page].fill = src[0];
            return;
        }
        if (it->second.bytes) {
            it->second.bytes.reset();
            --storedPages_;
        }
        it->second.fill = src[0];
        return;
    }
    if (it == pages_.end() || !it->second.bytes) {
        const std::uint8_t fill = it == pages_.end() ? 0 : it->second.fill;
        if (fill == (n ? src[0] : fill) && Uniform(src, n)) return;  // writes what is there
        if (storedPages_ >= limitPages_) {
            droppedBytes_ += n;
            return;
        }
        Page& p = pages_[page];
        p.bytes.reset(new std::uint8_t[kPageSize]);
        // A page written whole needs no fill first.
        if (n != kPageSize) std::memset(p.bytes.get(), fill, kPageSize);
        ++storedPages_;
        it = pages_.find(page);
    }
    std::memcpy(it->second.bytes.get() + offset, src, n);
}

void SparseMemory::Write(std::uint64_t address, std::span<const std::uint8_t> bytes) {
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
    std::size_t done = 0;
    while (done < out.size()) {
        const std::uint64_t a = address + done;
        const std::uint64_t page = a / kPageSize;
        const std::size_t offset = static_cast<std::size_t>(a % kPageSize);
        const std::size_t n = std::min(kPageSize - offset, out.size() - done);
        auto it = pages_.find(page);
        if (it == pages_.end()) {
            std::memset(out.data() + done, 0, n);
        } else if (!it->second.bytes) {
            std::memset(out.data() + done, it->second.fill, n);
        } else {
            std::memcpy(out.data() + done, it->second.bytes.get() + offset, n);
        }
        done += n;
    }
}

void SparseMemory::Clear() {
    pages_.clear();
    storedPages_ = 0;
    droppedBytes_ = 0;
}

}  // namespace quillon::sim
