#pragma once
// The FPGA designs every simulated board recognises by their configuration
// streams, besides the user design. Add a design here so that `--board sim`
// and every test board load it when its stream arrives.

#include "sim/sim_board.h"

namespace quillon::sim {

void RegisterBuiltinDesigns(SimBoard& board);

}  // namespace quillon::sim
