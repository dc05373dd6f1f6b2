// RW and RR: one register of the ordinary space (14-bit numbers) or, with
// -REGEX, of the extended space (1024 byte-wide registers read in bursts).

#include <array>
#include <cstdint>

#include "link/vendor_requests.h"
#include "script/macro_support.h"

namespace quillon::script {

using namespace detail;

namespace {

constexpr std::uint32_t kLastRegister = 0x3FFF;
constexpr std::uint32_t kLastExtendedRegister = 0x3FF;

struct WriteOptions {
    std::optional<std::uint32_t> address, width;
    std::optional<std::string> data;
    bool extended = false;
};
constexpr OptionPattern<WriteOptions> kWriteOptions[] = {
    DecOption<&WriteOptions::address>("-A"),
    DecOption<&WriteOptions::width>("-W"),
    StrOption<&WriteOptions::data>("-D"),
    FlagOption<&WriteOptions::extended>("-REGEX"),
};

struct ReadOptions {
    std::optional<std::uint32_t> address, width;
    std::optional<std::string> ignored;
    bool extended = false;
};
// The decimal reading of an item overrides its hexadecimal one whenever it
// matches: -A100 is register 100, -AFF 255, -A1F 1.
constexpr OptionPattern<ReadOptions> kReadOptions[] = {
    HexOption<&ReadOptions::address>("-A"), DecOption<&ReadOptions::address>("-A"),
    HexOption<&ReadOptions::width>("-W"),   DecOption<&ReadOptions::width>("-W"),
    StrOption<&ReadOptions::ignored>("-C"), FlagOption<&ReadOptions::extended>("-REGEX"),
};

}  // namespace

MacroOutcome RunRegisterWrite(const MacroText& text, MacroContext& ctx) {
    WriteOptions o;
    if (!ScanOptions(kWriteOptions, text, o, ctx)) return MacroOutcome::Failed;
    const bool extended = o.extended;

    auto code = WidthCode(o.width.value_or(8));
    if (!code) return Refuse(ctx, "RW: the width must be 8, 16, 32 or 64");
    const std::uint32_t a = o.address.value_or(0);
    if (a > (extended ? kLastExtendedRegister : kLastRegister))
        return Refuse(ctx, "RW: the register address is out of range");
    // The value is hexadecimal digits without a prefix; "0x" is put in front, so
    // a value that carries its own prefix does not convert.
    auto value = ParsePrefixedHex(o.data ? std::string_view(*o.data) : std::string_view("0"));
    if (!value) return Refuse(ctx, "RW: the -D value is not hexadecimal digits");

    const auto w = static_cast<link::RegWidth>(*code);
    const auto low = static_cast<std::uint32_t>(*value);
    const auto high = static_cast<std::uint32_t>(*value >> 32);
    bool ok;
    if (!extended) {
        ok = link::VR_REG_WRITE(ctx.board, static_cast<std::uint16_t>(a), w, low, high);
    } else {
        std::array<std::uint8_t, 64> buffer{};
        for (int i = 0; i < 8; ++i) buffer[i] = static_cast<std::uint8_t>(*value >> (8 * i));
        ok = link::VR_REGEX_WRITE(ctx.board, static_cast<std::uint16_t>(a),
                                  std::span(buffer.data(), link::RegWidthBytes(w)));
    }
    return ok ? MacroOutcome::Done : MacroOutcome::Failed;
}

MacroOutcome RunRegisterRead(const MacroText& text, MacroContext& ctx) {
    ReadOptions o;
    if (!ScanOptions(kReadOptions, text, o, ctx)) return MacroOutcome::Failed;
    const bool extended = o.extended;

    const std::uint32_t a = o.address.value_or(0);
    if (a > (extended ? kLastExtendedRegister : kLastRegister))
        return Refuse(ctx, "RR: the register address is out of range");
    auto code = WidthCode(o.width.value_or(8));
    if (!code) return Refuse(ctx, "RR: the width must be 8, 16, 32 or 64");
    const auto w = static_cast<link::RegWidth>(*code);

    std::uint32_t low = 0, high = 0;
    if (!extended) {
        if (!link::VR_REG_READ(ctx.board, static_cast<std::uint16_t>(a), w, low, high))
            return MacroOutcome::Failed;
    } else {
        std::array<std::uint8_t, 64> buffer{};
        if (!link::VR_REGEX_READ(ctx.board, static_cast<std::uint16_t>(a),
                                 std::span(buffer.data(), link::RegWidthBytes(w))))
            return MacroOutcome::Failed;
        for (int i = 0; i < 4; ++i) {
            low |= static_cast<std::uint32_t>(buffer[i]) << (8 * i);
            high |= static_cast<std::uint32_t>(buffer[4 + i]) << (8 * i);
        }
    }
    switch (w) {
        case link::RegWidth::Bits8:
            low &= 0xFF, high = 0;
            break;
        case link::RegWidth::Bits16:
            low &= 0xFFFF, high = 0;
            break;
        case link::RegWidth::Bits32:
            high = 0;
            break;
        case link::RegWidth::Bits64:
            break;
    }
    // Scripts have always seen the halves as signed 32-bit decimals.
    SetVariable(ctx, "read", static_cast<std::int32_t>(low));
    SetVariable(ctx, "read_high", static_cast<std::int32_t>(high));
    return MacroOutcome::Done;
}

}  // namespace quillon::script
