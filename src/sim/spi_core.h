#pragma once
// The SPI master core of the user design (the register layout of Altera's SPI
// core), at six registers from a base register B: B+0 receive data, B+1
// transmit data, B+2 status, B+3 control, B+5 slave select (bit 0 the UFM,
// bit 1 the M25P128).
//
// The core answers while its control register holds the "keep slave select"
// bit (400h), that is for the length of a host's transaction; otherwise the
// six registers are plain registers of the design like all the others, so a
// design without SPI traffic reads back what was written there.
//
// A byte goes out the moment it is written; the status register shows the
// shift register busy (bit 5 clear) on the first read after each byte, so the
// host's wait for "shift register empty" runs at least once.

#include <cstdint>

#include "sim/spi_memories.h"

namespace quillon::sim {

class SpiCore {
  public:
    static constexpr std::uint64_t kKeepSelect = 0x400;
    static constexpr std::uint8_t kTrdy = 0x40, kTmt = 0x20, kRrdy = 0x80;

    SpiCore(std::uint16_t base, SpiDevice& ufm, SpiDevice& flash)
        : base_(base), ufm_(ufm), flash_(flash) {}

    // A read the core answers (engaged and one of its registers); false lets
    // the design's register file answer.
    bool Read(std::uint16_t address, std::uint64_t& value, FlashClock::time_point now);
    // Every write to the core's registers, whether engaged or not.
    void Write(std::uint16_t address, std::uint64_t value, FlashClock::time_point now);

  private:
    bool Engaged() const { return (control_ & kKeepSelect) != 0; }
    // Chip selects follow the slave-select register while engaged.
    void Drive(std::uint8_t select, FlashClock::time_point now);

    std::uint16_t base_;
    SpiDevice& ufm_;
    SpiDevice& flash_;
    std::uint64_t control_ = 0;
    std::uint8_t slaveSelect_ = 0;
    std::uint8_t selected_ = 0;  // the chip selects asserted now
    std::uint8_t rx_ = 0;
    bool shifting_ = false;
    bool rxReady_ = false;
};

}  // namespace quillon::sim
