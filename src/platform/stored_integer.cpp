// The integer conversion of stored values, apart from the store itself so
// that it builds without Qt (the fuzz target links it alone).

#include <cctype>
#include <cstdint>

#include "platform/settings_store.h"

namespace quillon {

std::optional<int> ParseStoredInteger(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    int base = 10;
    if (i < t.size() && t[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= t.size()) return std::nullopt;
    std::uint64_t value = 0;
    for (; i < t.size(); ++i) {
        int c = static_cast<unsigned char>(t[i]);
        int d;
        if (std::isdigit(c))
            d = c - '0';
        else if (base == 16 && std::isxdigit(c))
            d = std::tolower(c) - 'a' + 10;
        else
            return std::nullopt;
        value = value * base + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    if (base == 16) {
        // Hexadecimal text covers the full 32 bits ("$FFFFFFFF" is -1).
        std::int64_t v = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        return static_cast<int>(negative ? -v : v);
    }
    std::int64_t v =
        negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<int>(v);
}

}  // namespace quillon
