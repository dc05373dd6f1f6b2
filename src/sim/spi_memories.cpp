#include "sim/spi_memories.h"

#include <array>

namespace quillon::sim {

// --- Common part ------------------------------------------------------------------

void SpiFlashBase::Select(FlashClock::time_point) {
    selected_ = true;
    ignoring_ = false;
    bytes_.clear();
    count_ = 0;
}

std::uint8_t SpiFlashBase::Transfer(std::uint8_t mosi, FlashClock::time_point now) {
    if (!selected_) return 0xFF;
    if (count_ == 0 && Busy(now) && mosi != kRdsr) ignoring_ = true;
    if (bytes_.size() < kKeep) bytes_.push_back(mosi);
    ++count_;
    if (ignoring_) return 0xFF;
    if (bytes_[0] == kRdsr) return count_ > 1 ? Status(now) : 0xFF;
    return Shift(now);
}

void SpiFlashBase::Deselect(FlashClock::time_point now) {
    if (!selected_) return;
    selected_ = false;
    if (ignoring_ || bytes_.empty()) return;
    switch (bytes_[0]) {
        case kWren:
            wel_ = true;
            break;
        case kWrdi:
            wel_ = false;
            break;
        case kRdsr:
        case kRead:
            break;
        case kWrsr:
            if (wel_ && count_ >= 2) {
                statusBits_ = bytes_[1] & 0x9C;
                if (WrsrClearsWel()) wel_ = false;
            }
            break;
        default:
            Execute(now);
            break;
    }
}

void SpiFlashBase::PowerUp() {
    selected_ = false;
    ignoring_ = false;
    wel_ = false;
    bytes_.clear();
    count_ = 0;
    busyUntil_ = {};
}

std::uint8_t SpiFlashBase::Status(FlashClock::time_point now) const {
    return static_cast<std::uint8_t>((Busy(now) ? kWip : 0) | (wel_ ? kWel : 0) | statusBits_);
}

void SpiFlashBase::BusyFor(FlashClock::time_point now, double datasheetSeconds) {
    busyUntil_ = now + std::chrono::duration_cast<FlashClock::duration>(
                           std::chrono::duration<double>(datasheetSeconds * timeScale_));
}

// --- M25P128 ----------------------------------------------------------------------

std::uint8_t M25p128::Shift(FlashClock::time_point) {
    const std::uint32_t index = count_ - 1;
    switch (bytes_[0]) {
        case kRead:
            return index >= 4 ? cells_.ReadByte(Address() + (index - 4)) : 0xFF;
        case kReadId: {
            static constexpr std::array<std::uint8_t, 3> kId = {0x20, 0x20, 0x18};
            return index >= 1 && index <= 3 ? kId[index - 1] : 0x00;
        }
        default:
            return 0xFF;
    }
}

void M25p128::Execute(FlashClock::time_point now) {
    switch (bytes_[0]) {
        case kProgram: {
            if (!wel_ || count_ < 5) return;
            // Data past the end of the page wraps to its start; of more than
            // 256 bytes only the last 256 stay.
            const std::uint32_t page = Address() & ~(kPage - 1);
            const std::uint32_t offset = Address() & (kPage - 1);
            std::array<std::uint8_t, kPage> buffer;
            buffer.fill(0xFF);
            for (std::size_t k = 4; k < bytes_.size(); ++k)
                buffer[(offset + (k - 4)) % kPage] = bytes_[k];
            cells_.Program(page, buffer);
            BusyFor(now, kPageProgramS);
            wel_ = false;
            return;
        }
        case kSectorErase:
            // Taken only when the chip select rises right after the address.
            if (!wel_ || count_ != 4) return;
            cells_.Erase(Address() & ~(kSector - 1), kSector);
            BusyFor(now, kSectorEraseS);
            wel_ = false;
            return;
        case kBulkErase:
            if (!wel_ || count_ != 1) return;
            cells_.Erase(0, kBytes);
            BusyFor(now, kBulkEraseS);
            wel_ = false;
            return;
        default:
            return;
    }
}

// --- UFM --------------------------------------------------------------------------

std::uint16_t Ufm::Word(std::uint32_t address) const {
    const std::uint32_t a = (address % kWords) * 2;
    return static_cast<std::uint16_t>(cells_.ReadByte(a) << 8 | cells_.ReadByte(a + 1));
}

std::uint8_t Ufm::Shift(FlashClock::time_point) {
    const std::uint32_t index = count_ - 1;
    if (bytes_[0] != kRead || index < 3) return 0xFF;
    const std::uint16_t w = Word(Address() + (index - 3) / 2);
    return static_cast<std::uint8_t>((index - 3) % 2 == 0 ? w >> 8 : w & 0xFF);
}

void Ufm::Execute(FlashClock::time_point now) {
    switch (bytes_[0]) {
        case kProgram: {
            if (!wel_ || count_ < 5) return;
            // Whole words after the address, at consecutive addresses.
            for (std::size_t k = 3; k + 1 < bytes_.size(); k += 2) {
                const std::uint32_t a = ((Address() + (k - 3) / 2) % kWords) * 2;
                const std::uint8_t word[2] = {bytes_[k], bytes_[k + 1]};
                cells_.Program(a, word);
            }
            wel_ = false;
            return;
        }
        case kSectorErase:
            if (!wel_ || count_ < 3) return;
            cells_.Erase((Address() & kSectorWords) * 2, kSectorWords * 2);
            BusyFor(now, kSectorEraseS);
            wel_ = false;
            return;
        case kChipErase:
            if (!wel_) return;
            cells_.Erase(0, kWords * 2);
            BusyFor(now, 2 * kSectorEraseS);
            wel_ = false;
            return;
        default:
            return;
    }
}

}  // namespace quillon::sim
