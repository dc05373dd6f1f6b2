#include "sim/bridge_designs.h"

#include <algorithm>

namespace quillon::sim {

bool StreamNamesDesign(std::span<const std::uint8_t> stream, std::string_view design) {
    const std::size_t n = kDesignMagic.size() + design.size();
    if (stream.size() <= n) return false;
    const std::string_view head(reinterpret_cast<const char*>(stream.data()), n);
    const char after = static_cast<char>(stream[n]);
    return head.substr(0, kDesignMagic.size()) == kDesignMagic &&
           head.substr(kDesignMagic.size()) == design &&
           (after == ' ' || after == '\n' || after == '\r');
}

void BridgeDesignBase::RegexRead(std::uint16_t, std::span<std::uint8_t> out) {
    std::fill(out.begin(), out.end(), 0);
}

void BridgeDesignBase::BlockRead(std::uint32_t, std::span<std::uint8_t> out) {
    std::fill(out.begin(), out.end(), 0);
}

std::uint64_t BridgeDesignBase::PeekRegister(std::uint16_t address) const {
    return Plain(address);
}

std::uint64_t BridgeDesignBase::Plain(std::uint16_t address) const {
    auto it = regs_.find(address);
    return it == regs_.end() ? 0 : it->second;
}

void BridgeDesignBase::StorePlain(std::uint16_t address, int bytes, std::uint64_t value) {
    const std::uint64_t mask = bytes >= 8 ? ~0ull : (1ull << (8 * bytes)) - 1;
    std::uint64_t& r = regs_[address];
    r = (r & ~mask) | (value & mask);
}

}  // namespace quillon::sim
