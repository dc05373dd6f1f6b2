#pragma once
// Extra FPGA-bus clock cycles the USB controller's firmware inserts into every
// register read or write. The firmware forgets them whenever it is
// reinitialised (a reset, for example); nothing is stored on the host.

#include <string_view>

#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

enum class RegWaitKind { Read = 0, Write = 1 };

// Sets the wait from the text of its edit (decimal; taken modulo 256, so 300
// sets 44). Reports every outcome: the boxes for no board, bad text and a
// failed request, the log line of the result.
bool RegWaitSet(link::BoardHandle h, RegWaitKind kind, std::string_view text,
                Reporter& reporter = DefaultReporter());

}  // namespace quillon::features
