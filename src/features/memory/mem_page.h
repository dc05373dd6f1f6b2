#pragma once
// The memory page's own operations: the transfer start address in register 0,
// the target memory in register 1, the length display, the target list and
// the transfer settings that the Options menu stores.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "features/registers/reg_page_ops.h"
#include "features/reporter.h"
#include "link/board_link.h"
#include "platform/settings_store.h"

namespace quillon::features {

inline constexpr const char* kMemLengthDefault = "00800000";
inline constexpr const char* kMemFileDefault = "*.bin";

// The length field: hexadecimal digits without prefix, up to 64 bits.
std::optional<std::uint64_t> ParseMemLength(std::string_view text);

// The status bar text of the length field ("転送ﾚﾝｸﾞｽ → 8.00MiBytes[8388608Bytes]",
// "???" when the text is not hexadecimal).
std::string MemLengthDisplay(std::string_view lengthText);

// Bit-width list index (0 "8bit" .. 3 "64bit") to the memory width code; any
// other index counts as 8bit.
std::uint8_t MemWidthCode(int widthIndex);

// The target memory list from MEM_NUM and MEM_LIST0.. ("DDR(REG1=00h)"), or the
// two "unknown" entries when MEM_NUM is 0 or less. Register 1 is 8 bits wide,
// so at most 256 entries are listed.
std::vector<std::string> TargetMemoryEntries(const SettingsStore& store);
inline constexpr int kMaxTargetEntries = 256;

// Register 0 at 32bit from the address field. Success: the field's new text
// (eight upper-case digits) and "ﾒﾓﾘｱﾄﾞﾚｽﾗｲﾄ成功" in the status bar. Failure:
// "REG WRITE NG" and the warning box; the field keeps its text.
RegFieldResult MemAddressWrite(link::BoardHandle h, std::string_view field, bool emulate,
                               Reporter& reporter);
// Register 0 at 32bit into the read-back field; failure: "REG READ NG" and the box.
RegFieldResult MemAddressRead(link::BoardHandle h, std::string_view field, bool emulate,
                              Reporter& reporter);
// Register 1 at 8bit with the entry's index; success logs the switch with the
// entry's text.
bool MemTargetWrite(link::BoardHandle h, int index, const std::string& entry, bool emulate,
                    Reporter& reporter);

// The three transfer options of the Options menu, as stored.
struct MemTransferOptions {
    bool readScramble = false;   // MR_SCRAMBLE
    bool writeScramble = false;  // MW_SCRAMBLE
    bool tessera = false;        // MEM_CMD_MODE: length framing
    static MemTransferOptions Read(const SettingsStore& store);
};

}  // namespace quillon::features
