#include "features/config/auto_config.h"

#include <filesystem>
#include <system_error>

#include "features/config/fpga_load.h"
#include "platform/platform.h"

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

std::string ModeText(bool tessera, bool xilinx, bool bitswap, bool encrypt, bool atStartup) {
    if (tessera) {
        if (xilinx) return "Xilinx+Tesseraﾓｰﾄﾞ";
        return encrypt ? "ALTERA+Tessera+Encryptﾓｰﾄﾞ" : "ALTERA+Tesseraﾓｰﾄﾞ";
    }
    if (!xilinx) return "ALTERAﾓｰﾄﾞ";
    if (atStartup) return bitswap ? "Xilinxﾓｰﾄﾞ(+BITSWAP)" : "Xilinxﾓｰﾄﾞ";
    if (bitswap) return encrypt ? "Xilinxﾓｰﾄﾞ(+BITSWAP+ENCRYPT)" : "Xilinxﾓｰﾄﾞ(+BITSWAP)";
    return encrypt ? "Xilinxﾓｰﾄﾞ(+ENCRYPT)" : "Xilinxﾓｰﾄﾞ";
}

}  // namespace

std::string AutoConfigModeAfterDialog(bool tessera, bool xilinx, bool bitswap, bool encrypt) {
    return ModeText(tessera, xilinx, bitswap, encrypt, false);
}

std::string AutoConfigModeAtStartup(bool tessera, bool xilinx, bool bitswap, bool encrypt) {
    return ModeText(tessera, xilinx, bitswap, encrypt, true);
}

AutoConfigResult RunAutoConfig(link::BoardHandle h, const AutoConfigSettings& s, Reporter& r) {
    AutoConfigResult result;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(s.path, ec)) {
        r.Log("ｵｰﾄｺﾝﾌｨｸﾞ失敗(ﾌｧｲﾙ無し)");
        return result;
    }
    const std::uint64_t start = platform::TickMs();
    const bool ok = s.tessera ? FpgaConfigureTesseraAltera(h, s.path, s.encrypt, r)
                              : FpgaConfigure(h, s.path, s.xilinx, s.bitswap, s.encrypt, r);
    if (ok) {
        result.outcome = AutoConfigResult::Outcome::Loaded;
        result.elapsedMs = platform::TickMs() - start;
        r.Log("AUTO Config[" + s.path + "]");
        r.Log(" → ｵｰﾄｺﾝﾌｨｸﾞ時間：" + std::to_string(result.elapsedMs) + "ms");
    } else {
        result.outcome = AutoConfigResult::Outcome::Failed;
        r.Fail("ｵｰﾄｺﾝﾌｨｸﾞ失敗 → " + s.path);
    }
    return result;
}

}  // namespace quillon::features
