#pragma once
// Small helpers the macro families share (not part of the public interface).

#include <optional>
#include <string>
#include <string_view>

#include "script/macro_syntax.h"
#include "script/macros.h"

namespace quillon::script::detail {

inline MacroOutcome Refuse(MacroContext& ctx, std::string why) {
    ctx.refusal = std::move(why);
    return MacroOutcome::Failed;
}

// Scans the macro's static option table into its options struct; false (with
// the reason in ctx.refusal) when the text breaks a limit.
template <typename O, std::size_t N>
bool ScanOptions(const OptionPattern<O> (&table)[N], const MacroText& text, O& out,
                 MacroContext& ctx) {
    ScanError e = ScanOptionTable(table, text, out);
    if (e == ScanError::None) return true;
    ctx.refusal = ScanErrorText(e);
    return false;
}

// For a macro without options: the text only has to keep the item limit.
inline bool CheckItemLimits(const MacroText& text, MacroContext& ctx) {
    if (text.longestItem() <= kMaxItemBytes) return true;
    ctx.refusal = ScanErrorText(ScanError::ItemTooLong);
    return false;
}

inline void SetVariable(MacroContext& ctx, const char* name, long long value) {
    if (ctx.variables) ctx.variables->Set(name, value);
}

// Width option value (8, 16, 32, 64) to the shared register/memory width code.
inline std::optional<std::uint8_t> WidthCode(std::uint32_t bits) {
    switch (bits) {
        case 8:
            return 0x00;
        case 16:
            return 0x40;
        case 32:
            return 0x80;
        case 64:
            return 0xC0;
        default:
            return std::nullopt;
    }
}

}  // namespace quillon::script::detail
