#include "features/registers/reg_wait.h"

#include <cstdio>
#include <optional>

#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/settings_store.h"
#include "platform/ui_text.h"

namespace quillon::features {

bool RegWaitSet(link::BoardHandle h, RegWaitKind kind, std::string_view text, Reporter& reporter) {
    const bool read = kind == RegWaitKind::Read;
    ClearCause();  // a new action
    if (h == link::kNoBoard) {
        reporter.Message(Lang::Tr("ﾃﾞﾊﾞｲｽが見つかりません。"), MsgIcon::Warning);
        return false;
    }
    std::optional<int> value = ParseStoredInteger(text);
    if (!value) {
        SetCause(NotIntegerCause(read ? Lang::Tr("ﾚｼﾞｽﾀﾘｰﾄﾞ") : Lang::Tr("ﾚｼﾞｽﾀﾗｲﾄ"), text));
        reporter.FailBox(Lang::Tr("無効な文字列です。"), MsgIcon::Warning);
        return false;
    }
    // The firmware takes one byte. A negative entry wraps the same way the wire
    // does, so the logged count is the count the board got (-1 sets 255).
    const int cycles = ((*value % 256) + 256) % 256;
    if (!link::VR_REG_WAIT(h, read ? 0 : 1, static_cast<std::uint32_t>(cycles))) {
        if (read) {
            reporter.Fail(Lang::Tr("ﾚｼﾞｽﾀﾘｰﾄﾞのｳｪｲﾄ設定に失敗しました"));
            reporter.FailBox(Lang::Tr("ﾚｼﾞｽﾀﾘｰﾄﾞのｳｪｲﾄ設定に失敗しました。"), MsgIcon::Warning);
        } else {
            reporter.Fail(Lang::Tr("ﾚｼﾞｽﾀﾗｲﾄのｳｪｲﾄ設定に失敗しました"));
            reporter.FailBox(Lang::Tr("ﾚｼﾞｽﾀﾗｲﾄのｳｪｲﾄ設定に失敗しました。"), MsgIcon::Warning);
        }
        return false;
    }
    reporter.Log(Lang::Fill(
        read ? QT_TRANSLATE_NOOP("Lang", "[ﾚｼﾞｽﾀﾘｰﾄﾞｳｪｲﾄ] ﾘｰﾄﾞｳｪｲﾄｻｲｸﾙを｢%1｣に設定しました。")
             : QT_TRANSLATE_NOOP("Lang", "[ﾚｼﾞｽﾀﾗｲﾄｳｪｲﾄ] ﾗｲﾄｳｪｲﾄｻｲｸﾙを｢%1｣に設定しました。"),
        cycles));
    return true;
}

}  // namespace quillon::features
