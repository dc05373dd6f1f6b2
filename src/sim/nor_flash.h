#pragma once
// A 16-bit parallel NOR flash with the AMD command set and a CFI query, as it
// sits on the FPGA's pins. Addresses are word addresses; command cycles look
// at the low address bits and the low data byte, the way an x16 part decodes
// them: F0 reset, 98 at 55 the CFI query, AA/55 unlock then A0 word program,
// 80 AA 55 30 block erase, 80 AA 55 10 chip erase, 90 identification.
//
// Programming clears bits only; erasing a block sets it to FFFF. While a
// program or erase runs the chip is busy and ignores everything but reset. A
// block listed in the profile fails: erasing it never ends (the chip stays
// busy with its time-out flag DQ5 up until a reset), programming into it
// stops with DQ5 up, also until a reset.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/flash_array.h"
#include "sim/flash_profile.h"

namespace quillon::sim {

class NorFlash {
  public:
    using Clock = std::chrono::steady_clock;
    // CFI typical times of the part, in the exponents the query reports: the
    // chip takes these times (scaled by the profile's time scale).
    static constexpr int kWordProgramTypLog2Us = 4;   // 16 us
    static constexpr int kWordProgramMaxLog2 = 4;     // max = 16 x typical
    static constexpr int kBlockEraseTypLog2Ms = 9;    // 512 ms
    static constexpr int kBlockEraseMaxLog2 = 2;      // 4 x typical
    static constexpr int kChipEraseTypLog2Ms = 16;
    static constexpr int kChipEraseMaxLog2 = 2;
    static constexpr std::uint8_t kPageModeByte = 2;  // 8-word page read
    // Manufacturer and device code of the identification mode.
    static constexpr std::uint16_t kManufacturer = 0x0001, kDevice = 0x227E;
    // The 64-bit unique code in query words 61h-64h (64h holds the top bits).
    static constexpr std::uint64_t kUniqueCode = 0x5155494C4C4F4E37ull;

    explicit NorFlash(const FlashProfile& profile);

    std::uint64_t sizeBytes() const { return cells_.size(); }
    std::uint32_t words() const { return static_cast<std::uint32_t>(cells_.size() / 2); }
    const std::vector<NorRegion>& regions() const { return regions_; }

    // One bus write cycle, taking effect at `at`.
    void BusWrite(std::uint32_t wordAddress, std::uint16_t data, Clock::time_point at);
    // One bus read: array data, the query table or the identification codes.
    std::uint16_t BusRead(std::uint32_t wordAddress) const;
    // Bus reads from `wordAddress` on, low byte first, filling `out`; returns
    // the address after the last word read.
    std::uint32_t ReadSequential(std::uint32_t wordAddress, std::span<std::uint8_t> out) const;
    bool Busy(Clock::time_point now) const { return stuck_ || now < busyUntil_; }
    // DQ5: the last program or erase failed.
    bool Failed() const { return stuck_; }
    // When the running program or erase ends (meaningless while stuck).
    Clock::time_point BusyUntil() const { return busyUntil_; }
    void PowerUp();

    FlashArray& cells() { return cells_; }
    const FlashArray& cells() const { return cells_; }
    // The query table, one word per CFI address.
    const std::vector<std::uint16_t>& QueryTable() const { return query_; }

  private:
    enum class Mode { Array, Query, Identify };
    enum class Step { Idle, Unlocked1, Unlocked2, Program, EraseSetup, Erase1, Erase2 };

    // The block holding byte address `a`: start and length in bytes.
    std::pair<std::uint64_t, std::uint64_t> BlockOf(std::uint64_t a) const;
    bool FailsAt(const std::optional<std::uint32_t>& failAt, std::uint64_t blockStart,
                 std::uint64_t blockLength) const;
    void BusyFor(Clock::time_point at, double seconds);

    std::vector<NorRegion> regions_;
    double timeScale_;
    std::optional<std::uint32_t> eraseFailAt_, programFailAt_;
    FlashArray cells_;
    std::vector<std::uint16_t> query_;
    Mode mode_ = Mode::Array;
    Step step_ = Step::Idle;
    Clock::time_point busyUntil_{};
    bool stuck_ = false;
};

// The query table of a part with these regions, one word per CFI address:
// "QRY", AMD command set, the timing exponents above, device size, the region
// records, the primary extended table "PRI" (at 40h for up to four regions,
// with the page-mode byte at 4Ch) and the unique code at 61h-64h.
std::vector<std::uint16_t> NorQueryTable(const std::vector<NorRegion>& regions);

}  // namespace quillon::sim
