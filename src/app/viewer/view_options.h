#pragma once
// `quillon --view FILE [--compare FILE2]`: the viewer alone, without a board.

#include <optional>
#include <string>

namespace quillon::app {

struct ViewOptions {
    std::string path;
    std::string compare;
    std::string error;  // not empty: the command line is wrong, and why
};

// nullopt when the command line asks for no viewer (neither option given).
// Both options also take the form --option=VALUE; with them, nothing else
// may be given.
std::optional<ViewOptions> TakeViewOptions(int argc, char** argv);

}  // namespace quillon::app
