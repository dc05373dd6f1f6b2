#include "sim/builtin_designs.h"

#include "sim/bridge_designs.h"

namespace quillon::sim {

void RegisterBuiltinDesigns(SimBoard& board) {
    // Every board knows the designs that the program's own files load (the
    // flash bridges); a stream none of them claims loads the user design.
    board.RegisterDesign(
        "serbridge",
        [](std::span<const std::uint8_t> s) { return StreamNamesDesign(s, "serbridge"); },
        [](DesignContext& c) { return std::make_unique<SerBridgeDesign>(c); });
    board.RegisterDesign(
        "norbridge2",
        [](std::span<const std::uint8_t> s) { return StreamNamesDesign(s, "norbridge2"); },
        [](DesignContext& c) { return std::make_unique<NorBridgeDesign>(c); });
}

}  // namespace quillon::sim
