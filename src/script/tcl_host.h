#pragma once
// The one Tcl interpreter of the run. It is created once and never deleted,
// so globals, procedures and the result variables of the macros ("read",
// "read_high") are still there for the next script. It is created without the
// Tcl library's initialisation script: scripts have the built-in commands only
// (no package path, no "clock format"), plus TPRINT and KVX_COMMAND.
//
// What scripts write to standard output (puts) goes to "stdout.txt" in the
// user's private runtime folder, lines ended by a carriage return; the program
// never shows it.

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

    // Full path of the capture file.
    static std::string CapturePath();
    // Flushes and closes the capture channel. Safe to call more than once; also
    // run at process exit.
    static void Shutdown();
};

}  // namespace quillon::script
