#pragma once
// FPGA designs of the simulated board. The firmware model hands every register
// access and every framed bulk transfer to the design that is loaded; a design
// is chosen when a configuration stream ends, by the stream's content.
//
// The memory chips on the board belong to the board, not to the design: they
// keep their contents when the FPGA is reconfigured, so a bridge design can
// read what the user design's memory path wrote (and the other way round).

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>

#include "sim/board_flash.h"
#include "sim/sparse_memory.h"

namespace quillon::sim {
class Gpif2Master;
}

namespace quillon::sim {

// What the board offers a design.
class DesignContext {
  public:
    virtual ~DesignContext() = default;
    // Memory number `target` (register 1 of the user design picks it).
    virtual SparseMemory& Memory(std::uint8_t target) = 0;
    // Time since the board powered up; designs that run on their own (soft
    // CPUs) advance by it, so a poll loop sees progress without threads.
    virtual std::chrono::steady_clock::duration Uptime() const = 0;
    // The flash memories on the board (non-volatile, kept across designs).
    virtual BoardFlash& Flash() = 0;
};

enum class MemDirection { Write, Read };

// The memory command that opened a bulk transfer.
struct MemBegin {
    MemDirection direction = MemDirection::Write;
    bool lengthFraming = false;  // VR_MEM_CMDLEN (units valid) or VR_MEM_CMD (width valid)
    std::uint8_t widthCode = 0;
    std::uint32_t units = 0;  // length in 4-byte units
};

class FpgaDesign {
  public:
    virtual ~FpgaDesign() = default;
    virtual std::string Name() const = 0;

    // Ordinary registers: `bytes` is 1, 2, 4 or 8; narrow accesses touch only
    // the low bytes.
    virtual std::uint64_t RegRead(std::uint16_t address, int bytes) = 0;
    virtual void RegWrite(std::uint16_t address, int bytes, std::uint64_t value) = 0;
    // Extended registers (1024 bytes, addresses wrap).
    virtual void RegexRead(std::uint16_t address, std::span<std::uint8_t> out) = 0;
    virtual void RegexWrite(std::uint16_t address, std::span<const std::uint8_t> bytes) = 0;
    // Block registers (21-bit addresses, addresses wrap).
    virtual void BlockRead(std::uint32_t address, std::span<std::uint8_t> out) = 0;
    virtual void BlockWrite(std::uint32_t address, std::span<const std::uint8_t> bytes) = 0;

    // The memory path behind the bulk pipes. Begin opens a transfer (a new
    // begin restarts it), the bulk calls move bytes and return how many the
    // design took or gave (fewer ends the transfer short), End closes it.
    virtual void MemBegin(const sim::MemBegin& begin) = 0;
    virtual std::uint32_t MemWrite(std::span<const std::uint8_t> bytes) = 0;
    virtual std::uint32_t MemRead(std::span<std::uint8_t> out) = 0;
    virtual void MemEnd(MemDirection direction) = 0;

    // The design stops for good (the FPGA is reconfigured or loses power):
    // work it does on its own ends where it has got to by now.
    virtual void Halt() {}

    // Inspection without side effects (tests).
    virtual std::uint64_t PeekRegister(std::uint16_t address) const = 0;
    virtual std::uint8_t PeekRegex(std::uint16_t address) const = 0;
    virtual std::uint8_t PeekBlock(std::uint32_t address) const = 0;
};

class SpiCore;

// The user's design, loaded at power-up and by any stream no other design
// claims: 16384 registers of 64 bits, 1024 extended byte registers, a sparse
// 21-bit block-register space with a GPIF II master bridge and capture block
// in it, a memory path that starts at the byte address in register 0 of the
// memory numbered by register 1, and (unless the profile leaves it out) an SPI
// core to the board's UFM and M25P128 (sim/spi_core.h).
class UserDesign : public FpgaDesign {
  public:
    static constexpr int kRegisters = 16384;
    static constexpr int kRegexBytes = 1024;
    static constexpr std::uint32_t kBlockSpace = 1u << 21;

    explicit UserDesign(DesignContext& context);
    ~UserDesign() override;

    std::string Name() const override { return "user"; }
    std::uint64_t RegRead(std::uint16_t address, int bytes) override;
    void RegWrite(std::uint16_t address, int bytes, std::uint64_t value) override;
    void RegexRead(std::uint16_t address, std::span<std::uint8_t> out) override;
    void RegexWrite(std::uint16_t address, std::span<const std::uint8_t> bytes) override;
    void BlockRead(std::uint32_t address, std::span<std::uint8_t> out) override;
    void BlockWrite(std::uint32_t address, std::span<const std::uint8_t> bytes) override;
    void MemBegin(const sim::MemBegin& begin) override;
    std::uint32_t MemWrite(std::span<const std::uint8_t> bytes) override;
    std::uint32_t MemRead(std::span<std::uint8_t> out) override;
    void MemEnd(MemDirection direction) override;
    std::uint64_t PeekRegister(std::uint16_t address) const override;
    std::uint8_t PeekRegex(std::uint16_t address) const override;
    std::uint8_t PeekBlock(std::uint32_t address) const override;

  protected:
    DesignContext& context_;

  private:
    std::unique_ptr<std::uint64_t[]> regs_;
    std::unique_ptr<SpiCore> spi_;
    // The GPIF II master bridge and capture block (gpif2_master.h).
    std::unique_ptr<Gpif2Master> g2m_;
    std::uint8_t regex_[kRegexBytes] = {};
    // Block registers in 512-byte pages.
    std::unordered_map<std::uint32_t, std::unique_ptr<std::uint8_t[]>> block_;
    bool memOpen_ = false;
    MemDirection memDirection_ = MemDirection::Write;
    std::uint8_t memTarget_ = 0;
    std::uint64_t memCursor_ = 0;
};

// Recognises a design in a configuration stream (the whole stream, or its
// first SimBoard::kStreamKeep bytes when longer).
using DesignMatcher = std::function<bool(std::span<const std::uint8_t> stream)>;
using DesignFactory = std::function<std::unique_ptr<FpgaDesign>(DesignContext& context)>;

}  // namespace quillon::sim
