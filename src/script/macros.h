#pragma once
// The macros of KVX_COMMAND. Each takes the macro text as the dispatcher split
// it into items (the words joined, each item as written and upper-cased) and
// returns its outcome. The register, I2C and GPIO macros issue one
// vendor request each; the memory macros move files through the bulk pipes.

#include <functional>
#include <string>
#include <string_view>

#include "features/reporter.h"
#include "link/board_link.h"
#include "script/macro_syntax.h"

namespace quillon::script {

// Done gives "1" with TCL_OK; NotDone "0" with TCL_OK (the script goes on and
// can test it); Failed "0" with TCL_ERROR (the script stops).
enum class MacroOutcome { Done, NotDone, Failed };

// Where read macros leave their values: the interpreter's global variables.
class MacroVariables {
  public:
    virtual ~MacroVariables() = default;
    virtual void Set(const char* name, long long value) = 0;
};

// What a macro needs from whoever runs it.
struct MacroContext {
    // The board every request goes to (link::CurrentBoard() at the time of the call).
    link::BoardHandle board = link::kNoBoard;
    // Message boxes (MW) and the event pump (WAIT).
    features::Reporter* reporter = &features::DefaultReporter();
    // Receives "read" and "read_high"; none: the values are dropped.
    MacroVariables* variables = nullptr;
    // Lets pending events run during WAIT; empty = reporter->Pump().
    std::function<void()> pump;
    // Relative file names resolve here; empty = the current directory. It
    // outlives the call (the host keeps it).
    std::string_view baseDir;
    // Filled by a macro that refused its input, to say why (for the error info).
    std::string refusal;
};

// A file name of a macro as the file system should see it.
std::string ResolveMacroPath(const MacroContext& ctx, const std::string& name);

// RW, RR.
MacroOutcome RunRegisterWrite(const MacroText& text, MacroContext& ctx);
MacroOutcome RunRegisterRead(const MacroText& text, MacroContext& ctx);
// UC, MW, MR, FC, WAIT.
MacroOutcome RunConfigure(const MacroText& text, MacroContext& ctx);
MacroOutcome RunMemoryWrite(const MacroText& text, MacroContext& ctx);
MacroOutcome RunMemoryRead(const MacroText& text, MacroContext& ctx);
MacroOutcome RunFileCompare(const MacroText& text, MacroContext& ctx);
MacroOutcome RunWait(const MacroText& text, MacroContext& ctx);
// IW, IR, IW2, IR2, IW3, IR3, GW, GR, GD, STA, GTA.
MacroOutcome RunI2cWrite(const MacroText& text, MacroContext& ctx);
MacroOutcome RunI2cRead(const MacroText& text, MacroContext& ctx);
MacroOutcome RunI2cWrite2(const MacroText& text, MacroContext& ctx);
MacroOutcome RunI2cRead2(const MacroText& text, MacroContext& ctx);
MacroOutcome RunI2cWrite3(const MacroText& text, MacroContext& ctx);
MacroOutcome RunI2cRead3(const MacroText& text, MacroContext& ctx);
MacroOutcome RunGpioWrite(const MacroText& text, MacroContext& ctx);
MacroOutcome RunGpioRead(const MacroText& text, MacroContext& ctx);
MacroOutcome RunGpioDirection(const MacroText& text, MacroContext& ctx);
MacroOutcome RunTempAlertSet(const MacroText& text, MacroContext& ctx);
MacroOutcome RunTempAlertGet(const MacroText& text, MacroContext& ctx);

}  // namespace quillon::script
