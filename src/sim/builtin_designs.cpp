#include "sim/builtin_designs.h"

namespace quillon::sim {

void RegisterBuiltinDesigns(SimBoard& board) {
    // Every board knows the designs that the program's own files load (the
    // flash bridges); a stream none of them claims loads the user design.
    // Nothing here yet besides the user design, which needs no registration.
    (void)board;
}

}  // namespace quillon::sim
