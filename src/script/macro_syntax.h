#pragma once
// The text syntax every macro of KVX_COMMAND shares: how a macro text becomes
// items, and how items are matched against option patterns that behave like
// sscanf conversions ("-A%x", "-W%d", "-F%s") and whole-item flags ("-REGEX").
// Everything here is pure: no Tcl, no board.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace quillon::script {

// Longest item, and longest value read by a string pattern. Longer input is
// refused rather than cut, so a macro never acts on a silently shortened name.
inline constexpr std::size_t kMaxItemBytes = 511;
inline constexpr std::size_t kMaxStringValueBytes = 255;

// ASCII a-z to A-Z; every other byte (UTF-8 sequences included) unchanged, so
// byte offsets stay the same between the original and the upper-cased text.
std::string UpperAscii(std::string_view text);

// A macro text split into items once, by the list rule: leading blanks skipped;
// items separated by a comma, by a run of blanks (bytes 1..32), or by a comma
// with blanks around it; an item that starts with a double quote runs to the
// matching quote, may hold blanks and commas, loses its quotes, and "" inside
// stands for one quote; two commas in a row give an empty item, a comma at the
// very end a final empty item. Each item is kept as written and upper-cased.
class MacroText {
  public:
    MacroText(std::string_view text);
    MacroText(const char* text) : MacroText(std::string_view(text)) {}
    MacroText(const std::string& text) : MacroText(std::string_view(text)) {}
    // The items point into the object itself.
    MacroText(const MacroText&) = delete;
    MacroText& operator=(const MacroText&) = delete;

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // Item i as written (quotes removed) and with its ASCII letters upper-cased.
    std::string_view item(std::size_t i) const {
        return {data_ + spans_[i].offset, spans_[i].size};
    }
    std::string_view upper(std::size_t i) const {
        return {data_ + upperShift_ + spans_[i].offset, spans_[i].size};
    }
    // The macro's name: item 0 upper-cased; empty when there is no item.
    std::string_view name() const { return empty() ? std::string_view() : upper(0); }
    std::size_t longestItem() const { return longest_; }

  private:
    struct Span {
        std::size_t offset;
        std::size_t size;
    };
    void AddItem(std::size_t offset, std::size_t size);

    // The items as written, then the same upper-cased: in the object for a
    // short text (a macro call costs no allocation), else on the heap.
    static constexpr std::size_t kInlineBytes = 128;
    static constexpr std::size_t kInlineItems = 12;
    char inline_[kInlineBytes];
    std::unique_ptr<char[]> heap_;
    char* data_ = inline_;
    std::size_t upperShift_ = 0;
    std::size_t longest_ = 0;
    Span inlineSpans_[kInlineItems];
    std::vector<Span> moreSpans_;
    Span* spans_ = inlineSpans_;
    std::size_t count_ = 0;
};

// The items of a text, as written.
std::vector<std::string> SplitMacroItems(std::string_view text);

// The conversions of the patterns, applied to the text after the prefix. Each
// returns nullopt when it reads no character, like a failed sscanf conversion.
// %d: blanks, optional sign, decimal digits; the value as C's int holds it.
std::optional<std::uint32_t> ScanDecimal(std::string_view text);
// %x: blanks, optional sign, optional 0x/0X, hexadecimal digits; as unsigned int.
std::optional<std::uint32_t> ScanHex(std::string_view text);
// %s: blanks, then everything up to the next blank.
std::optional<std::string_view> ScanString(std::string_view text);

// "0x" + digits read as a 64-bit integer: the whole text must be hexadecimal
// digits (no sign, no prefix of its own) and fit in 64 bits.
std::optional<std::uint64_t> ParsePrefixedHex(std::string_view digits);

enum class ScanError { None, ItemTooLong, ValueTooLong, NulInValue };

// How a pattern reads the text after its prefix: a sscanf %d, %x or %s
// conversion, or (Flag) nothing: the whole item is the pattern.
enum class OptionKind : std::uint8_t { Dec, Hex, Str, Flag };

// One item (upper-cased, and as written) matched against one pattern. Patterns
// compare against the upper-cased item; string values come from the item as
// written (file names on a case-sensitive file system keep their case).
struct OptionMatch {
    enum class Got : std::uint8_t { Nothing, Number, String, Flag };
    Got got = Got::Nothing;
    std::uint32_t number = 0;
    std::string_view string;
};
OptionMatch MatchOption(OptionKind kind, std::string_view prefix, std::string_view upper,
                        std::string_view written);
// Prefixes are a few bytes: compared here rather than by a library call for
// each of the dozen item-pattern pairs of a macro.
inline bool StartsWith(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (text[i] != prefix[i]) return false;
    }
    return true;
}
// The first two bytes of a text as one number, 0 for a shorter text. A pattern
// keeps its prefix's, so that one comparison turns away most items.
constexpr std::uint16_t TextHead(std::string_view text) {
    return text.size() < 2 ? 0
                           : static_cast<std::uint16_t>(static_cast<unsigned char>(text[0]) |
                                                        static_cast<unsigned char>(text[1]) << 8);
}
// A string value that may be kept: within the length limit and free of NUL
// bytes (a file name with a NUL would name another file than the script meant).
ScanError CheckStringValue(std::string_view value);

