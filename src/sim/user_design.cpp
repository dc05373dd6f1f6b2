#include <algorithm>
#include <cstring>

#include "sim/fpga_design.h"
#include "sim/gpif2_master.h"
#include "sim/spi_core.h"

namespace quillon::sim {

namespace {

constexpr std::uint32_t kBlockPage = 512;

std::uint64_t ByteMask(int bytes) {
    return bytes >= 8 ? ~0ull : (1ull << (8 * bytes)) - 1;
}

}  // namespace

UserDesign::UserDesign(DesignContext& context)
    : context_(context),
      regs_(new std::uint64_t[kRegisters]()),
      g2m_(std::make_unique<Gpif2Master>(context)) {
    BoardFlash& flash = context.Flash();
    if (const auto base = flash.profile().spiCoreBase)
        spi_ = std::make_unique<SpiCore>(*base, flash.ufm(), flash.m25p128());
}

UserDesign::~UserDesign() = default;

std::uint64_t UserDesign::RegRead(std::uint16_t address, int bytes) {
    std::uint64_t v = 0;
    if (spi_ && spi_->Read(address % kRegisters, v, FlashClock::now())) return v & ByteMask(bytes);
    return regs_[address % kRegisters] & ByteMask(bytes);
}

void UserDesign::RegWrite(std::uint16_t address, int bytes, std::uint64_t value) {
    // The bus writes only the byte lanes of the access.
    const std::uint64_t mask = ByteMask(bytes);
    std::uint64_t& r = regs_[address % kRegisters];
    r = (r & ~mask) | (value & mask);
    if (spi_) spi_->Write(address % kRegisters, r, FlashClock::now());
}

void UserDesign::RegexRead(std::uint16_t address, std::span<std::uint8_t> out) {
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = regex_[(address + i) % kRegexBytes];
}

void UserDesign::RegexWrite(std::uint16_t address, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) regex_[(address + i) % kRegexBytes] = bytes[i];
}

void UserDesign::BlockRead(std::uint32_t address, std::span<std::uint8_t> out) {
    if (out.size() == 4 && Gpif2Master::Decodes(address)) {
        const std::uint32_t v = g2m_->Read(address);
        for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
        return;
    }
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = PeekBlock(address + i);
}

void UserDesign::BlockWrite(std::uint32_t address, std::span<const std::uint8_t> bytes) {
    if (bytes.size() == 4 && Gpif2Master::Decodes(address)) {
        g2m_->Write(address, std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                 std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24);
        return;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint32_t a = (address + i) % kBlockSpace;
        auto& page = block_[a / kBlockPage];
        if (!page) page.reset(new std::uint8_t[kBlockPage]());
        page[a % kBlockPage] = bytes[i];
    }
}

void UserDesign::MemBegin(const sim::MemBegin& begin) {
    // The memory path latches its start address and target at the begin
    // command; later register writes do not move a transfer in progress.
    memOpen_ = true;
    memDirection_ = begin.direction;
    memCursor_ = regs_[0] & 0xFFFFFFFFull;
    memTarget_ = static_cast<std::uint8_t>(regs_[1] & 0xFF);
}

std::uint32_t UserDesign::MemWrite(std::span<const std::uint8_t> bytes) {
    if (!memOpen_ || memDirection_ != MemDirection::Write) return 0;
    context_.Memory(memTarget_).Write(memCursor_, bytes);
    memCursor_ += bytes.size();
    return static_cast<std::uint32_t>(bytes.size());
}

std::uint32_t UserDesign::MemRead(std::span<std::uint8_t> out) {
    if (!memOpen_ || memDirection_ != MemDirection::Read) return 0;
    context_.Memory(memTarget_).Read(memCursor_, out);
    memCursor_ += out.size();
    return static_cast<std::uint32_t>(out.size());
}

void UserDesign::MemEnd(MemDirection) {
    memOpen_ = false;
}

std::uint64_t UserDesign::PeekRegister(std::uint16_t address) const {
    return regs_[address % kRegisters];
}

std::uint8_t UserDesign::PeekRegex(std::uint16_t address) const {
    return regex_[address % kRegexBytes];
}

std::uint8_t UserDesign::PeekBlock(std::uint32_t address) const {
    const std::uint32_t a = address % kBlockSpace;
    auto it = block_.find(a / kBlockPage);
    return it == block_.end() ? 0 : it->second[a % kBlockPage];
}

}  // namespace quillon::sim
