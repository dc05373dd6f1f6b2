#pragma once
// The GPIF II master bridge and the capture block of the user design, in the
// block-register space. Each of their registers is one 32-bit value at one
// block-register address, moved by a 4-byte transfer (least significant byte
// first); transfers of other lengths reach the plain block registers.
//
//   1FFFFF  REG_BASE_ADRS   bridge register window base (read/write)
//   1FFFFE  MEM_BASE_ADRS   bridge memory window base (read/write)
//   12000   CAP_CTRL        write 1: start a capture; read: bit 0 busy,
//                           bit 1 done, bits 31..16 captures started
//   12001   DMA_START_ADRS  where the capture's DMA writes (read/write)
//   12002   CAP_SIZE        bytes per capture, default 1000h (read/write,
//                           4 to 16 MiB, whole words)
//   12003   DMA_END_ADRS    where the last capture ended
//   12004   CAP_COUNT       captures completed
//   12005   DMA_OFFSET      DMA_START_ADRS - MEM_BASE_ADRS as latched by the
//                           last start: the byte address in memory 0
//   12006   LAST_WORD       the last word captured
//   12007   CAP_ID          47324D01h
//
// A capture runs for kCaptureTime after its start; then CAP_SIZE bytes of
// counting words (capture number << 24 | word index) land in memory 0 at the
// latched offset, through the bridge's memory window, and the done bit is set.

#include <chrono>
#include <cstdint>

#include "sim/fpga_design.h"

namespace quillon::sim {

class Gpif2Master {
  public:
    static constexpr std::uint32_t kRegBaseAdrs = 0x1FFFFF;
    static constexpr std::uint32_t kMemBaseAdrs = 0x1FFFFE;
    static constexpr std::uint32_t kCapFirst = 0x12000;
    static constexpr std::uint32_t kCapLast = 0x12007;
    static constexpr std::uint32_t kCapId = 0x47324D01;
    static constexpr std::uint32_t kDefaultCapSize = 0x1000;
    static constexpr std::chrono::milliseconds kCaptureTime{20};

    explicit Gpif2Master(DesignContext& context) : context_(context) {}

    // Whether a 4-byte transfer at `address` is one of these registers.
    static bool Decodes(std::uint32_t address);
    std::uint32_t Read(std::uint32_t address);
    void Write(std::uint32_t address, std::uint32_t value);

  private:
    void Advance();  // completes a capture whose time has come

    DesignContext& context_;
    std::uint32_t regBase_ = 0, memBase_ = 0;
    std::uint32_t dmaStart_ = 0, capSize_ = kDefaultCapSize;
    std::uint32_t dmaEnd_ = 0, dmaOffset_ = 0, lastWord_ = 0;
    std::uint32_t started_ = 0, completed_ = 0;
    bool busy_ = false, done_ = false;
    std::uint32_t runSize_ = 0;  // CAP_SIZE latched by the start
    std::chrono::steady_clock::duration due_{};
};

}  // namespace quillon::sim
