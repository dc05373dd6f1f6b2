#include "sim/spi_core.h"

namespace quillon::sim {

bool SpiCore::Read(std::uint16_t address, std::uint64_t& value, FlashClock::time_point) {
    if (!Engaged() || address < base_ || address > base_ + 5) return false;
    switch (address - base_) {
        case 0:
            value = rx_;
            rxReady_ = false;
            return true;
        case 2:
            value = kTrdy | (shifting_ ? 0 : kTmt) | (rxReady_ ? kRrdy : 0);
            shifting_ = false;
            return true;
        default:
            return false;
    }
}

void SpiCore::Write(std::uint16_t address, std::uint64_t value, FlashClock::time_point now) {
    if (address < base_ || address > base_ + 5) return;
    switch (address - base_) {
        case 1:
            if (!Engaged()) return;
            {
                const auto mosi = static_cast<std::uint8_t>(value);
                // Both chips selected drive the line together: it reads low
                // wherever either drives low.
                std::uint8_t miso = 0xFF;
                if (selected_ & 1) miso &= ufm_.Transfer(mosi, now);
                if (selected_ & 2) miso &= flash_.Transfer(mosi, now);
                rx_ = miso;
                shifting_ = true;
                rxReady_ = true;
            }
            return;
        case 3:
            control_ = value;
            Drive(Engaged() ? slaveSelect_ : 0, now);
            return;
        case 5:
            slaveSelect_ = static_cast<std::uint8_t>(value & 3);
            if (Engaged()) Drive(slaveSelect_, now);
            return;
        default:
            return;
    }
}

void SpiCore::Drive(std::uint8_t select, FlashClock::time_point now) {
    const std::uint8_t rising = selected_ & ~select;
    const std::uint8_t falling = select & ~selected_;
    if (rising & 1) ufm_.Deselect(now);
    if (rising & 2) flash_.Deselect(now);
    if (falling & 1) ufm_.Select(now);
    if (falling & 2) flash_.Select(now);
    selected_ = select;
}

}  // namespace quillon::sim
