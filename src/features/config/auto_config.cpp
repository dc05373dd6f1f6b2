#include "features/config/auto_config.h"

#include <filesystem>
#include <system_error>

#include "features/config/fpga_load.h"
#include "platform/platform.h"
#include "platform/ui_text.h"

namespace quillon::features {

AutoConfigSettings AutoConfigSettings::Read(const SettingsStore& store) {
    AutoConfigSettings s;
    s.enabled = store.ReadBool(kSetup, "AUTO_CONFIG", false);
    s.xilinx = store.ReadBool(kSetup, "AUTO_CONFIG_MODE", false);
    s.path = store.ReadString(kSetup, "AUTO_CONFIG_NAME", "*.rbf");
    s.bitswap = store.ReadBool(kSetup, "AUTO_CONFIG_BITSWAP", false);
    s.encrypt = store.ReadBool(kSetup, "AUTO_CONFIG_ENCRYPT", false);
    s.tessera = store.ReadBool(kSetup, "AUTO_CONFIG_TESSERA", false);
    return s;
}

namespace {

// The mode's text, marked; translated where it is handed out.
const char* ModeText(bool tessera, bool xilinx, bool bitswap, bool encrypt, bool atStartup) {
    if (tessera) {
        if (xilinx) return QT_TRANSLATE_NOOP("Lang", "Xilinx+Tesseraﾓｰﾄﾞ");
        return encrypt ? QT_TRANSLATE_NOOP("Lang", "ALTERA+Tessera+Encryptﾓｰﾄﾞ")
                       : QT_TRANSLATE_NOOP("Lang", "ALTERA+Tesseraﾓｰﾄﾞ");
    }
    if (!xilinx) return QT_TRANSLATE_NOOP("Lang", "ALTERAﾓｰﾄﾞ");
    if (atStartup)
        return bitswap ? QT_TRANSLATE_NOOP("Lang", "Xilinxﾓｰﾄﾞ(+BITSWAP)")
                       : QT_TRANSLATE_NOOP("Lang", "Xilinxﾓｰﾄﾞ");
    if (bitswap)
        return encrypt ? QT_TRANSLATE_NOOP("Lang", "Xilinxﾓｰﾄﾞ(+BITSWAP+ENCRYPT)")
                       : QT_TRANSLATE_NOOP("Lang", "Xilinxﾓｰﾄﾞ(+BITSWAP)");
    return encrypt ? QT_TRANSLATE_NOOP("Lang", "Xilinxﾓｰﾄﾞ(+ENCRYPT)")
                   : QT_TRANSLATE_NOOP("Lang", "Xilinxﾓｰﾄﾞ");
}

}  // namespace

std::string AutoConfigModeAfterDialog(bool tessera, bool xilinx, bool bitswap, bool encrypt) {
    return Lang::MarkedStd(ModeText(tessera, xilinx, bitswap, encrypt, false));
}

std::string AutoConfigModeAtStartup(bool tessera, bool xilinx, bool bitswap, bool encrypt) {
    return Lang::MarkedStd(ModeText(tessera, xilinx, bitswap, encrypt, true));
}

AutoConfigResult RunAutoConfig(link::BoardHandle h, const AutoConfigSettings& s, Reporter& r) {
    AutoConfigResult result;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(s.path, ec)) {
        r.Log(Lang::Tr("ｵｰﾄｺﾝﾌｨｸﾞ失敗(ﾌｧｲﾙ無し)"));
        return result;
    }
    const std::uint64_t start = platform::TickMs();
    const bool ok = s.tessera ? FpgaConfigureTesseraAltera(h, s.path, s.encrypt, r)
                              : FpgaConfigure(h, s.path, s.xilinx, s.bitswap, s.encrypt, r);
    if (ok) {
        result.outcome = AutoConfigResult::Outcome::Loaded;
        result.elapsedMs = platform::TickMs() - start;
        r.Log("AUTO Config[" + s.path + "]");
        r.Log(" → " +
              Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ｵｰﾄｺﾝﾌｨｸﾞ時間：%1ms"), result.elapsedMs));
    } else {
        result.outcome = AutoConfigResult::Outcome::Failed;
        r.Fail(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ｵｰﾄｺﾝﾌｨｸﾞ失敗 → %1"), s.path));
    }
    return result;
}

}  // namespace quillon::features
