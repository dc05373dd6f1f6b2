#pragma once
// Soak test of the 512-byte block-register path: 512 pseudo-random bytes
// written to one block-register address, read back and compared, a given
// number of times.

#include <cstdint>
#include <string_view>

#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

inline constexpr std::size_t kReg512TestBytes = 512;
// Block-register addresses are 21 bits wide.
inline constexpr std::uint32_t kReg512AddressLimit = 1u << 21;

// One draw of the test pattern generator: state <- state * 22695477 + 1
// (mod 2^64), value = bits 32..62 of the new state. The state is 1 when the
// program starts and is never reseeded, so each pass of each run gets a new
// pattern and the sequence starts over with every program start. A test byte
// is the value mod 256 (00 77 78 9D 09 74 62 A5 ... from a fresh state).
std::uint32_t RegTestRandom();
// Back to the state at program start (tests).
void ResetRegTestRandomForTest();

// Runs the test from the texts of the page's two edits (decimal). Logs the
// parameters, one line per pass, and "正常終了" after the last; only a run that
// completes stores the address in REG512_ADRS and the count in REG512_REPEAT.
// The first failure ends the run with its log line and box. Between passes the
// reporter pumps pending events.
bool Reg512Test(link::BoardHandle h, std::string_view addressText, std::string_view repeatText,
                Reporter& reporter = DefaultReporter());

}  // namespace quillon::features
