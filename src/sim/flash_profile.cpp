#include "sim/flash_profile.h"

#include "sim/sim_profile.h"

#include <cstdlib>

namespace quillon::sim {

namespace {

// A block size: bytes, or with K / M.
std::optional<std::uint64_t> Size(std::string_view text) {
    std::uint64_t unit = 1;
    if (!text.empty() && (text.back() == 'K' || text.back() == 'k')) unit = 1024;
    if (!text.empty() && (text.back() == 'M' || text.back() == 'm')) unit = 1024 * 1024;
    if (unit != 1) text.remove_suffix(1);
    auto n = ProfileNumber(text, 1u << 30);
    if (!n) return std::nullopt;
    return *n * unit;
}

// The CFI region record holds up to 65536 blocks of up to 65535 * 256 bytes;
// the chip's cells are kept in memory, so it stays at 256 MiB at most.
constexpr std::uint64_t kMaxBlockBytes = 65535u * 256u;
constexpr std::uint64_t kMaxChipBytes = 256ull << 20;
constexpr std::size_t kMaxRegions = 8;

}  // namespace

std::optional<std::vector<NorRegion>> ParseNorRegions(std::string_view text) {
    std::vector<NorRegion> regions;
    std::uint64_t total = 0;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = ProfileTrim(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const auto x = item.find_first_of("xX");
        if (x == std::string_view::npos) return std::nullopt;
        const auto blocks = ProfileNumber(ProfileTrim(item.substr(0, x)), 65536);
        const auto bytes = Size(ProfileTrim(item.substr(x + 1)));
        if (!blocks || *blocks == 0 || !bytes || *bytes == 0 || *bytes % 256 != 0 ||
            *bytes > kMaxBlockBytes)
            return std::nullopt;
        total += *blocks * *bytes;
        if (total > kMaxChipBytes || regions.size() == kMaxRegions) return std::nullopt;
        regions.push_back({static_cast<std::uint32_t>(*blocks), static_cast<std::uint32_t>(*bytes)});
    }
    if (regions.empty()) return std::nullopt;
    return regions;
}

bool ParseFlashKey(std::string_view key, std::string_view value, FlashProfile& flash,
                   std::string& error) {
    const std::string v = ProfileLower(value);
    const auto bad = [&] {
        error = "bad value '" + std::string(value) + "' for " + std::string(key);
        return true;
    };
    const auto address = [&](std::optional<std::uint32_t>& field) {
        if (v == "off") {
            field.reset();
            return true;
        }
        auto n = ProfileNumber(value, 0xFFFFFFFFu);
        if (!n) return bad();
        field = static_cast<std::uint32_t>(*n);
        return true;
    };
    if (key == "flash_time_scale") {
        char* end = nullptr;
        const std::string s(value);
        const double d = std::strtod(s.c_str(), &end);
        if (s.empty() || end != s.c_str() + s.size() || !(d >= 0.0 && d <= 1000.0)) return bad();
        flash.timeScale = d;
        return true;
    }
    if (key == "flash_dir") {
        flash.dir = std::string(value);
        return true;
    }
    if (key == "spi_core_base") {
        if (v == "off") {
            flash.spiCoreBase.reset();
            return true;
        }
        // The core takes six registers from the base on.
        auto n = ProfileNumber(value, 0x3FFF - 5);
        if (!n) return bad();
        flash.spiCoreBase = static_cast<std::uint16_t>(*n);
        return true;
    }
    if (key == "norflash_regions") {
        auto regions = ParseNorRegions(value);
        if (!regions) return bad();
        flash.norRegions = std::move(*regions);
        return true;
    }
    if (key == "norflash_erase_fail_at") return address(flash.norEraseFailAt);
    if (key == "norflash_program_fail_at") return address(flash.norProgramFailAt);
    if (key == "serbridge_fail") {
        if (v == "none" || v == "off")
            flash.serBridgeFault = SerBridgeFault::None;
        else if (v == "erase")
            flash.serBridgeFault = SerBridgeFault::Erase;
        else if (v == "erase_check")
            flash.serBridgeFault = SerBridgeFault::EraseCheck;
        else if (v == "write")
            flash.serBridgeFault = SerBridgeFault::Write;
        else if (v == "verify")
            flash.serBridgeFault = SerBridgeFault::Verify;
        else
            return bad();
        return true;
    }
    return false;
}

}  // namespace quillon::sim
