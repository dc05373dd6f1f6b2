#pragma once
// Loading and clearing the FPGA: the only way anything in the program does it.
// Each load reads the whole file, builds its configuration stream and sends it in
// one bulk write between the begin and end configuration-mode requests; the
// board's status register decides success. All calls block until done and
// return false on any failure; the caller turns that into its own message.

#include <cstdint>
#include <string>

#include "features/config/config_stream.h"
#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

// Register 2, read at 8 bit while in configuration mode: 0 once the FPGA has
// taken its data, non-zero after a clear.
inline constexpr std::uint16_t kConfigStatusRegister = 2;

// Standard layout (Altera .rbf, Xilinx .bin). Logs "!!" and the three flags.
bool FpgaConfigure(link::BoardHandle h, const std::string& path, bool xilinx, bool bitswap,
                   bool encrypt, Reporter& r = DefaultReporter());
bool FpgaConfigureTesseraAltera(link::BoardHandle h, const std::string& path, bool encrypt,
                                Reporter& r = DefaultReporter());
bool FpgaConfigureTesseraXilinx(link::BoardHandle h, const std::string& path, bool encrypt,
                                Reporter& r = DefaultReporter());
bool FpgaConfigureTesseraTavel(link::BoardHandle h, const std::string& path,
                               Reporter& r = DefaultReporter());
// Puts the FPGA back into its unconfigured idle state.
bool FpgaClear(link::BoardHandle h, Reporter& r = DefaultReporter());

// The common load sequence for any layout (the four operations above call it).
bool FpgaLoad(link::BoardHandle h, const std::string& path, const ConfigOptions& options,
              Reporter& r = DefaultReporter());

// The configuration target register of the external configuration mode: a
// 14-bit register number, 0x3FFF until start-up reads CFG_TARGET_REG_ADRS.
std::uint16_t ConfigTargetRegister();
// Stores `value` masked to 14 bits.
void SetConfigTargetRegister(long long value);

}  // namespace quillon::features
