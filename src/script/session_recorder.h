#pragma once
// A recording of a session: the operations the user ran, written as a Tcl
// script of KVX_COMMAND lines that quillon-run replays. The file is a valid
// script from its first line: a header comment, then one line per operation,
// each written and flushed as the operation completes, so that a crash keeps
// everything done so far.
//
// One recording at a time for the process. Operations of any thread may be
// written (memory transfers end on the panel's worker); lines keep their order.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_io.h"
#include "script/macro_text.h"

namespace quillon::script {

class SessionRecorder {
  public:
    // Creates (or empties) `path` and writes the header: program version,
    // `board`, date and time. nullptr with `why` (one line, the user's words)
    // when the file cannot serve: a folder, a FIFO, a device, a place this
    // user may not write, the script running now.
    static std::unique_ptr<SessionRecorder> Start(const std::string& path,
                                                  const std::string& board, std::string& why);
    ~SessionRecorder();
    SessionRecorder(const SessionRecorder&) = delete;
    SessionRecorder& operator=(const SessionRecorder&) = delete;

    // The operation's line (with `note` as a comment after it, e.g. what a read
    // returned), or the comment saying why it is not replayed.
    void Op(const MacroOp& op, std::string_view note = {});
    // A comment line: something done that has no macro, and why.
    void Note(std::string_view text);
    // A line as it is (a `source` of a script that ran).
    void Raw(std::string_view line);
    // Writes the closing comment and closes the file; false when a line could
    // not be written (then or earlier).
    bool Stop();

    const std::string& path() const { return path_; }
    // False once a line could not be written (a full disk): later lines are dropped.
    bool healthy() const;

  private:
    SessionRecorder() = default;
    void WriteLine(std::string_view line);

    mutable std::mutex mutex_;
    platform::OutputFile file_;
    std::string path_;
    bool failed_ = false;
};

// The file a script running now reads (the script page's run, the automatic
// script): a recording never writes into it. Empty when none runs.
void SetRunningScript(const std::string& path);
std::string RunningScript();
// True when `a` and `b` name the same file (the same file on disk, or the same
// absolute path when either does not exist).
bool SameFile(const std::string& a, const std::string& b);

// The process's recording: nullptr when none is on.
SessionRecorder* ActiveRecording();
// Starts the process's recording (replacing any), or stops it (nullptr);
// returns the one that was on.
std::unique_ptr<SessionRecorder> SetActiveRecording(std::unique_ptr<SessionRecorder> recorder);

// The operations a page ran, written to the active recording if one is on.
void Record(const MacroOp& op, std::string_view note = {});
void RecordNote(std::string_view text);
// A read's note: "read -> 5A".
std::string ReadNote(std::string_view value);

}  // namespace quillon::script
