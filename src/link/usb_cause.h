#pragma once
// The cause a failed request or transfer leaves for the report above it
// (log/cause.h): the USB error in the user's words, libusb's name for it and
// what to do about it.

#include <cstdint>
#include <string>

#include "link/device.h"
#include "platform/ui_text.h"

namespace quillon::link {

// A request on a handle whose board is gone, or that never had one (marked
// for translation, shown through Lang::MarkedStd).
inline constexpr const char* kNoBoardCause = QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞが接続されていません");

// "ｽﾄｰﾙ [LIBUSB_ERROR_PIPE] → ..." for a failed transfer. Both backends number
// their codes as libusb does; a code they do not give (0) is looked up by
// the error alone.
std::string UsbCauseText(UsbError error, int systemCode);

// Leaves the cause of a failed transfer. A transfer that its own source or
// sink stopped keeps the reason that the source or sink left. A board that
// left the bus marks the link gone (BoardLink::NoteGone): every request and
// transfer, control, framed bulk or split piece, reports its failure here.
void NoteTransferFailure(const TransferResult& result);
// A transfer that moved another number of bytes than asked for.
void NoteWrongCount(std::uint64_t moved, std::uint64_t expected);
// A request that found no board. It does not hide the failure that made the
// board go (a removal seen by the request before it).
void NoteNoBoard();

}  // namespace quillon::link
