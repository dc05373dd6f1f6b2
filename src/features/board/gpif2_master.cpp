#include "features/board/gpif2_master.h"

#include <array>
#include <cstdio>

#include "features/hex_field.h"
#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

void Fail(Reporter& reporter, const std::string& text) {
    reporter.Fail(text);
    reporter.FailBox(text, MsgIcon::Warning);
}

const char* BaseName(G2mBase which) {
    return which == G2mBase::Reg ? "REG_BASE_ADRS" : "MEM_BASE_ADRS";
}

std::uint32_t BaseAddress(G2mBase which) {
    return which == G2mBase::Reg ? kG2mRegBaseAdrs : kG2mMemBaseAdrs;
}

}  // namespace

bool BlockWrite32(link::BoardHandle h, std::uint32_t address, std::uint32_t value) {
    const std::array<std::uint8_t, 4> bytes = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return link::VR_REG512_WRITE(h, address, bytes);
}

bool BlockRead32(link::BoardHandle h, std::uint32_t address, std::uint32_t& value) {
    return link::VR_REG512_READ32(h, address, value);
}

bool G2mBaseWrite(link::BoardHandle h, G2mBase which, std::string_view input, Reporter& reporter) {
    ClearCause();  // a new action
    const auto parsed = ParseHexField(input);
    if (!parsed) return false;
    const auto value = static_cast<std::uint32_t>(*parsed);
    const std::string name = BaseName(which);
    if (!BlockWrite32(h, BaseAddress(which), value)) {
        Fail(reporter, Lang::Fill(QT_TRANSLATE_NOOP("Lang", "G2M:%1の設定に失敗しました。"), name));
        return false;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x", value);
    reporter.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "G2M:%1=%2h に設定しました。"), name, hex));
    return true;
}

std::optional<std::string> G2mBaseRead(link::BoardHandle h, G2mBase which, Reporter& reporter) {
    ClearCause();  // a new action
    std::uint32_t value = 0;
    if (!BlockRead32(h, BaseAddress(which), value)) {
        Fail(reporter, Lang::Fill(QT_TRANSLATE_NOOP("Lang", "G2M:%1の取得に失敗しました。"),
                                  BaseName(which)));
        return std::nullopt;
    }
    return HexField(value, 8);
}

bool CapStartIssue(link::BoardHandle h, Reporter& reporter) {
    ClearCause();  // a new action
    if (!BlockWrite32(h, kCapStart, 1)) {
        Fail(reporter, Lang::Tr("C2M:CAP_STARTｺﾏﾝﾄﾞの発行に失敗しました。"));
        return false;
    }
    reporter.Log("CAP_START OK!!");
    return true;
}

bool CapRegistersDump(link::BoardHandle h, Reporter& reporter) {
    ClearCause();  // a new action
    reporter.Log("----");
    for (int i = 0; i < kCapRegisterCount; ++i) {
        std::uint32_t value = 0;
        if (!BlockRead32(h, kCapRegisters + static_cast<std::uint32_t>(i), value)) {
            Fail(reporter, Lang::Tr("C2Mﾚｼﾞｽﾀの取得に失敗しました。"));
            return false;
        }
        reporter.Log(HexField(value, 8));
    }
    return true;
}

bool DmaStartSet(link::BoardHandle h, Reporter& reporter) {
    ClearCause();  // a new action
    if (!BlockWrite32(h, kDmaStartAdrs, kDmaStartValue)) {
        Fail(reporter, Lang::Tr("C2M:DMAｽﾀｰﾄｱﾄﾞﾚｽの設定に失敗しました。"));
        return false;
    }
    reporter.Log("SET DMA_START_ADRS OK!!");
    return true;
}

}  // namespace quillon::features
