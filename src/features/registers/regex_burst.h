#pragma once
// Bursts on the extended register space: 1024 byte-wide registers, 1 to 64
// consecutive bytes per control transfer. Byte i of a burst belongs to
// register address + i; the board is not asked to keep address + length
// within the space.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

inline constexpr int kRegExBurstMax = 64;
inline constexpr int kRegExAddressCount = 1024;

using RegExBurst = std::array<std::uint8_t, kRegExBurstMax>;
using RegExCells = std::array<std::string, kRegExBurstMax>;

// Reads `length` bytes at `address` into the first bytes of `out`; the rest of
// `out` is left alone. Refused address or length, or a failed transfer, is
// reported here (box, and "REG READ NG" for the transfer); success logs
// "[ﾚｼﾞｽﾀﾘｰﾄﾞEX] ...".
bool RegExBurstRead(link::BoardHandle h, int address, int length, RegExBurst& out,
                    Reporter& reporter = DefaultReporter());

// Writes the first `length` bytes of `bytes` at `address`, reporting as the read.
bool RegExBurstWrite(link::BoardHandle h, int address, int length, const RegExBurst& bytes,
                     Reporter& reporter = DefaultReporter());

// Reads the 64 write-grid cells as hexadecimal bytes, in order. Each cell that
// parses keeps its low 8 bits and is rewritten as two upper-case digits. At the
// first cell that does not parse (an empty one included), whatever its index,
// the user is told and nullopt returned: later cells stay as they were.
std::optional<RegExBurst> RegExParseCells(RegExCells& cells,
                                          Reporter& reporter = DefaultReporter());

// The value typed into one of the page's input boxes (length, address): a
// decimal integer within lo..hi. nullopt after telling the user why not.
std::optional<int> RegExRangeInput(const std::string& text, int lo, int hi,
                                   Reporter& reporter = DefaultReporter());

}  // namespace quillon::features
