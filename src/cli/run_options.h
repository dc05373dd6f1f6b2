#pragma once
// quillon-run's own options, apart from the board's (boards/backends.h):
// where the script's output, the log and the JUnit report go, and whether
// Tcl's library is loaded.

#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

struct RunnerOptions {
    bool quiet = false;       // --quiet: log lines not echoed on standard error
    bool tclLibrary = false;  // --tcl-library: Tcl_Init
    std::string stdoutFile;   // --stdout-file FILE: puts into FILE, CR line ends
    std::string logFile;      // --log FILE instead of a file in the runner's log folder
    std::string junitFile;    // --junit FILE
};

// True for an option of ours that takes a value as the next word.
bool IsRunnerValueOption(const std::string& word);
// True for a word that is an option of ours on its own: a flag, or
// --option=VALUE.
bool IsRunnerWord(const std::string& word);

// Takes our options out of `args` (the words before SCRIPT) and leaves the
// others. nullopt, with `error`, when one lacks its value.
std::optional<RunnerOptions> TakeRunnerOptions(std::vector<std::string>& args, std::string& error);

// Why quillon-run cannot write a file of this name ("is a folder", "is a
// FIFO", ...), checked before the run starts; empty when it can.
std::string OutputFileProblem(const std::string& path);

}  // namespace quillon::cli
