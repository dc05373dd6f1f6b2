#include "platform/cause.h"

#include <cstring>

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

std::string Quoted(std::string_view field, std::string_view text) {
    return std::string(field) + ": 「" + std::string(text) + "」";
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
    return "ﾌｧｲﾙ「" + std::string(path) + "」: " + std::string(why);
}

std::string FileErrorCause(std::string_view path, int error) {
    return FileCause(path, SystemErrorText(error));
}

std::string NotRegularFileCause(std::string_view path, bool folder) {
    return FileCause(path, folder ? "ﾌｫﾙﾀﾞです" : "通常のﾌｧｲﾙではありません(FIFO、ﾃﾞﾊﾞｲｽ等)");
}

std::string NotHexCause(std::string_view field, std::string_view text, int maxDigits) {
    if (text.empty()) return std::string(field) + ": 値がありません";
    bool digits = true;
    for (char c : text) digits = digits && IsHexDigit(c);
    std::size_t significant = text.find_first_not_of('0');
    significant = significant == std::string_view::npos ? 0 : text.size() - significant;
    if (digits && significant > static_cast<std::size_t>(maxDigits))
        return Quoted(field, text) + "は" + std::to_string(maxDigits) + "桁を超えています";
    return Quoted(field, text) + "は16進数ではありません";
}

std::string NotIntegerCause(std::string_view field, std::string_view text) {
    if (text.empty()) return std::string(field) + ": 値がありません";
    return Quoted(field, text) + "は整数ではありません";
}

std::string OutOfRangeCause(std::string_view field, std::string_view text, long long lo,
                            long long hi) {
    return Quoted(field, text) + "は範囲外です(" + std::to_string(lo) + "～" + std::to_string(hi) +
           ")";
}

}  // namespace quillon
