#include "script/macro_syntax.h"

#include <limits>

namespace quillon::script {

namespace {

// The separators of the list rule: every control byte and the blank.
bool IsListBlank(unsigned char c) {
    return c >= 1 && c <= 32;
}

// The blanks sscanf skips before a conversion and stops a %s at.
bool IsScanSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view SkipScanSpace(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsScanSpace(static_cast<unsigned char>(s[i]))) ++i;
    return s.substr(i);
}

}  // namespace

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::vector<std::string> SplitMacroItems(std::string_view text) {
    std::vector<std::string> items;
    std::size_t p = 0;
    const std::size_t n = text.size();
    auto at = [&](std::size_t i) -> unsigned char {
        return i < n ? static_cast<unsigned char>(text[i]) : 0;
    };
    while (p < n && IsListBlank(at(p))) ++p;
    while (p < n) {
        std::string item;
        if (at(p) == '"') {
            ++p;
            while (p < n) {
                if (at(p) == '"') {
                    if (at(p + 1) == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;  // the closing quote
                    break;
                }
                item += text[p++];
            }
        } else {
            std::size_t start = p;
            while (p < n && at(p) > ' ' && at(p) != ',') ++p;
            item.assign(text.substr(start, p - start));
        }
        items.push_back(std::move(item));
        while (p < n && IsListBlank(at(p))) ++p;
        if (p < n && at(p) == ',') {
            if (p + 1 >= n) items.emplace_back();  // a trailing comma: final empty item
            do {
                ++p;
            } while (p < n && IsListBlank(at(p)));
        }
    }
    return items;
}

std::optional<std::uint32_t> ScanDecimal(std::string_view text) {
    std::string_view s = SkipScanSpace(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::size_t first = i;
    // Read as a long, saturating as strtol does, and keep the low 32 bits as the
    // store into an int would.
    std::int64_t value = 0;
    bool saturated = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        int d = s[i] - '0';
        if (!saturated) {
            if (value > (std::numeric_limits<std::int64_t>::max() - d) / 10)
                saturated = true;
            else
                value = value * 10 + d;
        }
    }
    if (i == first) return std::nullopt;
    if (saturated) {
        value = negative ? std::numeric_limits<std::int64_t>::min()
                         : std::numeric_limits<std::int64_t>::max();
    } else if (negative) {
        value = -value;
    }
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(value));
}

std::optional<std::uint32_t> ScanHex(std::string_view text) {
    std::string_view s = SkipScanSpace(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::size_t first = i;
    bool readZero = false;
    if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        // "0X" followed by no hexadecimal digit still read the "0".
        readZero = true;
        i += 2;
    }
    std::uint64_t value = 0;
    bool saturated = false;
    std::size_t digitsStart = i;
    for (; i < s.size() && HexDigit(static_cast<unsigned char>(s[i])) >= 0; ++i) {
        if (value > (std::numeric_limits<std::uint64_t>::max() >> 4))
            saturated = true;
        else
            value =
                (value << 4) | static_cast<unsigned>(HexDigit(static_cast<unsigned char>(s[i])));
    }
    if (i == digitsStart && !readZero) return std::nullopt;
    if (i == first) return std::nullopt;
    if (saturated) value = std::numeric_limits<std::uint64_t>::max();
    if (negative) value = ~value + 1;
    return static_cast<std::uint32_t>(value);
}

std::optional<std::string_view> ScanString(std::string_view text) {
    std::string_view s = SkipScanSpace(text);
    std::size_t i = 0;
    while (i < s.size() && !IsScanSpace(static_cast<unsigned char>(s[i]))) ++i;
    if (i == 0) return std::nullopt;
    return s.substr(0, i);
}

std::optional<std::uint64_t> ParsePrefixedHex(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        int d = HexDigit(static_cast<unsigned char>(c));
        if (d < 0) return std::nullopt;
        if (value > (std::numeric_limits<std::uint64_t>::max() >> 4)) return std::nullopt;
        value = (value << 4) | static_cast<unsigned>(d);
    }
    return value;
}

OptionPatterns& OptionPatterns::Dec(std::string prefix, std::optional<std::uint32_t>& out) {
    patterns_.push_back({Kind::Dec, std::move(prefix), &out});
    return *this;
}

OptionPatterns& OptionPatterns::Hex(std::string prefix, std::optional<std::uint32_t>& out) {
    patterns_.push_back({Kind::Hex, std::move(prefix), &out});
    return *this;
}

OptionPatterns& OptionPatterns::Str(std::string prefix, std::optional<std::string>& out) {
    patterns_.push_back({Kind::Str, std::move(prefix), &out});
    return *this;
}

OptionPatterns& OptionPatterns::Flag(std::string item, bool& out) {
    patterns_.push_back({Kind::Flag, std::move(item), &out});
    return *this;
}

ScanError OptionPatterns::Scan(std::string_view macroText) const {
    // Splitting the original text and upper-casing each item gives the same
    // items as upper-casing first: the list rule looks only at ASCII bytes that
    // upper-casing leaves alone.
    std::vector<std::string> original = SplitMacroItems(macroText);
    for (const std::string& item : original) {
        if (item.size() > kMaxItemBytes) return ScanError::ItemTooLong;
    }
    for (const std::string& item : original) {
        const std::string upper = UpperAscii(item);
        for (const Pattern& p : patterns_) {
            if (p.kind == Kind::Flag) {
                if (upper == p.prefix) *std::get<bool*>(p.out) = true;
                continue;
            }
            if (upper.compare(0, p.prefix.size(), p.prefix) != 0) continue;
            std::string_view rest = std::string_view(upper).substr(p.prefix.size());
            switch (p.kind) {
                case Kind::Dec:
                    if (auto v = ScanDecimal(rest))
                        *std::get<std::optional<std::uint32_t>*>(p.out) = v;
                    break;
                case Kind::Hex:
                    if (auto v = ScanHex(rest)) *std::get<std::optional<std::uint32_t>*>(p.out) = v;
                    break;
                case Kind::Str: {
                    std::string_view restOriginal = std::string_view(item).substr(p.prefix.size());
                    if (auto v = ScanString(restOriginal)) {
                        if (v->size() > kMaxStringValueBytes) return ScanError::ValueTooLong;
                        *std::get<std::optional<std::string>*>(p.out) = std::string(*v);
                    }
                    break;
                }
                case Kind::Flag:
                    break;
            }
        }
    }
    return ScanError::None;
}

const char* ScanErrorText(ScanError e) {
    switch (e) {
        case ScanError::None:
            return "";
        case ScanError::ItemTooLong:
            return "an item of the macro is longer than 511 bytes";
        case ScanError::ValueTooLong:
            return "a value of the macro is longer than 255 bytes";
    }
    return "";
}

}  // namespace quillon::script
