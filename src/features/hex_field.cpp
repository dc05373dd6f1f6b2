#include "features/hex_field.h"

#include <cstdio>

namespace quillon::features {

std::optional<std::uint64_t> ParseHexField(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        if (value >> 60) return std::nullopt;  // a 17th significant digit
        value = value << 4 | static_cast<std::uint64_t>(d);
    }
    return value;
}

std::string HexField(std::uint64_t value, int digits) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(value));
    return buf;
}

}  // namespace quillon::features
