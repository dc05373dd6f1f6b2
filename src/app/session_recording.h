#pragma once
// The panel's side of session recording: the "ﾌｧｲﾙ" menu's check item that
// starts and stops a recording, the status bar's mark while one is on, and
// the start from the command line (--record FILE).

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "features/board/i2c.h"
#include "features/memory/mem_transfer.h"
#include "platform/ui_text.h"

class QAction;
class QMainWindow;
class QMenu;

namespace quillon::app {

inline constexpr const char* kRecordItem = QT_TRANSLATE_NOOP("Lang", "操作の記録...");
inline constexpr const char* kRecordingMark = QT_TRANSLATE_NOOP("Lang", "● 記録中");
inline constexpr const char* kRecordFailed =
    QT_TRANSLATE_NOOP("Lang", "操作の記録を開始できません。");

// Adds the item to `menu` before `before` and the mark to the window's status
// bar. `board` names the board for the recording's header ("sim", "usb").
QAction* InstallRecordingItem(QMainWindow* window, QMenu* menu, QAction* before,
                              std::function<std::string()> board);

// Starts recording into `path`; false after telling the user why it cannot.
bool StartRecording(const std::string& path);
// Takes "--record FILE" or "--record=FILE" out of the arguments; `error` set
// when the file name is missing.
std::optional<std::string> TakeRecordOption(std::vector<std::string>& args, std::string& error);
// `quillon --record FILE`: the recording starts as soon as the log is open,
// before the start-up's automatic configuration and script, so that they are
// its first lines. StartPendingRecording starts it (once; no-op otherwise).
void RecordFromStart(const std::string& path);
void StartPendingRecording();
// Stops the recording that is on (if any).
void StopRecording();

// A register the pages read or wrote through the register fields: the number
// as typed, the width list index (0 8bit .. 3 64bit), the field's new text
// (hexadecimal), and whether the extended space served (the emulate option).
void RecordRegister(bool write, const std::string& numberText, int widthIndex,
                    const std::string& field, bool emulate);

// A MemWrite or MemRead of the memory page, as it ended: `ok` ran to its end
// or was cancelled, `cancelled` stopped early.
void RecordMemTransfer(bool write, const features::MemTransferRequest& request, bool ok,
                       bool cancelled);
// Something done on a page that no macro replays, and why.
void RecordNotReplayed(const std::string& what, const std::string& why);

// An Options-menu switch that shapes later transfers: a comment, since the
// macros cannot carry it (they always send plain VR_MEM_CMD transfers).
void RecordOptionNote(const std::string& option, bool on);

// A script run from the script page (or the automatic start-up script, with
// `who` saying so): replayed by sourcing it (its macros are not recorded one
// by one).
void RecordScriptRun(const std::string& path, bool ok,
                     const std::string& who = "the script page ran this script");

// A command of the second I2C page, from its fields as the command rewrote
// them: IW3/IR3 when the bytes are those the macro sends, else a comment
// naming the bytes.
void RecordI2cCommand(bool write, int portIndex, int lengthIndex,
                      const features::I2cCommandFields& fields);

// The board was switched during the recording: the header named the old one.
void RecordBoardChange(const std::string& board);

// A burst of the extended register page: 1, 2, 4 or 8 bytes are one RW/RR
// -REGEX; other lengths have no macro.
void RecordRegExBurst(bool write, int address, int length, const std::array<std::uint8_t, 64>& bytes);

}  // namespace quillon::app
