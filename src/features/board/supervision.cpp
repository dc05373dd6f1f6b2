#include "features/board/supervision.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/prompter.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

void Fail(Reporter& reporter, const std::string& text) {
    reporter.Fail(text);
    reporter.FailBox(text, MsgIcon::Warning);
}

void Tell(Reporter& reporter, const std::string& text) {
    reporter.Log(text);
    reporter.Message(text, MsgIcon::Information);
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

// What the two "change" items share: the input box and the conversion.
std::optional<std::uint8_t> AskByte(const std::string& caption, const std::string& prompt,
                                    Reporter& reporter) {
    const std::optional<std::string> text = Prompts().Input(caption, prompt, "");
    if (!text) return std::nullopt;
    const std::optional<std::int32_t> value = ParseDecimalInput(*text);
    if (!value) {
        reporter.Message(Lang::Tr("整数値で入力してください。"), MsgIcon::Warning);
        return std::nullopt;
    }
    // The board keeps one byte: 300 becomes 44, -1 becomes 255.
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(*value) & 0xFF);
}

}  // namespace

// --- Temperature --------------------------------------------------------------

TempReading FormatTemperature(std::uint16_t raw) {
    TempReading r;
    r.raw = raw;
    const std::string number = Format("%02d.%02d", raw >> 8, raw & 0xFF);
    r.text = number + "℃";
    std::from_chars(number.data(), number.data() + number.size(), r.value);
    return r;
}

std::optional<TempReading> TemperatureReadAndShow(link::BoardHandle h, Reporter& reporter) {
    ClearCause();  // a new action
    std::uint16_t raw = 0;
    if (!link::VR_TEMP_READ(h, 0, raw)) return std::nullopt;
    TempReading r = FormatTemperature(raw);
    reporter.Log(r.text);
    return r;
}

void TemperatureFailed(Reporter& reporter) {
    Fail(reporter, Lang::Tr("FPGA温度取得失敗しました。"));
}

bool TempChart::Append(double value) {
    points_.push_back(value);
    if (points_.size() <= static_cast<std::size_t>(kInView)) return false;
    xMin_ += 1;
    xMax_ += 1;
    return true;
}

std::pair<double, double> TempChart::YRange() const {
    const auto first = static_cast<std::size_t>(std::max(0.0, xMin_));
    if (first >= points_.size()) return {0.0, 100.0};
    const auto [lo, hi] = std::minmax_element(points_.begin() + first, points_.end());
    // A flat line still gets a band around it.
    const double margin = std::max((*hi - *lo) * 0.1, 0.5);
    return {*lo - margin, *hi + margin};
}

// --- Suspend ------------------------------------------------------------------

bool SuspendSet(link::BoardHandle h, bool suspend, Reporter& reporter) {
    ClearCause();  // a new action
    if (!link::VR_SUSPEND_SET(h, suspend ? 1 : 0)) {
        Fail(reporter, Lang::Tr("ｻｽﾍﾟﾝﾄﾞﾓｰﾄﾞ切り換えに失敗しました。"));
        return false;
    }
    reporter.Status(Lang::Tr("SUSPENDﾓｰﾄﾞを切り換えました。"));
    return true;
}

// --- Temperature alert and watchdog -------------------------------------------

bool TempAlertWrite(link::BoardHandle h, std::uint8_t degrees) {
    return link::VR_TEMPALERT_SET(h, degrees);
}

bool TempAlertRead(link::BoardHandle h, std::uint8_t& degrees) {
    return link::VR_TEMPALERT_GET(h, degrees);
}

std::optional<std::int32_t> ParseDecimalInput(std::string_view text) {
    auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    const bool plus = !text.empty() && text.front() == '+';
    if (plus) text.remove_prefix(1);
    if (text.empty() || (plus && text.front() == '-')) return std::nullopt;
    std::int32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

bool TempAlertChange(link::BoardHandle h, Reporter& reporter, std::uint8_t* degrees) {
    ClearCause();  // a new action
    const auto value =
        AskByte(Lang::Tr("温度警告設定値の変更"),
                Lang::Tr("温度警告の設定値を整数(0-255)で入力してください｡"), reporter);
    if (!value) return false;
    if (!TempAlertWrite(h, *value)) {
        Fail(reporter, Lang::Tr("温度警告設定値の変更に失敗しました。"));
        return false;
    }
    if (degrees) *degrees = static_cast<std::uint8_t>(*value);
    Tell(reporter, Lang::Fill(QT_TRANSLATE_NOOP("Lang", "温度警告温度を %1℃ に変更しました。"),
                              static_cast<int>(*value)));
    return true;
}

bool TempAlertShow(link::BoardHandle h, Reporter& reporter, std::uint8_t* degrees) {
    ClearCause();  // a new action
    std::uint8_t value = 0;
    if (!TempAlertRead(h, value)) {
        Fail(reporter, Lang::Tr("温度警告設定値の取得に失敗しました。"));
        return false;
    }
    if (degrees) *degrees = value;
    Tell(reporter, Lang::Fill(QT_TRANSLATE_NOOP("Lang", "現在の温度警告設定値は %1℃ です。"),
                              static_cast<int>(value)));
    return true;
}

bool WatchdogChange(link::BoardHandle h, Reporter& reporter) {
    ClearCause();  // a new action
    const auto value =
        AskByte(Lang::Tr("ｳｵｯﾁﾄﾞｸﾞﾀｲﾏ設定値の変更"),
                Lang::Tr("ｳｵｯﾁﾄﾞｸﾞﾀｲﾏの設定値を整数(0-255秒)で入力してください｡"), reporter);
    if (!value) return false;
    if (!link::VR_WATCHDOG_SET(h, *value)) {
        Fail(reporter, Lang::Tr("ｳｵｯﾁﾄﾞｸﾞﾀｲﾏ設定値の変更に失敗しました。"));
        return false;
    }
    Tell(reporter,
         *value == 0
             ? Lang::Tr("ｳｵｯﾁﾄﾞｸﾞﾀｲﾏを無効に設定しました。")
             : Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ｳｵｯﾁﾄﾞｸﾞﾀｲﾏの設定値を %1秒 に変更しました。"),
                          static_cast<int>(*value)));
    return true;
}

bool WatchdogShow(link::BoardHandle h, Reporter& reporter) {
    ClearCause();  // a new action
    std::uint8_t value = 0;
    if (!link::VR_WATCHDOG_GET(h, value)) {
        Fail(reporter, Lang::Tr("ｳｵｯﾁﾄﾞｸﾞﾀｲﾏ設定値の取得に失敗しました。"));
        return false;
    }
    Tell(reporter, value == 0
                       ? Lang::Tr("ｳｵｯﾁﾄﾞｸﾞﾀｲﾏは無効に設定されています。")
                       : Lang::Fill(QT_TRANSLATE_NOOP("Lang", "現在のｳｵｯﾁﾄﾞｸﾞﾀｲﾏは %1秒です。"),
                                    static_cast<int>(value)));
    return true;
}

// --- Firmware reset -----------------------------------------------------------

bool FirmwareReset(link::BoardHandle h, Reporter& reporter) {
    ClearCause();  // a new action
    if (link::VR_FW_RESET(h)) return true;
    // Not a failure: the firmware restarted before it could answer, which
    // is what a reset does. The board leaving is no cause to tell.
    const std::string done = Lang::Tr("FX3ﾌｧｰﾑｳｪｱﾘｾｯﾄを実行しました。");
    reporter.Log(done);
    reporter.Message(done, MsgIcon::Warning);
    ClearCause();
    return false;
}

}  // namespace quillon::features
