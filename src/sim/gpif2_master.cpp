#include "sim/gpif2_master.h"

#include <algorithm>
#include <vector>

namespace quillon::sim {

namespace {

constexpr std::uint32_t kCapCtrl = 0x12000;
constexpr std::uint32_t kDmaStart = 0x12001;
constexpr std::uint32_t kCapSize = 0x12002;
constexpr std::uint32_t kDmaEnd = 0x12003;
constexpr std::uint32_t kCapCount = 0x12004;
constexpr std::uint32_t kDmaOffset = 0x12005;
constexpr std::uint32_t kLastWord = 0x12006;
constexpr std::uint32_t kMaxCapSize = 16u << 20;

}  // namespace

bool Gpif2Master::Decodes(std::uint32_t address) {
    return address == kRegBaseAdrs || address == kMemBaseAdrs ||
           (address >= kCapFirst && address <= kCapLast);
}

void Gpif2Master::Advance() {
    if (!busy_ || context_.Uptime() < due_) return;
    // The DMA writes the captured words through the memory window.
    std::vector<std::uint8_t> bytes(runSize_);
    const std::uint32_t tag = (completed_ + 1) << 24;
    for (std::uint32_t i = 0; i < runSize_ / 4; ++i) {
        const std::uint32_t word = tag | (i & 0xFFFFFF);
        for (int b = 0; b < 4; ++b) bytes[4 * i + b] = static_cast<std::uint8_t>(word >> (8 * b));
        lastWord_ = word;
    }
    context_.Memory(0).Write(dmaOffset_, bytes);
    dmaEnd_ = dmaStart_ + runSize_;
    ++completed_;
    busy_ = false;
    done_ = true;
}

std::uint32_t Gpif2Master::Read(std::uint32_t address) {
    Advance();
    switch (address) {
        case kRegBaseAdrs:
            return regBase_;
        case kMemBaseAdrs:
            return memBase_;
        case kCapCtrl:
            return (started_ & 0xFFFF) << 16 | (done_ ? 2u : 0u) | (busy_ ? 1u : 0u);
        case kDmaStart:
            return dmaStart_;
        case kCapSize:
            return capSize_;
        case kDmaEnd:
            return dmaEnd_;
        case kCapCount:
            return completed_;
        case kDmaOffset:
            return dmaOffset_;
        case kLastWord:
            return lastWord_;
        default:
            return kCapId;
    }
}

void Gpif2Master::Write(std::uint32_t address, std::uint32_t value) {
    Advance();
    switch (address) {
        case kRegBaseAdrs:
            regBase_ = value;
            break;
        case kMemBaseAdrs:
            memBase_ = value;
            break;
        case kCapCtrl:
            // A start while a capture runs is ignored.
            if ((value & 1) && !busy_) {
                ++started_;
                busy_ = true;
                done_ = false;
                runSize_ = capSize_;
                dmaOffset_ = dmaStart_ - memBase_;
                due_ =
                    context_.Uptime() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(kCaptureTime);
            }
            break;
        case kDmaStart:
            dmaStart_ = value;
            break;
        case kCapSize:
            capSize_ = std::clamp<std::uint32_t>(value & ~3u, 4, kMaxCapSize);
            break;
        default:
            break;  // read-only
    }
}

}  // namespace quillon::sim
