#pragma once
// The macros of KVX_COMMAND. Each takes the macro text as the script wrote it
// (the dispatcher joined the words; each macro upper-cases and splits it
// again) and returns its outcome. The register, I2C and GPIO macros issue one
// vendor request each; the memory macros move files through the bulk pipes.

#include <functional>
#include <string>
#include <string_view>

#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::script {

// Done gives "1" with TCL_OK; NotDone "0" with TCL_OK (the script goes on and
// can test it); Failed "0" with TCL_ERROR (the script stops).
enum class MacroOutcome { Done, NotDone, Failed };

// What a macro needs from whoever runs it.
struct MacroContext {
    // The board every request goes to (link::CurrentBoard() at the time of the call).
    link::BoardHandle board = link::kNoBoard;
    // Message boxes (MW) and the event pump (WAIT).
    features::Reporter* reporter = &features::DefaultReporter();
    // Sets a global Tcl variable ("read", "read_high").
    std::function<void(const char* name, const std::string& value)> setVariable;
    // Lets pending events run during WAIT; empty = reporter->Pump().
    std::function<void()> pump;
    // Relative file names resolve here; empty = the current directory.
    std::string baseDir;
    // Filled by a macro that refused its input, to say why (for the error info).
    std::string refusal;
};

// A file name of a macro as the file system should see it.
std::string ResolveMacroPath(const MacroContext& ctx, const std::string& name);

// RW, RR.
MacroOutcome RunRegisterWrite(std::string_view text, MacroContext& ctx);
MacroOutcome RunRegisterRead(std::string_view text, MacroContext& ctx);
// UC, MW, MR, FC, WAIT.
MacroOutcome RunConfigure(std::string_view text, MacroContext& ctx);
MacroOutcome RunMemoryWrite(std::string_view text, MacroContext& ctx);
MacroOutcome RunMemoryRead(std::string_view text, MacroContext& ctx);
MacroOutcome RunFileCompare(std::string_view text, MacroContext& ctx);
MacroOutcome RunWait(std::string_view text, MacroContext& ctx);
// IW, IR, IW2, IR2, IW3, IR3, GW, GR, GD, STA, GTA.
MacroOutcome RunI2cWrite(std::string_view text, MacroContext& ctx);
MacroOutcome RunI2cRead(std::string_view text, MacroContext& ctx);
MacroOutcome RunI2cWrite2(std::string_view text, MacroContext& ctx);
MacroOutcome RunI2cRead2(std::string_view text, MacroContext& ctx);
MacroOutcome RunI2cWrite3(std::string_view text, MacroContext& ctx);
MacroOutcome RunI2cRead3(std::string_view text, MacroContext& ctx);
MacroOutcome RunGpioWrite(std::string_view text, MacroContext& ctx);
MacroOutcome RunGpioRead(std::string_view text, MacroContext& ctx);
MacroOutcome RunGpioDirection(std::string_view text, MacroContext& ctx);
MacroOutcome RunTempAlertSet(std::string_view text, MacroContext& ctx);
MacroOutcome RunTempAlertGet(std::string_view text, MacroContext& ctx);

}  // namespace quillon::script
