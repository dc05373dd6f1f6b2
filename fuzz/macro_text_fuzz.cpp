// The macro text on arbitrary bytes: split into items and scanned against an
// option table, the way every macro reads its text. Besides never crashing,
// the split must keep every byte that is not a separator, and the static
// option table and the run-time patterns must read the same options.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "script/macro_syntax.h"

namespace {

using namespace quillon::script;

struct Options {
    std::optional<std::uint32_t> address, data, width;
    std::optional<std::string> file;
    bool regex = false;
};
constexpr OptionPattern<Options> kTable[] = {
    HexOption<&Options::address>("-A"), HexOption<&Options::data>("-D"),
    DecOption<&Options::width>("-W"),   StrOption<&Options::file>("-F"),
    FlagOption<&Options::regex>("-REGEX"),
};

bool Separator(char c) {
    return c == ',' || (static_cast<unsigned char>(c) >= 1 && static_cast<unsigned char>(c) <= 32);
}

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const MacroText items(text);

    std::size_t bytes = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        Check(items.upper(i) == UpperAscii(items.item(i)));
        Check(items.item(i).size() <= items.longestItem());
        bytes += items.item(i).size();
    }
    Check(bytes <= size);
    // Without quotes an item is exactly the bytes between separators.
    if (text.find('"') == std::string_view::npos) {
        std::size_t kept = 0;
        for (char c : text) kept += Separator(c) ? 0 : 1;
        Check(bytes == kept);
        for (std::size_t i = 0; i < items.size(); ++i) {
            for (char c : items.item(i)) Check(!Separator(c));
        }
    }

    Options fromTable;
    const ScanError tableError = ScanOptionTable(kTable, items, fromTable);
    Options fromPatterns;
    OptionPatterns patterns;
    patterns.Hex("-A", fromPatterns.address)
        .Hex("-D", fromPatterns.data)
        .Dec("-W", fromPatterns.width)
        .Str("-F", fromPatterns.file)
        .Flag("-REGEX", fromPatterns.regex);
    const ScanError patternError = patterns.Scan(items);
    Check(tableError == patternError);
    if (tableError == ScanError::None) {
        Check(fromTable.address == fromPatterns.address && fromTable.data == fromPatterns.data &&
              fromTable.width == fromPatterns.width && fromTable.file == fromPatterns.file &&
              fromTable.regex == fromPatterns.regex);
        if (fromTable.file) Check(CheckStringValue(*fromTable.file) == ScanError::None);
    }
    Check(ScanErrorText(tableError) != nullptr);

    // The single conversions on the raw text.
    (void)ScanDecimal(text);
    (void)ScanHex(text);
    if (const auto s = ScanString(text)) Check(s->data() >= text.data() && s->end() <= text.end());
    (void)ParsePrefixedHex(text);
    return 0;
}
