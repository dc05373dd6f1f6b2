#pragma once
// The GPIF II master bridge and capture block of an FPGA design, reached
// through the block-register space with 4-byte transfers, each one 32-bit
// value least significant byte first.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

// Block-register addresses.
inline constexpr std::uint32_t kG2mRegBaseAdrs = 0x1FFFFF;  // register window base
inline constexpr std::uint32_t kG2mMemBaseAdrs = 0x1FFFFE;  // memory window base
inline constexpr std::uint32_t kCapStart = 0x12000;         // write 1: start a capture
inline constexpr std::uint32_t kDmaStartAdrs = 0x12001;     // DMA start address
inline constexpr std::uint32_t kCapRegisters = 0x12000;     // eight registers from here
inline constexpr int kCapRegisterCount = 8;
inline constexpr std::uint32_t kDmaStartValue = 0x60000000;

enum class G2mBase { Reg, Mem };

bool BlockWrite32(link::BoardHandle h, std::uint32_t address, std::uint32_t value);
bool BlockRead32(link::BoardHandle h, std::uint32_t address, std::uint32_t& value);

// Writes the low 32 bits of the hexadecimal input (up to 16 digits) to the
// base-address register. Input that does not convert ends it without a word.
bool G2mBaseWrite(link::BoardHandle h, G2mBase which, std::string_view input,
                  Reporter& reporter = DefaultReporter());
// The register's value as eight upper-case digits for the display edit, or
// nullopt after the failure was logged and shown.
std::optional<std::string> G2mBaseRead(link::BoardHandle h, G2mBase which,
                                       Reporter& reporter = DefaultReporter());
// CAP_START: writes 1 to the capture block's start register.
bool CapStartIssue(link::BoardHandle h, Reporter& reporter = DefaultReporter());
// READ: logs "----", then the capture block's eight registers one line each;
// the first failed read ends the dump.
bool CapRegistersDump(link::BoardHandle h, Reporter& reporter = DefaultReporter());
// DMA SET: writes 60000000h to the DMA start address register.
bool DmaStartSet(link::BoardHandle h, Reporter& reporter = DefaultReporter());

}  // namespace quillon::features
