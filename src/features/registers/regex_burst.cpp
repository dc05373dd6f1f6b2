#include "features/registers/regex_burst.h"

#include <algorithm>
#include <cstdio>

#include "features/hex_field.h"
#include "features/registers/reg_page_ops.h"
#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/settings_store.h"

namespace quillon::features {

namespace {

// A cell or an input box may hold any length of text; the message quotes it whole.
std::string Printf(const char* format, auto... args) {
    int n = std::snprintf(nullptr, 0, format, args...);
    if (n <= 0) return {};
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(s.data(), s.size(), format, args...);
    s.resize(static_cast<std::size_t>(n));
    return s;
}

bool CheckBurst(int address, int length, Reporter& reporter) {
    ClearCause();  // a new action
    if (address < 0 || address >= kRegExAddressCount) {
        reporter.Message("ﾚｼﾞｽﾀｱﾄﾞﾚｽが範囲外です。", MsgIcon::Warning);
        return false;
    }
    if (length < 1 || length > kRegExBurstMax) {
        reporter.Message("ﾚｼﾞｽﾀﾚﾝｸﾞｽが範囲外です。", MsgIcon::Warning);
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
        reporter.FailBox(kRegExReadFailed, MsgIcon::Warning);
        return false;
    }
    std::copy_n(buffer.begin(), length, out.begin());
    reporter.Log(Printf("[ﾚｼﾞｽﾀﾘｰﾄﾞEX] ｱﾄﾞﾚｽ=%d,ﾚﾝｸﾞｽ=%d", address, length));
    return true;
}

bool RegExBurstWrite(link::BoardHandle h, int address, int length, const RegExBurst& bytes,
                     Reporter& reporter) {
    if (!CheckBurst(address, length, reporter)) return false;
    if (!link::VR_REGEX_WRITE(
            h, static_cast<std::uint16_t>(address),
            std::span<const std::uint8_t>(bytes).first(static_cast<std::size_t>(length)))) {
        reporter.Fail("REG WRITE NG");
        reporter.FailBox(kRegExWriteFailed, MsgIcon::Warning);
        return false;
    }
    reporter.Log(Printf("[ﾚｼﾞｽﾀﾗｲﾄEX] ｱﾄﾞﾚｽ=%d,ﾚﾝｸﾞｽ=%d", address, length));
    return true;
}

std::optional<RegExBurst> RegExParseCells(RegExCells& cells, Reporter& reporter) {
    RegExBurst bytes{};
    for (std::size_t i = 0; i < cells.size(); ++i) {
        std::optional<std::uint64_t> v = ParseHexField(cells[i]);
        if (!v) {
            reporter.Message(
                Printf("[%s]は無効な数値です。\n有効な数値は0～FFです。", cells[i].c_str()),
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
        reporter.Message(
            Printf("[%s]は無効な数値です。\n有効な数値は%d～%dです。", text.c_str(), lo, hi),
            MsgIcon::Warning);
        return std::nullopt;
    }
    if (*v < lo || *v > hi) {
        reporter.Message(
            Printf("[%s]は範囲外です。\n有効な数値は%d～%dです。", text.c_str(), lo, hi),
            MsgIcon::Warning);
        return std::nullopt;
    }
    return v;
}

}  // namespace quillon::features
