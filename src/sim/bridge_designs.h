#pragma once
// The two flash bridge designs the program loads from its "Flash" folder.
//
// The simulated board knows them by their configuration files, which are
// text: a first line "QUILLON-SIM-DESIGN <design> <device>" (design
// "serbridge" or "norbridge2"), then anything. The program's own Flash
// folder holds such files under the names the program looks for; a real
// board's bridge files are not recognised and load the user design.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sim/fpga_design.h"
#include "sim/sparse_memory.h"

namespace quillon::sim {

inline constexpr std::string_view kDesignMagic = "QUILLON-SIM-DESIGN ";

// True when the stream is a design file naming `design`.
bool StreamNamesDesign(std::span<const std::uint8_t> stream, std::string_view design);

// Registers common to the bridges: whatever is written reads back, except
// where a bridge gives a register a meaning of its own. No extended or block
// registers.
class BridgeDesignBase : public FpgaDesign {
  public:
    void RegexRead(std::uint16_t, std::span<std::uint8_t> out) override;
    void RegexWrite(std::uint16_t, std::span<const std::uint8_t>) override {}
    void BlockRead(std::uint32_t, std::span<std::uint8_t> out) override;
    void BlockWrite(std::uint32_t, std::span<const std::uint8_t>) override {}
    std::uint64_t PeekRegister(std::uint16_t address) const override;
    std::uint8_t PeekRegex(std::uint16_t) const override { return 0; }
    std::uint8_t PeekBlock(std::uint32_t) const override { return 0; }

  protected:
    std::uint64_t Plain(std::uint16_t address) const;
    void StorePlain(std::uint16_t address, int bytes, std::uint64_t value);

  private:
    std::unordered_map<std::uint16_t, std::uint64_t> regs_;
};

// The serial-flash bridge: a soft CPU with a 16 MiB SSRAM at memory-path
// address 0x2000000, programming the board's M25P128.
//   register 0  (write)  memory-path start address
//   register 16 (write)  command: 1 erase (then erase check), 2 SSRAM to
//                        flash (then verify)
//   register 20 (read)   phase: 2 erase done, 4 erase check done, 6 write
//                        done, 7 verify done, EEh hardware error
//   register 8  (read)   progress of the write or verify, 0..FFFFh
// Each phase takes the time its work takes on the real board (scaled by the
// profile's flash_time_scale); the write copies the SSRAM into the flash as
// it goes, so a board that loses power mid-way holds part of the image. The
// erase check and the verify really compare; the profile can make any phase
// fail half-way.
class SerBridgeDesign : public BridgeDesignBase {
  public:
    static constexpr std::uint32_t kSsramBase = 0x2000000;
    static constexpr std::uint32_t kSsramBytes = 16u << 20;
    static constexpr std::uint8_t kHardwareError = 0xEE;
    // Datasheet-scale times of the phases, seconds.
    static constexpr double kEraseCheckS = 3.0;
    static constexpr double kVerifyS = 3.0;

    explicit SerBridgeDesign(DesignContext& context);
    std::string Name() const override { return "serbridge"; }
    std::uint64_t RegRead(std::uint16_t address, int bytes) override;
    void RegWrite(std::uint16_t address, int bytes, std::uint64_t value) override;
    void MemBegin(const sim::MemBegin& begin) override;
    std::uint32_t MemWrite(std::span<const std::uint8_t> bytes) override;
    std::uint32_t MemRead(std::span<std::uint8_t> out) override;
    void MemEnd(MemDirection) override { memOpen_ = false; }
    void Halt() override;

  private:
    enum class Job { Idle, Erase, EraseCheck, Write, Verify };
    using Clock = std::chrono::steady_clock;

    // The part of the next `n` bytes of the memory path inside the SSRAM:
    // its offset in the transfer and in the SSRAM, and its length.
    struct Window {
        std::uint64_t offset = 0, ssram = 0;
        std::size_t length = 0;
    };
    Window MemWindow(std::size_t n);
    void Advance(Clock::time_point now);
    Clock::duration Scaled(double seconds) const;
    void CopyUpTo(std::uint64_t bytes);
    bool FlashMatches(bool blank) const;

    DesignContext& context_;
    SparseMemory ssram_;
    bool memOpen_ = false;
    std::uint64_t cursor_ = 0;
    Job job_ = Job::Idle;
    Clock::time_point jobStart_{};
    std::uint8_t phase_ = 0;
    std::uint16_t progress_ = 0;
    std::uint64_t copied_ = 0;
    bool halted_ = false;
};

// The parallel-flash bridge circuit: the NOR flash's bus behind a few
// registers and a 16 KiB data FIFO on the memory path.
//   register 2 (write, 8 bit)  control: a rising bit 0 makes one bus write
//                              (address register 5, data register 4); a
//                              rising bit 1 starts a sequential read from
//                              register 5 into the memory path; a rising
//                              bit 5 ends it; a rising bit 2 programs
//                              register 6 + 1 words from the FIFO from
//                              register 5 on; bit 7 opens the FIFO to bulk
//                              writes
//   register 3 (read, 8 bit)   status: bit 0 program error, bit 1 program
//                              busy, bit 7 flash ready (no program or erase
//                              running)
//   register 4 (16 bit)        data word of a bus write
//   register 5 (32 bit)        word address
//   register 6 (32 bit)        word count - 1 of a FIFO program
// Programming runs word by word with the flash's own program time; a failed
// word leaves busy and error set until the next program starts.
class NorBridgeDesign : public BridgeDesignBase {
  public:
    static constexpr std::size_t kFifoBytes = 16384;

    explicit NorBridgeDesign(DesignContext& context);
    std::string Name() const override { return "norbridge2"; }
    std::uint64_t RegRead(std::uint16_t address, int bytes) override;
    void RegWrite(std::uint16_t address, int bytes, std::uint64_t value) override;
    void MemBegin(const sim::MemBegin& begin) override;
    std::uint32_t MemWrite(std::span<const std::uint8_t> bytes) override;
    std::uint32_t MemRead(std::span<std::uint8_t> out) override;
    void MemEnd(MemDirection) override { memOpen_ = false; }
    void Halt() override;

  private:
    using Clock = std::chrono::steady_clock;
    void Advance(Clock::time_point now);

    NorFlash& nor_;
    std::uint8_t control_ = 0;
    std::vector<std::uint8_t> fifo_;
    bool memOpen_ = false;
    MemDirection memDirection_ = MemDirection::Write;
    bool reading_ = false;
    std::uint32_t readAddress_ = 0;
    // The program job.
    bool programming_ = false;
    bool programError_ = false;
    std::uint32_t jobAddress_ = 0;
    std::uint32_t jobWords_ = 0;
    std::uint32_t jobNext_ = 0;
    std::vector<std::uint8_t> jobData_;
    Clock::time_point jobTime_{};
};

}  // namespace quillon::sim
