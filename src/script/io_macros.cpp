// IW, IR, IW2, IR2, IW3, IR3 (I2C), GW, GR, GD (GPIO), STA, GTA (temperature
// alert). None of their options has a default: a missing one refuses the macro.
// I2C request failures are soft (NotDone, the script can test "0"); GPIO and
// alert failures and every invalid port or mode stop the script.

#include "features/board/gpio.h"
#include "features/board/i2c.h"
#include "features/board/supervision.h"
#include "script/macro_support.h"

namespace quillon::script {

using namespace detail;
using features::I2cAddressByte;

namespace {

using Value = std::optional<std::uint32_t>;

bool AllGiven(std::initializer_list<const Value*> values) {
    for (const Value* v : values) {
        if (!v->has_value()) return false;
    }
    return true;
}

constexpr std::uint32_t kGpioPorts = features::kGpioPorts;  // ports A, C and E of the GPIO page

// The option tables, in each macro's matching order. "-P" and "-T" are decimal,
// the rest hexadecimal; GD's "-D" is a direction, not a device type.
struct IoOptions {
    Value p, m, c, d, s, a, w;  // port, mode, (ignored), device type, select, address, data
};
constexpr OptionPattern<IoOptions> kIwOptions[] = {
    HexOption<&IoOptions::d>("-D"), HexOption<&IoOptions::s>("-S"), HexOption<&IoOptions::a>("-A"),
    HexOption<&IoOptions::w>("-W")};
constexpr OptionPattern<IoOptions> kIrOptions[] = {
    HexOption<&IoOptions::c>("-C"), HexOption<&IoOptions::d>("-D"), HexOption<&IoOptions::s>("-S"),
    HexOption<&IoOptions::a>("-A")};
constexpr OptionPattern<IoOptions> kIw2Options[] = {
    DecOption<&IoOptions::p>("-P"), HexOption<&IoOptions::d>("-D"), HexOption<&IoOptions::s>("-S"),
    HexOption<&IoOptions::a>("-A"), HexOption<&IoOptions::w>("-W")};
constexpr OptionPattern<IoOptions> kIr2Options[] = {
    DecOption<&IoOptions::p>("-P"), HexOption<&IoOptions::c>("-C"), HexOption<&IoOptions::d>("-D"),
    HexOption<&IoOptions::s>("-S"), HexOption<&IoOptions::a>("-A")};
constexpr OptionPattern<IoOptions> kIw3Options[] = {
    DecOption<&IoOptions::p>("-P"), HexOption<&IoOptions::m>("-M"), HexOption<&IoOptions::d>("-D"),
    HexOption<&IoOptions::s>("-S"), HexOption<&IoOptions::a>("-A"), HexOption<&IoOptions::w>("-W")};
constexpr OptionPattern<IoOptions> kIr3Options[] = {
    DecOption<&IoOptions::p>("-P"), HexOption<&IoOptions::m>("-M"), HexOption<&IoOptions::d>("-D"),
    HexOption<&IoOptions::s>("-S"), HexOption<&IoOptions::a>("-A")};
constexpr OptionPattern<IoOptions> kGwOptions[] = {DecOption<&IoOptions::p>("-P"),
                                                   HexOption<&IoOptions::w>("-W")};
constexpr OptionPattern<IoOptions> kGrOptions[] = {DecOption<&IoOptions::p>("-P"),
                                                   HexOption<&IoOptions::c>("-C")};

struct DirectionOptions {
    Value p;
    std::optional<std::string> direction;
};
constexpr OptionPattern<DirectionOptions> kGdOptions[] = {
    DecOption<&DirectionOptions::p>("-P"), StrOption<&DirectionOptions::direction>("-D")};

struct AlertOptions {
    Value t;
};
constexpr OptionPattern<AlertOptions> kStaOptions[] = {DecOption<&AlertOptions::t>("-T")};

}  // namespace

namespace {

// IW and IW2, IR and IR2: the same register access, IW and IR on the first
// port. A port other than 0 and 1 fails like a request, without one.
MacroOutcome I2cWriteOn(MacroContext& ctx, std::uint32_t port, const IoOptions& o) {
    return features::I2cWriteRegister(ctx.board, static_cast<int>(port & 0xFF),
                                      I2cAddressByte(*o.d, *o.s), static_cast<std::uint8_t>(*o.a),
                                      static_cast<std::uint8_t>(*o.w))
               ? MacroOutcome::Done
               : MacroOutcome::NotDone;
}
MacroOutcome I2cReadOn(MacroContext& ctx, std::uint32_t port, const IoOptions& o) {
    std::uint8_t byte = 0;
    if (!features::I2cReadRegister(ctx.board, static_cast<int>(port & 0xFF),
                                   I2cAddressByte(*o.d, *o.s), static_cast<std::uint8_t>(*o.a),
                                   byte))
        return MacroOutcome::NotDone;
    SetVariable(ctx, "read", byte);
    return MacroOutcome::Done;
}

}  // namespace

MacroOutcome RunI2cWrite(const MacroText& text, MacroContext& ctx) {
    IoOptions given;
    if (!ScanOptions(kIwOptions, text, given, ctx)) return MacroOutcome::Failed;
    const auto& [p, m, c, d, s, a, w] = given;
    if (!AllGiven({&d, &s, &a, &w})) return Refuse(ctx, "IW: -D, -S, -A and -W must be given");
    return I2cWriteOn(ctx, 0, given);
}

MacroOutcome RunI2cRead(const MacroText& text, MacroContext& ctx) {
    IoOptions given;
    if (!ScanOptions(kIrOptions, text, given, ctx)) return MacroOutcome::Failed;
    const auto& [p, m, c, d, s, a, w] = given;
    if (!AllGiven({&d, &s, &a})) return Refuse(ctx, "IR: -D, -S and -A must be given");
    return I2cReadOn(ctx, 0, given);
}

MacroOutcome RunI2cWrite2(const MacroText& text, MacroContext& ctx) {
    IoOptions given;
    if (!ScanOptions(kIw2Options, text, given, ctx)) return MacroOutcome::Failed;
    const auto& [p, m, c, d, s, a, w] = given;
    if (!AllGiven({&p, &d, &s, &a, &w}))
        return Refuse(ctx, "IW2: -P, -D, -S, -A and -W must be given");
    return I2cWriteOn(ctx, *p, given);
}

MacroOutcome RunI2cRead2(const MacroText& text, MacroContext& ctx) {
    IoOptions given;
    if (!ScanOptions(kIr2Options, text, given, ctx)) return MacroOutcome::Failed;
    const auto& [p, m, c, d, s, a, w] = given;
    if (!AllGiven({&p, &d, &s, &a})) return Refuse(ctx, "IR2: -P, -D, -S and -A must be given");
    return I2cReadOn(ctx, *p, given);
}

MacroOutcome RunI2cWrite3(const MacroText& text, MacroContext& ctx) {
    IoOptions given;
    if (!ScanOptions(kIw3Options, text, given, ctx)) return MacroOutcome::Failed;
    const auto& [p, m, c, d, s, a, w] = given;
    if (!AllGiven({&p, &m, &d, &s, &a, &w}))
        return Refuse(ctx, "IW3: -P, -M, -D, -S, -A and -W must be given");
    if (*p >= 2) return Refuse(ctx, "IW3: the port must be 0 or 1");
    if (*m != 3 && *m != 4) return Refuse(ctx, "IW3: the mode must be 3 or 4");
    const auto command = features::I2cCommandBytes(static_cast<int>(*m), I2cAddressByte(*d, *s), *a,
                                                   static_cast<std::uint8_t>(*w));
    return features::I2cSendCommand(ctx.board, static_cast<int>(*p), static_cast<int>(*m), command)
               ? MacroOutcome::Done
               : MacroOutcome::NotDone;
}

MacroOutcome RunI2cRead3(const MacroText& text, MacroContext& ctx) {
    IoOptions given;
    if (!ScanOptions(kIr3Options, text, given, ctx)) return MacroOutcome::Failed;
    const auto& [p, m, c, d, s, a, w] = given;
    if (!AllGiven({&p, &m, &d, &s, &a}))
        return Refuse(ctx, "IR3: -P, -M, -D, -S and -A must be given");
    if (*p >= 2) return Refuse(ctx, "IR3: the port must be 0 or 1");
    if (*m != 3 && *m != 4) return Refuse(ctx, "IR3: the mode must be 3 or 4");
    const std::uint8_t address = I2cAddressByte(*d, *s);
    // The last command byte is the device's read address (direction bit set).
    const auto command = features::I2cCommandBytes(static_cast<int>(*m), address, *a,
                                                   static_cast<std::uint8_t>(address + 1));
    std::uint8_t byte = 0;
    if (!features::I2cReadCommand(ctx.board, static_cast<int>(*p), static_cast<int>(*m), command,
                                  byte))
        return MacroOutcome::NotDone;
    SetVariable(ctx, "read", byte);
    return MacroOutcome::Done;
}

MacroOutcome RunGpioWrite(const MacroText& text, MacroContext& ctx) {
    IoOptions given;
    if (!ScanOptions(kGwOptions, text, given, ctx)) return MacroOutcome::Failed;
    const auto& [p, m, c, d, s, a, w] = given;
    if (!AllGiven({&p, &w})) return Refuse(ctx, "GW: -P and -W must be given");
    if (*p >= kGpioPorts) return Refuse(ctx, "GW: the port must be 0, 1 or 2");
    return features::GpioWriteByte(ctx.board, static_cast<int>(*p), static_cast<std::uint8_t>(*w))
               ? MacroOutcome::Done
               : MacroOutcome::Failed;
}

MacroOutcome RunGpioRead(const MacroText& text, MacroContext& ctx) {
    IoOptions given;
    if (!ScanOptions(kGrOptions, text, given, ctx)) return MacroOutcome::Failed;
    const auto& [p, m, c, d, s, a, w] = given;
    if (!p) return Refuse(ctx, "GR: -P must be given");
    if (*p >= kGpioPorts) return Refuse(ctx, "GR: the port must be 0, 1 or 2");
    std::uint8_t byte = 0;
    if (!features::GpioReadByte(ctx.board, static_cast<int>(*p), byte)) return MacroOutcome::Failed;
    SetVariable(ctx, "read", byte);
    return MacroOutcome::Done;
}

MacroOutcome RunGpioDirection(const MacroText& text, MacroContext& ctx) {
    DirectionOptions given;
    if (!ScanOptions(kGdOptions, text, given, ctx)) return MacroOutcome::Failed;
    const auto& [p, direction] = given;
    if (!p || !direction) return Refuse(ctx, "GD: -P and -D must be given");
    if (*p >= kGpioPorts) return Refuse(ctx, "GD: the port must be 0, 1 or 2");
    const std::string d = UpperAscii(*direction);
    std::uint16_t code;
    if (d == "IN")
        code = 0;
    else if (d == "OUT")
        code = 1;
    else
        return Refuse(ctx, "GD: the direction must be IN or OUT");
    return features::GpioSetDirection(ctx.board, static_cast<int>(*p), code == 1)
               ? MacroOutcome::Done
               : MacroOutcome::Failed;
}

MacroOutcome RunTempAlertSet(const MacroText& text, MacroContext& ctx) {
    AlertOptions given;
    if (!ScanOptions(kStaOptions, text, given, ctx)) return MacroOutcome::Failed;
    const auto& [t] = given;
    if (!t) return Refuse(ctx, "STA: -T must be given");
    // The threshold register is one byte: 300 becomes 44.
    return features::TempAlertWrite(ctx.board, static_cast<std::uint8_t>(*t))
               ? MacroOutcome::Done
               : MacroOutcome::Failed;
}

MacroOutcome RunTempAlertGet(const MacroText& text, MacroContext& ctx) {
    // No options: only the item limits apply.
    if (!CheckItemLimits(text, ctx)) return MacroOutcome::Failed;
    std::uint8_t byte = 0;
    if (!features::TempAlertRead(ctx.board, byte)) return MacroOutcome::Failed;
    SetVariable(ctx, "read", byte);
    return MacroOutcome::Done;
}

}  // namespace quillon::script
