#include "features/memory/file_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace quillon::features {

void MemScramble(std::span<std::uint8_t> data) {
    std::uint8_t* p = data.data();
    std::size_t n = data.size();
    // Eight bytes at a time; the lengths used are multiples of 512.
    constexpr std::uint64_t kMask = 0xAAAAAAAAAAAAAAAAull;
    for (; n >= 8; n -= 8, p += 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        w ^= kMask;
        std::memcpy(p, &w, 8);
    }
    for (; n > 0; --n, ++p) *p ^= 0xAA;
}

bool FileFeed::operator()(std::span<std::uint8_t> piece) {
    std::size_t got = 0;
    if (!ended_ && file_.isOpen()) {
        IoClock::Lap lap(clock_);
        const std::optional<std::size_t> n = file_.Read(piece.data(), piece.size());
        if (!n) return false;
        got = *n;
        if (got < piece.size()) ended_ = true;
    }
    std::memset(piece.data() + got, 0, piece.size() - got);
    if (scramble_) MemScramble(piece);
    if (meter_) meter_->Add(piece.size());
    return true;
}

bool FileDrain::operator()(std::span<const std::uint8_t> piece) {
    if (meter_) meter_->Add(piece.size());
    if (writeFailed_ || !file_.isOpen()) return true;
    const std::uint8_t* bytes = piece.data();
    if (scramble_) {
        if (scrambledSize_ < piece.size()) {
            scrambled_.reset(new (std::nothrow) std::uint8_t[piece.size()]);
            scrambledSize_ = scrambled_ ? piece.size() : 0;
        }
        if (!scrambled_) {
            writeFailed_ = true;
            return true;
        }
        std::memcpy(scrambled_.get(), piece.data(), piece.size());
        MemScramble({scrambled_.get(), piece.size()});
        bytes = scrambled_.get();
    }
    IoClock::Lap lap(clock_);
    if (!file_.Write(bytes, piece.size())) {
        writeFailed_ = true;
        return true;
    }
    written_ += piece.size();
    return true;
}

}  // namespace quillon::features
