#pragma once
// Single-register access from the texts of a page: a register number, a width
// list index and a hexadecimal field. Used by the register page's three groups
// and by the memory page's address and target registers.
//
// Normally the ordinary register space is used (14-bit numbers, VR_REG_READ /
// VR_REG_WRITE at the RegWidth of the index). With `emulate` the extended
// register space serves instead (10-bit numbers, bursts of 1, 2, 4 or 8 bytes
// through VR_REGEX_READ / VR_REGEX_WRITE).
//
// A failure of the operation itself is left to the caller to report (its own
// log line and box), except for a failed extended transfer, which also reports
// "REG READ NG" / "REG WRITE NG" and the "EX" box here first. Every failure
// leaves its cause (log/cause.h) for that report: the field and the text that
// is not a number, the request's USB error, no board.

#include <QtGlobal>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "features/hex_field.h"
#include "features/reporter.h"
#include "link/board_link.h"
#include "link/vendor_requests.h"

namespace quillon::features {

// Register numbers must stay below these.
inline constexpr std::uint32_t kRegNumberLimit = 0x4000;
inline constexpr std::uint32_t kRegExNumberLimit = 1024;

inline constexpr const char* kRegExReadFailed =
    QT_TRANSLATE_NOOP("Lang", "ﾚｼﾞｽﾀﾘｰﾄﾞEXに失敗しました。");
inline constexpr const char* kRegExWriteFailed =
    QT_TRANSLATE_NOOP("Lang", "ﾚｼﾞｽﾀﾗｲﾄEXに失敗しました。");

// What a width list index means on the wire; any index outside 0..3 counts as 8bit.
struct RegPageWidth {
    link::RegWidth code;
    int bytes;   // 1, 2, 4, 8
    int digits;  // hexadecimal digits shown
    std::uint64_t mask;
};
RegPageWidth RegPageWidthOf(int widthIndex);

// The captions that name the fields in the cause of a failure ("ﾃﾞｰﾀ設定
// Write: 「1G」は16進数ではありません"), marked where written and translated
// when the cause is made.
struct RegFieldNames {
    const char* number = QT_TRANSLATE_NOOP("Lang", "ﾚｼﾞｽﾀ番号");
    const char* value = QT_TRANSLATE_NOOP("Lang", "ﾃﾞｰﾀ設定 Write");
};

struct RegFieldResult {
    bool ok = false;
    // The field's new text; on failure the text that came in, unchanged.
    std::string field;
};

// Reads the register and returns its value for the read-back field, upper-case
// hexadecimal with at least the width's digits.
RegFieldResult RegPageRead(link::BoardHandle h, std::string_view numberText, int widthIndex,
                           std::string_view field, bool emulate,
                           Reporter& reporter = DefaultReporter(), const RegFieldNames& names = {});

// Writes the value field (hexadecimal, up to 64 bits, no prefix) to the register.
// On success the field is rewritten as the whole typed value in upper-case
// hexadecimal with at least the width's digits, even where the wire carried
// only its low bytes ("1ff" at 8bit sends FF and reads back as "1FF").
RegFieldResult RegPageWrite(link::BoardHandle h, std::string_view numberText, int widthIndex,
                            std::string_view field, bool emulate,
                            Reporter& reporter = DefaultReporter(),
                            const RegFieldNames& names = {});

}  // namespace quillon::features
