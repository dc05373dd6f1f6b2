#include "features/board/gpio.h"

#include "features/hex_field.h"
#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

bool PortOk(int port) {
    return port >= 0 && port < kGpioPorts;
}

void Fail(Reporter& reporter, const std::string& text) {
    reporter.Fail(text);
    reporter.FailBox(text, MsgIcon::Warning);
}

}  // namespace

bool GpioSetDirection(link::BoardHandle h, int port, bool output) {
    return PortOk(port) && link::VR_GPIO_DIR(h, static_cast<std::uint16_t>(port), output ? 1 : 0);
}

bool GpioWriteByte(link::BoardHandle h, int port, std::uint8_t value) {
    return PortOk(port) && link::VR_GPIO_WRITE(h, static_cast<std::uint16_t>(port), value);
}

bool GpioReadByte(link::BoardHandle h, int port, std::uint8_t& value) {
    return PortOk(port) && link::VR_GPIO_READ(h, static_cast<std::uint16_t>(port), value);
}

const char* GpioPortLetter(int port) {
    static const char* const kLetters[kGpioPorts] = {"A", "C", "E"};
    return PortOk(port) ? kLetters[port] : "?";
}

bool GpioDirectionSet(link::BoardHandle h, int port, const std::string& direction,
                      Reporter& reporter) {
    ClearCause();  // a new action
    const bool output = direction == "OUT";
    if (port == 0) reporter.Log(output ? "OUT" : "IN");
    if (!GpioSetDirection(h, port, output)) {
        Fail(reporter, Lang::Tr("GPIO-DIR切り換えに失敗しました。"));
        return false;
    }
    reporter.Status(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "Port%1のDIR(%2)を切り換えました。"),
                               GpioPortLetter(port), direction));
    return true;
}

std::optional<std::string> GpioRead(link::BoardHandle h, int port, Reporter& reporter) {
    ClearCause();  // a new action
    std::uint8_t value = 0;
    if (!GpioReadByte(h, port, value)) {
        Fail(reporter, Lang::Tr("GPIO-Readに失敗しました。"));
        return std::nullopt;
    }
    reporter.Status(Lang::Tr("GPIO-Read成功"));
    return HexField(value, 2);
}

std::optional<std::string> GpioWrite(link::BoardHandle h, int port, std::string_view field,
                                     Reporter& reporter) {
    ClearCause();  // a new action
    const auto value = ParseHexField(field);
    if (!value) {
        SetCause(NotHexCause("Port " + std::string(GpioPortLetter(port)) + " Write", field));
        Fail(reporter, Lang::Tr("ﾗｲﾄﾃﾞｰﾀが無効です。"));
        return std::nullopt;
    }
    const auto byte = static_cast<std::uint8_t>(*value);
    if (!GpioWriteByte(h, port, byte)) {
        Fail(reporter, Lang::Tr("GPIO-Writeに失敗しました。"));
        return std::nullopt;
    }
    reporter.Status(Lang::Tr("GPIO-Write成功"));
    return HexField(byte, 2);
}

}  // namespace quillon::features
