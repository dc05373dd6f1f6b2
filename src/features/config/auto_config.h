#pragma once
// Automatic configuration: a stored choice of file and options that loads the
// FPGA once at start-up, right after the board opened.

#include <QtGlobal>
#include <cstdint>
#include <string>

#include "features/reporter.h"
#include "link/board_link.h"
#include "platform/settings_store.h"

namespace quillon::features {

struct AutoConfigSettings {
    bool enabled = false;        // AUTO_CONFIG
    bool xilinx = false;         // AUTO_CONFIG_MODE
    bool bitswap = false;        // AUTO_CONFIG_BITSWAP
    bool encrypt = false;        // AUTO_CONFIG_ENCRYPT
    bool tessera = false;        // AUTO_CONFIG_TESSERA
    std::string path = "*.rbf";  // AUTO_CONFIG_NAME

    static AutoConfigSettings Read(const SettingsStore& store);
};

// The mode text the configuration page shows once the mode dialog closed.
std::string AutoConfigModeAfterDialog(bool tessera, bool xilinx, bool bitswap, bool encrypt);
// The mode text shown when the stored state is restored at start-up. It has
// always been shorter than the text after the dialog: the Xilinx texts leave
// out ENCRYPT.
std::string AutoConfigModeAtStartup(bool tessera, bool xilinx, bool bitswap, bool encrypt);

// The mode text before anything has set it.
inline constexpr const char* kAutoConfigDefaultMode = QT_TRANSLATE_NOOP("Lang", "(ALTERAﾓｰﾄﾞ)");

struct AutoConfigResult {
    enum class Outcome { NoFile, Loaded, Failed } outcome = Outcome::NoFile;
    std::uint64_t elapsedMs = 0;  // Loaded only
};

// The start-up run: loads the stored file with the stored options. Tessera mode
// always uses the Tessera Altera layout. Logs its own lines; no message box, no
// busy window, no target register writes.
AutoConfigResult RunAutoConfig(link::BoardHandle h, const AutoConfigSettings& s,
                               Reporter& r = DefaultReporter());

}  // namespace quillon::features
