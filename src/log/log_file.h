#pragma once
// The one log writer. Every call writes one stamped line, hands it to the
// window sink and appends it to this run's file, on disk when the call returns.

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace quillon {

class LogFile {
public:
    using Sink = std::function<void(const std::string& line)>;
    using Clock = std::function<std::time_t()>;

    // Longest line on disk, stamp included (the line buffer was always 512 bytes).
    static constexpr std::size_t kMaxLine = 511;

    // The panel's log: creates the log folder ($XDG_DATA_HOME/Quillon7) and this
    // run's file LOGyymmddhhnnss.txt in it. False when the folder cannot be
    // created (a message box has then told the user).
    static bool Open();
    // Another program's log (the script runner's): the file `fileName` in
    // `folder`, the folder created when missing, appended to when it exists.
    // False, with `why` saying why and no box, when the folder cannot be made
    // or the file not opened.
    static bool OpenAs(const std::string& folder, const std::string& fileName, std::string& why);
    static void Write(std::string_view text);
    static void SetEnabled(bool enabled);
    static bool Enabled();
    static void AttachWindow(Sink sink);
    // Extra receiver of every written line (the headless runner echoes the log).
    static void AttachEcho(Sink sink);
    static std::string FileName();  // "LOGyymmddhhnnss.txt" (the panel's), empty before Open
    static std::string Folder();    // the log folder, empty before Open
    static std::string FilePath();  // Folder() + "/" + FileName()
    static void CheckFolderCount(unsigned threshold);

    // Test hooks: a fixed clock, and a reset to the state at program load.
    static void SetClock(Clock clock);
    static void ResetForTest();
};

// The folder of the script runner's logs: $XDG_DATA_HOME/Quillon7-run-logs,
// apart from the panel's, so that the panel's count of its log files never
// sees them.
std::string RunLogFolder();
// A runner's log file name, "RUN-yymmdd-hhmmss.mmm-PID.txt": runs started in
// the same second, or side by side, never share one.
std::string RunLogFileName(const std::tm& local, int millisecond, long pid);

// "【%Y年%m月%d日%X】" of the given local time.
std::string LogStamp(const std::tm& local);
// Stamp, blank and text, cut to LogFile::kMaxLine bytes at a UTF-8 character boundary.
std::string StampedLine(const std::tm& local, std::string_view text);
// The stamped line at the log writer's current time.
std::string StampedLineNow(std::string_view text);
// Longest prefix of `text` of at most `maxBytes` bytes that ends on a character boundary.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes);

}  // namespace quillon
