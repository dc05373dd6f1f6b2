#pragma once
// Hexadecimal fields as the pages and the macros write them: register
// numbers, values, addresses and lengths. One reading for all, so a field
// that one page takes another does not refuse.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::features {

// Hexadecimal text without prefix ("1ff", "00A"), at most 64 bits; nullopt for
// anything else, an empty text included.
std::optional<std::uint64_t> ParseHexField(std::string_view text);
// Upper-case hexadecimal with at least `digits` digits.
std::string HexField(std::uint64_t value, int digits);

}  // namespace quillon::features
