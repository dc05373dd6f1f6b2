#include "features/registers/reg_wait.h"

#include <cstdio>
#include <optional>

#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/settings_store.h"

namespace quillon::features {

bool RegWaitSet(link::BoardHandle h, RegWaitKind kind, std::string_view text, Reporter& reporter) {
    const bool read = kind == RegWaitKind::Read;
    ClearCause();  // a new action
    if (h == link::kNoBoard) {
        reporter.Message("ﾃﾞﾊﾞｲｽが見つかりません。", MsgIcon::Warning);
        return false;
    }
    std::optional<int> value = ParseStoredInteger(text);
    if (!value) {
        SetCause(NotIntegerCause(read ? "ﾚｼﾞｽﾀﾘｰﾄﾞ" : "ﾚｼﾞｽﾀﾗｲﾄ", text));
        reporter.FailBox("無効な文字列です。", MsgIcon::Warning);
        return false;
    }
    // The firmware takes one byte. A negative entry wraps the same way the wire
    // does, so the logged count is the count the board got (-1 sets 255).
    const int cycles = ((*value % 256) + 256) % 256;
    if (!link::VR_REG_WAIT(h, read ? 0 : 1, static_cast<std::uint32_t>(cycles))) {
        if (read) {
            reporter.Fail("ﾚｼﾞｽﾀﾘｰﾄﾞのｳｪｲﾄ設定に失敗しました");
            reporter.FailBox("ﾚｼﾞｽﾀﾘｰﾄﾞのｳｪｲﾄ設定に失敗しました。", MsgIcon::Warning);
        } else {
            reporter.Fail("ﾚｼﾞｽﾀﾗｲﾄのｳｪｲﾄ設定に失敗しました");
            reporter.FailBox("ﾚｼﾞｽﾀﾗｲﾄのｳｪｲﾄ設定に失敗しました。", MsgIcon::Warning);
        }
        return false;
    }
    char line[160];
    std::snprintf(line, sizeof line,
                  read ? "[ﾚｼﾞｽﾀﾘｰﾄﾞｳｪｲﾄ] ﾘｰﾄﾞｳｪｲﾄｻｲｸﾙを｢%d｣に設定しました。"
                       : "[ﾚｼﾞｽﾀﾗｲﾄｳｪｲﾄ] ﾗｲﾄｳｪｲﾄｻｲｸﾙを｢%d｣に設定しました。",
                  cycles);
    reporter.Log(line);
    return true;
}

}  // namespace quillon::features