// One pattern of a macro's option table: its kind, its prefix (upper case) and
// what stores a match into the macro's options (a struct of optional numbers,
// optional strings and flags). Tables are static data, built with the helpers
// below, in the order the macro matches them:
//   constexpr OptionPattern<ReadOptions> kTable[] = {HexOption<&ReadOptions::address>("-A")};
template <typename Options>
struct OptionPattern {
    OptionKind kind;
    std::string_view prefix;
    void (*store)(Options& options, const OptionMatch& match);
    std::uint16_t head = TextHead(prefix);
};

template <typename M>
struct OptionMember;
template <typename C, typename T>
struct OptionMember<T C::*> {
    using Options = C;
    using Value = T;
};

template <auto Member>
void StoreOption(typename OptionMember<decltype(Member)>::Options& o, const OptionMatch& m) {
    using Value = typename OptionMember<decltype(Member)>::Value;
    if constexpr (std::is_same_v<Value, bool>)
        o.*Member = true;
    else if constexpr (std::is_same_v<Value, std::optional<std::string>>)
        o.*Member = std::string(m.string);
    else
        o.*Member = m.number;
}

template <auto Member, OptionKind kKind, typename Value>
constexpr OptionPattern<typename OptionMember<decltype(Member)>::Options> MakeOption(
    std::string_view prefix) {
    static_assert(std::is_same_v<typename OptionMember<decltype(Member)>::Value, Value>,
                  "the option's member does not hold what its kind reads");
    return {kKind, prefix, &StoreOption<Member>, TextHead(prefix)};
}
template <auto Member>
constexpr auto DecOption(std::string_view prefix) {
    return MakeOption<Member, OptionKind::Dec, std::optional<std::uint32_t>>(prefix);
}
template <auto Member>
constexpr auto HexOption(std::string_view prefix) {
    return MakeOption<Member, OptionKind::Hex, std::optional<std::uint32_t>>(prefix);
}
template <auto Member>
constexpr auto StrOption(std::string_view prefix) {
    return MakeOption<Member, OptionKind::Str, std::optional<std::string>>(prefix);
}
template <auto Member>
constexpr auto FlagOption(std::string_view item) {
    return MakeOption<Member, OptionKind::Flag, bool>(item);
}

// Matches every item (the macro name included) against every pattern of
// `patterns` in order (each has a kind and a prefix) and hands each match to
// `store(pattern, match)`; a string value is checked first. Stops at the first
// limit the text breaks.
template <typename Patterns, typename Store>
ScanError ScanItems(const MacroText& text, const Patterns& patterns, Store&& store) {
    if (text.longestItem() > kMaxItemBytes) return ScanError::ItemTooLong;
    for (std::size_t k = 0; k < text.size(); ++k) {
        const std::string_view upper = text.upper(k);
        const std::uint16_t head = TextHead(upper);
        for (const auto& p : patterns) {
            if ((p.head != 0 && p.head != head) || !StartsWith(upper, p.prefix)) continue;
            const OptionMatch m = MatchOption(p.kind, p.prefix, upper, text.item(k));
            if (m.got == OptionMatch::Got::Nothing) continue;
            if (m.got == OptionMatch::Got::String) {
                if (ScanError e = CheckStringValue(m.string); e != ScanError::None) return e;
            }
            store(p, m);
        }
    }
    return ScanError::None;
}

// Scans a macro's static option table: every match stores its value, so a
// later pattern of the same option decides when it matches, and an option given
// twice keeps its last value. Numbers are kept as the 32 bits the C conversion
// would have stored; each macro decides whether it reads them signed or unsigned.
template <typename O, std::size_t N>
ScanError ScanOptionTable(const OptionPattern<O> (&table)[N], const MacroText& text, O& out) {
    return ScanItems(text, table,
                     [&out](const OptionPattern<O>& p, const OptionMatch& m) { p.store(out, m); });
}

// The same rules with the patterns given one by one at run time, each storing
// into a variable of the caller's.
class OptionPatterns {
  public:
    OptionPatterns& Dec(std::string prefix, std::optional<std::uint32_t>& out);
    OptionPatterns& Hex(std::string prefix, std::optional<std::uint32_t>& out);
    OptionPatterns& Str(std::string prefix, std::optional<std::string>& out);
    OptionPatterns& Flag(std::string item, bool& out);

    ScanError Scan(const MacroText& macroText) const;

  private:
    struct Pattern {
        OptionKind kind;
        std::string prefix;
        std::variant<std::optional<std::uint32_t>*, std::optional<std::string>*, bool*> out;
        std::uint16_t head;
    };
    std::vector<Pattern> patterns_;
};

const char* ScanErrorText(ScanError e);

}  // namespace quillon::script
