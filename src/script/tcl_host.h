#pragma once
// The one Tcl interpreter of the run. It is created once and never deleted,
// so globals, procedures and the result variables of the macros ("read",
// "read_high") are still there for the next script. By default it is created
// without the Tcl library's initialisation script: scripts have the built-in
// commands only (no package path, no "clock format"), plus TPRINT and
// KVX_COMMAND. The script runner may ask for the library.
//
// What scripts write to standard output (puts) goes by default to a capture
// file in the user's private runtime folder ("stdout.txt", the panel's), lines
// ended by a carriage return; the program never shows it. The script runner
// hands it to its own standard output instead, or to a capture of its choice.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "features/reporter.h"

struct Tcl_Interp;

namespace quillon::script {

class TclHost {
  public:
    // Creates the interpreter, captures its standard output and registers the
    // two commands. TPRINT logs and pumps, and the macros show their boxes,
    // through `reporter`. False, with the log line "TCLの初期化に失敗しました。",
    // when it cannot; the run then goes on without an interpreter. A second
    // call only replaces the reporter.
    static bool Init(features::Reporter& reporter = features::DefaultReporter());
    // Replaces the reporter without creating anything.
    static void SetReporter(features::Reporter& reporter);
    static bool Ready();
    static Tcl_Interp* Interp();

    // Evaluates a script file, read as UTF-8. Returns the Tcl completion code;
    // only TCL_ERROR (1) is a failure. Without an interpreter: TCL_ERROR, and
    // Result() says why.
    static int RunFile(const std::string& path);
    // The interpreter's result string after the last run.
    static std::string Result();
    // The error stack of the last failed run ("while executing ..."), empty otherwise.
    static std::string ErrorInfo();
    // A global variable's value; empty when it is not set.
    static std::string Variable(const char* name);

    // A run the way the script page runs one: start line, file line, the
    // script, and on TCL_ERROR the result as a log line; on success the end line.
    struct RunReport {
        int code = 0;
        bool failed = false;
        std::uint64_t elapsedMs = 0;
        std::string result;
    };
    static RunReport RunLogged(const std::string& path);

    // The start-up run of the automatic script, with its log lines.
    enum class AutoOutcome { NoFile, NoInterpreter, Failed, Succeeded };
    struct AutoReport {
        AutoOutcome outcome = AutoOutcome::NoFile;
        std::uint64_t elapsedMs = 0;
    };
    static AutoReport RunAutoScript(const std::string& path);

    // The headless runner's argv, argc and argv0.
    static void SetScriptArguments(const std::string& script, const std::vector<std::string>& args);
    // Keeps `dir` as the working directory while scripts run: restored after
    // every TPRINT and macro (the log writer moves into the log folder), and
    // the base of relative file names in the macros. Empty: the log-folder rule.
    static void SetKeepDirectory(const std::string& dir);
    // Runs on Tcl's "exit" before the capture channel is closed and the process
    // ends; returns the exit status to end with (by default the script's code).
    static void SetExitHandler(std::function<int(int code)> handler);

    // Set before Init: scripts' standard output goes to the capture file at
    // `path` (created or emptied, lines ended by CR, as the panel's).
    static void CaptureTo(const std::string& path);
    // Set before Init: scripts' standard output is the process's own, lines
    // ended by LF, each line passed on as the script ends it (and whatever is
    // left at a flush, at the end of a run and at exit).
    static void PassStandardOutput();
    // Set before Init: Init runs Tcl's library initialisation (clock, msgcat,
    // the package path) and fails when the library cannot be found.
    static void UseTclLibrary(bool use);
    // Why the last Init failed: Tcl's own text when Tcl gave one.
    static std::string InitFailure();
    // Full path of the capture file; empty when the output is the process's.
    static std::string CapturePath();
    // Flushes and closes the standard-output channel. Safe to call more than
    // once; also run at process exit.
    static void Shutdown();
};

}  // namespace quillon::script
