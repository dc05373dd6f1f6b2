#pragma once
// KVX_COMMAND: joins the command's words into one macro text, finds the macro
// by its name and turns its outcome into the Tcl answer. Pure of Tcl: the host
// passes the words in and the answer out, so the rules are testable alone.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/macros.h"

namespace quillon::script {

using MacroFunction = MacroOutcome (*)(const MacroText& text, MacroContext& ctx);

struct MacroEntry {
    std::string_view name;
    MacroFunction run;
    // Moves files or loads the FPGA: run through the features runner (on the
    // panel's worker, so the window stays alive and Cancel works).
    bool runsLong = false;
};

// RW, RR, UC, MR, MW, FC, IR, IR2, IR3, IW, IW2, IW3, GW, GR, GD, STA, GTA, WAIT,
// in the order the names are compared.
std::span<const MacroEntry> StandardMacros();

struct MacroAnswer {
    std::string result;  // "1", "0" or the not-found text
    bool error = false;  // true: TCL_ERROR
};

// The words after the command name, with no separator between them.
std::string JoinMacroWords(std::span<const std::string_view> words);

// Runs one KVX_COMMAND call on its joined text, split once: the name is looked
// up and the macro gets the same items. The log writer is off for the whole
// call and on again on every way out.
MacroAnswer DispatchMacro(const MacroText& text, MacroContext& ctx,
                          std::span<const MacroEntry> table = StandardMacros());
// The same from the command's words.
MacroAnswer DispatchMacro(std::span<const std::string_view> words, MacroContext& ctx,
                          std::span<const MacroEntry> table = StandardMacros());

}  // namespace quillon::script
