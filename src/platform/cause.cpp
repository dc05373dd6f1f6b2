#include "platform/cause.h"

#include <cstring>

#include "platform/ui_text.h"

namespace quillon {

namespace {

thread_local std::optional<std::string> t_cause;

// strerror_r comes in two forms: the GNU one returns the text, the POSIX one
// fills the buffer and returns 0.
[[maybe_unused]] const char* ErrorTextOf(int result, const char* buffer) {
    return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* ErrorTextOf(const char* result, const char*) {
    return result;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

void SetCause(std::string text) {
    t_cause = std::move(text);
}

void SetCauseIfNone(std::string text) {
    if (!t_cause) t_cause = std::move(text);
}

bool HasCause() {
    return t_cause.has_value();
}

std::optional<std::string> PeekCause() {
    return t_cause;
}

std::optional<std::string> TakeCause() {
    std::optional<std::string> cause = std::move(t_cause);
    t_cause.reset();
    return cause;
}

void ClearCause() {
    t_cause.reset();
}

std::string SystemErrorText(int error) {
    char buffer[256] = {};
    const char* text = ErrorTextOf(::strerror_r(error, buffer, sizeof buffer), buffer);
    if (text && *text) return text;
    return "error " + std::to_string(error);
}

std::string FileCause(std::string_view path, std::string_view why) {
    return Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾌｧｲﾙ「%1」: %2"), path, why);
}

std::string FileErrorCause(std::string_view path, int error) {
    return FileCause(path, SystemErrorText(error));
}

std::string NotRegularFileCause(std::string_view path, bool folder) {
    return FileCause(
        path, Lang::MarkedStd(
                  folder ? QT_TRANSLATE_NOOP("Lang", "ﾌｫﾙﾀﾞです")
                         : QT_TRANSLATE_NOOP("Lang", "通常のﾌｧｲﾙではありません(FIFO、ﾃﾞﾊﾞｲｽ等)")));
}

std::string NotHexCause(std::string_view field, std::string_view text, int maxDigits) {
    if (text.empty()) return Lang::Fill(QT_TRANSLATE_NOOP("Lang", "%1: 値がありません"), field);
    bool digits = true;
    for (char c : text) digits = digits && IsHexDigit(c);
    std::size_t significant = text.find_first_not_of('0');
    significant = significant == std::string_view::npos ? 0 : text.size() - significant;
    if (digits && significant > static_cast<std::size_t>(maxDigits))
        return Lang::Fill(QT_TRANSLATE_NOOP("Lang", "%1: 「%2」は%3桁を超えています"), field, text,
                          maxDigits);
    return Lang::Fill(QT_TRANSLATE_NOOP("Lang", "%1: 「%2」は16進数ではありません"), field, text);
}

std::string NotIntegerCause(std::string_view field, std::string_view text) {
    if (text.empty()) return Lang::Fill(QT_TRANSLATE_NOOP("Lang", "%1: 値がありません"), field);
    return Lang::Fill(QT_TRANSLATE_NOOP("Lang", "%1: 「%2」は整数ではありません"), field, text);
}

std::string OutOfRangeCause(std::string_view field, std::string_view text, long long lo,
                            long long hi) {
    return Lang::Fill(QT_TRANSLATE_NOOP("Lang", "%1: 「%2」は範囲外です(%3～%4)"), field, text, lo,
                      hi);
}

}  // namespace quillon
