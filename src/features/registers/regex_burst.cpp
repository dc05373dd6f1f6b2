#include "features/registers/regex_burst.h"

#include <algorithm>

#include "features/hex_field.h"
#include "features/registers/reg_page_ops.h"
#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/settings_store.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

bool CheckBurst(int address, int length, Reporter& reporter) {
    ClearCause();  // a new action
    if (address < 0 || address >= kRegExAddressCount) {
        reporter.Message(Lang::Tr("ﾚｼﾞｽﾀｱﾄﾞﾚｽが範囲外です。"), MsgIcon::Warning);
        return false;
    }
    if (length < 1 || length > kRegExBurstMax) {
        reporter.Message(Lang::Tr("ﾚｼﾞｽﾀﾚﾝｸﾞｽが範囲外です。"), MsgIcon::Warning);
        return false;
    }
    return true;
}

}  // namespace

bool RegExBurstRead(link::BoardHandle h, int address, int length, RegExBurst& out,
                    Reporter& reporter) {
    if (!CheckBurst(address, length, reporter)) return false;
    RegExBurst buffer{};
    if (!link::VR_REGEX_READ(h, static_cast<std::uint16_t>(address),
                             std::span(buffer).first(static_cast<std::size_t>(length)))) {
        reporter.Fail("REG READ NG");
        reporter.FailBox(Lang::MarkedStd(kRegExReadFailed), MsgIcon::Warning);
        return false;
    }
    std::copy_n(buffer.begin(), length, out.begin());
    reporter.Log(
        Lang::Fill(QT_TRANSLATE_NOOP("Lang", "[ﾚｼﾞｽﾀﾘｰﾄﾞEX] ｱﾄﾞﾚｽ=%1,ﾚﾝｸﾞｽ=%2"), address, length));
    return true;
}

bool RegExBurstWrite(link::BoardHandle h, int address, int length, const RegExBurst& bytes,
                     Reporter& reporter) {
    if (!CheckBurst(address, length, reporter)) return false;
    if (!link::VR_REGEX_WRITE(
            h, static_cast<std::uint16_t>(address),
            std::span<const std::uint8_t>(bytes).first(static_cast<std::size_t>(length)))) {
        reporter.Fail("REG WRITE NG");
        reporter.FailBox(Lang::MarkedStd(kRegExWriteFailed), MsgIcon::Warning);
        return false;
    }
    reporter.Log(
        Lang::Fill(QT_TRANSLATE_NOOP("Lang", "[ﾚｼﾞｽﾀﾗｲﾄEX] ｱﾄﾞﾚｽ=%1,ﾚﾝｸﾞｽ=%2"), address, length));
    return true;
}

std::optional<RegExBurst> RegExParseCells(RegExCells& cells, Reporter& reporter) {
    RegExBurst bytes{};
    for (std::size_t i = 0; i < cells.size(); ++i) {
        std::optional<std::uint64_t> v = ParseHexField(cells[i]);
        if (!v) {
            reporter.Message(
                Lang::Fill(
                    QT_TRANSLATE_NOOP("Lang", "[%1]は無効な数値です。\n有効な数値は0～FFです。"),
                    cells[i]),
                MsgIcon::Warning);
            return std::nullopt;
        }
        bytes[i] = static_cast<std::uint8_t>(*v);
        cells[i] = HexField(bytes[i], 2);
    }
    return bytes;
}

std::optional<int> RegExRangeInput(const std::string& text, int lo, int hi, Reporter& reporter) {
    std::optional<int> v = ParseStoredInteger(text);
    if (!v) {
        reporter.Message(Lang::Fill(QT_TRANSLATE_NOOP(
                                        "Lang", "[%1]は無効な数値です。\n有効な数値は%2～%3です。"),
                                    text, lo, hi),
                         MsgIcon::Warning);
        return std::nullopt;
    }
    if (*v < lo || *v > hi) {
        reporter.Message(
            Lang::Fill(QT_TRANSLATE_NOOP("Lang", "[%1]は範囲外です。\n有効な数値は%2～%3です。"),
                       text, lo, hi),
            MsgIcon::Warning);
        return std::nullopt;
    }
    return v;
}

}  // namespace quillon::features
