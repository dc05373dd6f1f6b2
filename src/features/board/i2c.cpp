#include "features/board/i2c.h"

#include <cstdio>

#include "features/hex_field.h"
#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

constexpr const char* kReadFailed = QT_TRANSLATE_NOOP("Lang", "I2Cﾘｰﾄﾞに失敗しました。");
constexpr const char* kWriteFailed = QT_TRANSLATE_NOOP("Lang", "I2Cﾗｲﾄに失敗しました。");

// Both texts marked where written (the English "NG" lines need no English).
void Fail(Reporter& reporter, const char* logLine, const char* box) {
    reporter.Fail(Lang::MarkedStd(logLine));
    reporter.FailBox(Lang::MarkedStd(box), MsgIcon::Warning);
}

// The converted fields of a byte access.
struct ByteAccess {
    std::uint32_t type, bits, reg, data;
};

std::optional<ByteAccess> Convert(const I2cByteFields& f, bool withData) {
    const auto type = ParseHexInt(f.type);
    const auto bits = ParseHexInt(f.bits);
    const auto reg = ParseHexInt(f.reg);
    const auto data = withData ? ParseHexInt(f.data) : std::optional<std::uint32_t>(0);
    // The first field that is no number, by the page's caption (32 bits each).
    if (!type) SetCause(NotHexCause("Device Type Identifer", f.type, 8));
    else if (!bits) SetCause(NotHexCause("Device Adrs", f.bits, 8));
    else if (!reg) SetCause(NotHexCause("Reg Address", f.reg, 8));
    else if (!data) SetCause(NotHexCause("Write Data", f.data, 8));
    if (!type || !bits || !reg || !data) return std::nullopt;
    return ByteAccess{*type & 0x0F, *bits & 0x07, *reg & 0xFF, *data & 0xFF};
}

void Rewrite(I2cByteFields& f, const ByteAccess& a, std::uint8_t data) {
    f.type = HexField(a.type, 1);
    f.bits = HexField(a.bits, 1);
    f.reg = HexField(a.reg, 2);
    f.data = HexField(data, 2);
}

std::string AccessLine(const char* what, const ByteAccess& a, std::uint8_t data) {
    char line[128];
    std::snprintf(line, sizeof line, "I2C %s → DevType=%01Xh,DevAdrs=%01Xh,RegAdrs=%01Xh,%s=%02Xh",
                  what, a.type, a.bits, a.reg, what[0] == 'R' ? "RD" : "WD", data);
    return line;
}

// The command buffer from the four fields; nullopt when one does not convert.
std::optional<I2cCommandBuffer> CommandFromFields(const I2cCommandFields& f) {
    I2cCommandBuffer b{};
    for (std::size_t i = 0; i < f.bytes.size(); ++i) {
        const auto v = ParseHexInt(f.bytes[i]);
        if (!v) return std::nullopt;
        b[i] = static_cast<std::uint8_t>(*v);
    }
    return b;
}

void RewriteCommand(I2cCommandFields& f, const I2cCommandBuffer& b) {
    for (std::size_t i = 0; i < f.bytes.size(); ++i) f.bytes[i] = HexField(b[i], 2);
}

}  // namespace

