#pragma once
// Stopping a bulk transfer from outside: a Cancel button on the GUI thread, a
// signal handler of the headless runner, Python's KeyboardInterrupt.
//
// The request is one process-wide flag. While it is set, a bulk transfer in
// flight ends at its next look (libusb: its URBs are cancelled; the simulated
// board stops at its next slice) with UsbError::Cancelled and the bytes moved
// so far, and no new bulk transfer starts. Control transfers are not touched:
// the end command that closes a cancelled transfer must still reach the board.
// Whoever starts a long operation clears the flag first.

#include <cstdint>

namespace quillon::link {

// Any thread, and signal handlers: a lock-free store.
void RequestBulkAbort() noexcept;
bool BulkAbortRequested() noexcept;
void ClearBulkAbort() noexcept;

// libusb numbers an interrupted call LIBUSB_ERROR_INTERRUPTED; the simulated
// board reports a cancel with the same code.
inline constexpr int kInterruptedCode = -10;

}  // namespace quillon::link
