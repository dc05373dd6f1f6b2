#include "script/macro_syntax.h"

#include <cstring>
#include <limits>

#include "features/hex_field.h"

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

MacroText::MacroText(std::string_view text) {
    const std::size_t n = text.size();
    // Items never hold more bytes than the text, so they fit in n bytes, and
    // their upper-cased copy in the n after them.
    if (2 * n > kInlineBytes) {
        heap_.reset(new char[2 * n]);
        data_ = heap_.get();
    }
    upperShift_ = n;
    char* w = data_;  // where the next item byte goes
    const char* const t = text.data();
    // Each byte goes into the item as written and, upper-cased, into its copy.
    auto put = [&](char c) {
        w[n] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        *w++ = c;
    };
    std::size_t p = 0;
    while (p < n && IsListBlank(static_cast<unsigned char>(t[p]))) ++p;
    while (p < n) {
        char* const start = w;
        if (t[p] == '"') {
            ++p;
            while (p < n) {
                if (t[p] == '"') {
                    if (p + 1 < n && t[p + 1] == '"') {
                        put('"');
                        p += 2;
                        continue;
                    }
                    ++p;  // the closing quote
                    break;
                }
                put(t[p++]);
            }
        } else {
            // Everything up to a separator belongs to the item, a NUL byte too
            // (a script may pass one; it is refused where a value must not hold it).
            while (p < n && !IsListBlank(static_cast<unsigned char>(t[p])) && t[p] != ',')
                put(t[p++]);
        }
        AddItem(static_cast<std::size_t>(start - data_), static_cast<std::size_t>(w - start));
        while (p < n && IsListBlank(static_cast<unsigned char>(t[p]))) ++p;
        if (p < n && t[p] == ',') {
            // A trailing comma: a final empty item.
            if (p + 1 >= n) AddItem(static_cast<std::size_t>(w - data_), 0);
            do {
                ++p;
            } while (p < n && IsListBlank(static_cast<unsigned char>(t[p])));
        }
    }
}

void MacroText::AddItem(std::size_t offset, std::size_t size) {
    if (count_ == kInlineItems) {
        moreSpans_.assign(inlineSpans_, inlineSpans_ + kInlineItems);
    }
    if (count_ >= kInlineItems) {
        moreSpans_.push_back({offset, size});
        spans_ = moreSpans_.data();
    } else {
        inlineSpans_[count_] = {offset, size};
    }
    ++count_;
    if (size > longest_) longest_ = size;
}

std::vector<std::string> SplitMacroItems(std::string_view text) {
    const MacroText items(text);
    std::vector<std::string> out;
    out.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) out.emplace_back(items.item(i));
    return out;
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
    // The digits read as the pages read their fields.
    return features::ParseHexField(digits);
}

OptionMatch MatchOption(OptionKind kind, std::string_view prefix, std::string_view upper,
                        std::string_view written) {
    OptionMatch m;
    if (kind == OptionKind::Flag) {
        if (upper == prefix) m.got = OptionMatch::Got::Flag;
        return m;
    }
    if (!StartsWith(upper, prefix)) return m;
    const std::string_view rest = upper.substr(prefix.size());
    std::optional<std::uint32_t> number;
    switch (kind) {
        case OptionKind::Dec:
            number = ScanDecimal(rest);
            break;
        case OptionKind::Hex:
            number = ScanHex(rest);
            break;
        case OptionKind::Str:
            if (auto v = ScanString(written.substr(prefix.size()))) {
                m.got = OptionMatch::Got::String;
                m.string = *v;
            }
            return m;
        case OptionKind::Flag:
            break;
    }
    if (number) {
        m.got = OptionMatch::Got::Number;
        m.number = *number;
    }
    return m;
}

ScanError CheckStringValue(std::string_view value) {
    if (value.size() > kMaxStringValueBytes) return ScanError::ValueTooLong;
    if (value.find('\0') != std::string_view::npos) return ScanError::NulInValue;
    return ScanError::None;
}

OptionPatterns& OptionPatterns::Dec(std::string prefix, std::optional<std::uint32_t>& out) {
    patterns_.push_back({OptionKind::Dec, prefix, &out, TextHead(prefix)});
    return *this;
}

OptionPatterns& OptionPatterns::Hex(std::string prefix, std::optional<std::uint32_t>& out) {
    patterns_.push_back({OptionKind::Hex, prefix, &out, TextHead(prefix)});
    return *this;
}

OptionPatterns& OptionPatterns::Str(std::string prefix, std::optional<std::string>& out) {
    patterns_.push_back({OptionKind::Str, prefix, &out, TextHead(prefix)});
    return *this;
}

OptionPatterns& OptionPatterns::Flag(std::string item, bool& out) {
    patterns_.push_back({OptionKind::Flag, item, &out, TextHead(item)});
    return *this;
}

ScanError OptionPatterns::Scan(const MacroText& text) const {
    return ScanItems(text, patterns_, [](const Pattern& p, const OptionMatch& m) {
        switch (m.got) {
            case OptionMatch::Got::Number:
                *std::get<std::optional<std::uint32_t>*>(p.out) = m.number;
                break;
            case OptionMatch::Got::String:
                *std::get<std::optional<std::string>*>(p.out) = std::string(m.string);
                break;
            case OptionMatch::Got::Flag:
                *std::get<bool*>(p.out) = true;
                break;
            case OptionMatch::Got::Nothing:
                break;
        }
    });
}

const char* ScanErrorText(ScanError e) {
    switch (e) {
        case ScanError::None:
            return "";
        case ScanError::ItemTooLong:
            return "an item of the macro is longer than 511 bytes";
        case ScanError::ValueTooLong:
            return "a value of the macro is longer than 255 bytes";
        case ScanError::NulInValue:
            return "a value of the macro holds a NUL byte";
    }
    return "";
}

}  // namespace quillon::script