std::optional<std::uint32_t> ParseHexInt(std::string_view text) {
    const auto v = ParseHexField(text);
    if (!v || *v > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<std::uint32_t>(*v);
}

// --- Request sequences ------------------------------------------------------

bool I2cWriteRegister(link::BoardHandle h, int port, std::uint8_t addressByte, std::uint8_t reg,
                      std::uint8_t data) {
    switch (port) {
        case 0:
            return link::VR_I2C1_WRITE(h, addressByte, reg, data);
        case 1:
            return link::VR_I2C2_WRITE(h, addressByte, reg, data);
        default:
            return false;
    }
}

bool I2cReadRegister(link::BoardHandle h, int port, std::uint8_t addressByte, std::uint8_t reg,
                     std::uint8_t& data) {
    switch (port) {
        case 0:
            return link::VR_I2C1_READ(h, addressByte, reg, data);
        case 1:
            return link::VR_I2C2_READ(h, addressByte, reg, data);
        default:
            return false;
    }
}

I2cCommandBuffer I2cCommandBytes(int mode, std::uint8_t addressByte, std::uint32_t reg,
                                 std::uint8_t last) {
    I2cCommandBuffer b{};
    std::size_t n = 0;
    b[n++] = addressByte;
    if (mode == 4) b[n++] = static_cast<std::uint8_t>(reg >> 8);
    b[n++] = static_cast<std::uint8_t>(reg);
    b[n] = last;
    return b;
}

bool I2cSendCommand(link::BoardHandle h, int port, int length, const I2cCommandBuffer& buffer) {
    return link::VR_I2CX_WRITE(h, static_cast<std::uint16_t>(port),
                               static_cast<std::uint16_t>(length), 1, buffer);
}

bool I2cReadCommand(link::BoardHandle h, int port, int length, const I2cCommandBuffer& buffer,
                    std::uint8_t& data) {
    return link::VR_I2CX_READ(h, static_cast<std::uint16_t>(port),
                              static_cast<std::uint16_t>(length), 1, buffer, data);
}

bool DacSend(link::BoardHandle h, int port, const std::array<std::uint8_t, 4>& bytes) {
    const auto word1 = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
    const auto word2 = static_cast<std::uint16_t>(bytes[2] << 8 | bytes[3]);
    switch (port) {
        case 0:
            return link::VR_DAC1_SET(h, word1, word2);
        case 1:
            return link::VR_DAC2_SET(h, word1, word2);
        default:
            return false;
    }
}

// --- Page operations --------------------------------------------------------

bool I2cByteRead(link::BoardHandle h, int port, I2cByteFields& fields, Reporter& reporter) {
    ClearCause();  // a new action
    const auto a = Convert(fields, false);
    std::uint8_t data = 0;
    if (!a || !I2cReadRegister(h, port, I2cAddressByte(a->type, a->bits),
                               static_cast<std::uint8_t>(a->reg), data)) {
        Fail(reporter, "I2C READ NG", kReadFailed);
        return false;
    }
    Rewrite(fields, *a, data);
    reporter.Log(AccessLine("Read", *a, data));
    return true;
}

bool I2cByteWrite(link::BoardHandle h, int port, I2cByteFields& fields, Reporter& reporter) {
    ClearCause();  // a new action
    const auto a = Convert(fields, true);
    const auto data = static_cast<std::uint8_t>(a ? a->data : 0);
    if (!a || !I2cWriteRegister(h, port, I2cAddressByte(a->type, a->bits),
                                static_cast<std::uint8_t>(a->reg), data)) {
        Fail(reporter, "I2C WRITE NG", kWriteFailed);
        return false;
    }
    Rewrite(fields, *a, data);
    reporter.Log(AccessLine("Write", *a, data));
    return true;
}

bool I2cCommandRead(link::BoardHandle h, int portIndex, int lengthIndex, I2cCommandFields& fields,
                    Reporter& reporter) {
    ClearCause();  // a new action
    const auto buffer = CommandFromFields(fields);
    std::uint8_t data = 0;
    if (!buffer ||
        !I2cReadCommand(h, portIndex == 0 ? 0 : 1, lengthIndex == 0 ? 3 : 4, *buffer, data)) {
        Fail(reporter, "I2C READ2 NG", kReadFailed);
        return false;
    }
    fields.result = HexField(data, 2);
    RewriteCommand(fields, *buffer);
    return true;
}

bool I2cCommandWrite(link::BoardHandle h, int portIndex, int lengthIndex, I2cCommandFields& fields,
                     Reporter& reporter) {
    ClearCause();  // a new action
    const auto buffer = CommandFromFields(fields);
    if (!buffer || !I2cSendCommand(h, portIndex == 0 ? 0 : 1, lengthIndex == 0 ? 3 : 4, *buffer)) {
        Fail(reporter, "I2C WRITE2 NG", kWriteFailed);
        return false;
    }
    RewriteCommand(fields, *buffer);
    return true;
}

bool DacParameterSet(link::BoardHandle h, int portIndex, const std::array<std::string, 4>& fields,
                     Reporter& reporter) {
    ClearCause();  // a new action
    std::array<std::uint8_t, 4> bytes{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto v = ParseHexInt(fields[i]);
        if (!v) {
            reporter.Message(Lang::Tr("無効な文字列です。"), MsgIcon::Warning);
            return false;
        }
        bytes[i] = static_cast<std::uint8_t>(*v);
    }
    if (!DacSend(h, portIndex == 0 ? 0 : 1, bytes)) {
        // The box has always named the part MCP4715; the log line has it right.
        Fail(reporter, QT_TRANSLATE_NOOP("Lang", "MCP4725ﾊﾟﾗﾒｰﾀｾｯﾄに失敗しました。"),
             QT_TRANSLATE_NOOP("Lang", "MCP4715ﾊﾟﾗﾒｰﾀｾｯﾄに失敗しました。"));
        return false;
    }
    return true;
}

}  // namespace quillon::features
