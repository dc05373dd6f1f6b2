#pragma once
// Why the last thing failed, as far as the layer that saw it knows: the USB
// error of a request, the system's word on a file, the field that held text
// that is not a number. The layer that saw the failure sets it; the layer
// that reports the failure to the user adds it as a second line under its
// own message (features::Reporter::Fail / FailBox).
//
// One slot per thread: long work runs on a worker while the GUI thread goes
// on serving short actions, and a cause belongs to the thread whose failure
// it explains. Each user action clears the slot when it starts, so a cause
// left by an earlier failure never explains a later one.
//
// Every text a cause is made of is built here, so that one place holds them.

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

void SetCause(std::string text);
// Sets the cause unless one is already known: for consequences of a failure
// that was seen first (a request to a board that has just been unplugged).
void SetCauseIfNone(std::string text);
bool HasCause();
// The cause, left in place.
std::optional<std::string> PeekCause();
// The cause, taken out of the slot.
std::optional<std::string> TakeCause();
void ClearCause();

// The system's text for an error number (strerror), safe on any thread.
std::string SystemErrorText(int error);

// "ﾌｧｲﾙ「/data/dump.bin」: No space left on device".
std::string FileCause(std::string_view path, std::string_view why);
// The same with the system's text for an error number.
std::string FileErrorCause(std::string_view path, int error);

// A name that is a folder, a FIFO or a device where a file was wanted.
std::string NotRegularFileCause(std::string_view path, bool folder);

// "ﾃﾞｰﾀ設定 Write: 「1G」は16進数ではありません". Digits beyond what the field
// holds ("11111111111111111" for a 64-bit field) are named as such.
std::string NotHexCause(std::string_view field, std::string_view text, int maxDigits = 16);
// "ﾚｼﾞｽﾀ番号: 「abc」は整数ではありません".
std::string NotIntegerCause(std::string_view field, std::string_view text);
// "ﾚｼﾞｽﾀ番号: 「16384」は範囲外です(0～16383)".
std::string OutOfRangeCause(std::string_view field, std::string_view text, long long lo,
                            long long hi);

}  // namespace quillon
