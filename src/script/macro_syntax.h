#pragma once
// The text syntax every macro of KVX_COMMAND shares: how a macro text becomes
// items, and how items are matched against option patterns that behave like
// sscanf conversions ("-A%x", "-W%d", "-F%s") and whole-item flags ("-REGEX").
// Everything here is pure: no Tcl, no board.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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

// Splits a macro text into items: leading blanks skipped; items separated by a
// comma, by a run of blanks (bytes 1..32), or by a comma with blanks around it;
// an item that starts with a double quote runs to the matching quote, may hold
// blanks and commas, loses its quotes, and "" inside stands for one quote; two
// commas in a row give an empty item, a comma at the very end a final empty item.
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

enum class ScanError { None, ItemTooLong, ValueTooLong };

// A macro's option patterns, in the order it matches them. Scan matches every
// item (the macro name included) against every pattern in that order; every
// match stores its value, so a later pattern of the same option decides when it
// matches, and an option given twice keeps its last value. Patterns compare
// against the upper-cased item; string values keep the letter case the script
// wrote (file names on a case-sensitive file system).
class OptionPatterns {
  public:
    // Numbers are kept as the 32 bits the C conversion would have stored; each
    // macro decides whether it reads them signed or unsigned.
    OptionPatterns& Dec(std::string prefix, std::optional<std::uint32_t>& out);
    OptionPatterns& Hex(std::string prefix, std::optional<std::uint32_t>& out);
    OptionPatterns& Str(std::string prefix, std::optional<std::string>& out);
    OptionPatterns& Flag(std::string item, bool& out);

    ScanError Scan(std::string_view macroText) const;

  private:
    enum class Kind { Dec, Hex, Str, Flag };
    struct Pattern {
        Kind kind;
        std::string prefix;
        std::variant<std::optional<std::uint32_t>*, std::optional<std::string>*, bool*> out;
    };
    std::vector<Pattern> patterns_;
};

const char* ScanErrorText(ScanError e);

}  // namespace quillon::script
