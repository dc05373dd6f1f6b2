#include "features/registers/reg_page_ops.h"

#include <array>
#include <cstdio>

#include "link/usb_cause.h"
#include "platform/cause.h"
#include "platform/settings_store.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

// The register number as the integer conversion of the edit reads it: decimal,
// or hexadecimal after "$" / "0x". Compared unsigned, so a negative number is
// out of range as well.
std::optional<std::uint32_t> RegNumber(std::string_view text, bool emulate,
                                       std::string_view caption) {
    std::optional<int> n = ParseStoredInteger(text);
    if (!n) {
        SetCause(NotIntegerCause(caption, text));
        return std::nullopt;
    }
    auto number = static_cast<std::uint32_t>(*n);
    const std::uint32_t limit = emulate ? kRegExNumberLimit : kRegNumberLimit;
    if (number >= limit) {
        SetCause(OutOfRangeCause(caption, text, 0, limit - 1));
        return std::nullopt;
    }
    return number;
}

// The checks both operations make before anything is sent.
std::optional<std::uint32_t> Prepare(link::BoardHandle h, std::string_view numberText,
                                     bool emulate, const RegFieldNames& names) {
    // A press is a new action: whatever failed before is not its cause.
    ClearCause();
    if (h == link::kNoBoard) {
        link::NoteNoBoard();
        return std::nullopt;
    }
    return RegNumber(numberText, emulate, Lang::MarkedStd(names.number));
}

}  // namespace

RegPageWidth RegPageWidthOf(int widthIndex) {
    switch (widthIndex) {
        case 1:
            return {link::RegWidth::Bits16, 2, 4, 0xFFFFull};
        case 2:
            return {link::RegWidth::Bits32, 4, 8, 0xFFFFFFFFull};
        case 3:
            return {link::RegWidth::Bits64, 8, 16, ~0ull};
        default:
            return {link::RegWidth::Bits8, 1, 2, 0xFFull};
    }
}

RegFieldResult RegPageRead(link::BoardHandle h, std::string_view numberText, int widthIndex,
                           std::string_view field, bool emulate, Reporter& reporter,
                           const RegFieldNames& names) {
    RegFieldResult result{false, std::string(field)};
    std::optional<std::uint32_t> number = Prepare(h, numberText, emulate, names);
    if (!number) return result;
    const RegPageWidth w = RegPageWidthOf(widthIndex);

    std::uint64_t value = 0;
    if (!emulate) {
        std::uint32_t low = 0, high = 0;
        if (!link::VR_REG_READ(h, static_cast<std::uint16_t>(*number), w.code, low, high))
            return result;
        value = static_cast<std::uint64_t>(high) << 32 | low;
    } else {
        std::array<std::uint8_t, 64> buffer{};
        if (!link::VR_REGEX_READ(h, static_cast<std::uint16_t>(*number),
                                 std::span(buffer).first(static_cast<std::size_t>(w.bytes)))) {
            reporter.Fail("REG READ NG");
            reporter.FailBox(Lang::MarkedStd(kRegExReadFailed), MsgIcon::Warning);
            return result;
        }
        for (int i = 0; i < 8; ++i) value |= static_cast<std::uint64_t>(buffer[i]) << (8 * i);
        value &= w.mask;
    }
    result.ok = true;
    result.field = HexField(value, w.digits);
    return result;
}

RegFieldResult RegPageWrite(link::BoardHandle h, std::string_view numberText, int widthIndex,
                            std::string_view field, bool emulate, Reporter& reporter,
                            const RegFieldNames& names) {
    RegFieldResult result{false, std::string(field)};
    std::optional<std::uint32_t> number = Prepare(h, numberText, emulate, names);
    if (!number) return result;
    std::optional<std::uint64_t> value = ParseHexField(field);
    if (!value) {
        SetCause(NotHexCause(Lang::MarkedStd(names.value), field));
        return result;
    }
    const RegPageWidth w = RegPageWidthOf(widthIndex);

    if (!emulate) {
        // The request masks the value to the width.
        if (!link::VR_REG_WRITE(h, static_cast<std::uint16_t>(*number), w.code,
                                static_cast<std::uint32_t>(*value),
                                static_cast<std::uint32_t>(*value >> 32)))
            return result;
    } else {
        std::array<std::uint8_t, 64> buffer{};
        for (int i = 0; i < 8; ++i) buffer[i] = static_cast<std::uint8_t>(*value >> (8 * i));
        if (!link::VR_REGEX_WRITE(
                h, static_cast<std::uint16_t>(*number),
                std::span<const std::uint8_t>(buffer).first(static_cast<std::size_t>(w.bytes)))) {
            reporter.Fail("REG WRITE NG");
            reporter.FailBox(Lang::MarkedStd(kRegExWriteFailed), MsgIcon::Warning);
            return result;
        }
    }
    result.ok = true;
    result.field = HexField(*value, w.digits);
    return result;
}

}  // namespace quillon::features
