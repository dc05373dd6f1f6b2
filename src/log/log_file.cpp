#include "log/log_file.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>

#include "platform/platform.h"
#include "platform/prompter.h"
#include "platform/ui_text.h"

namespace quillon {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct LogState {
    // Lines come from the GUI thread and from the worker of a long operation;
    // one at a time, so that the file, the window and the echo see one order.
    std::recursive_mutex mu;
    std::atomic<bool> enabled{true};
    std::string folder;
    std::string fileName;
    FilePtr startHandle;  // held open, unwritten, for the whole run
    LogFile::Sink window;
    LogFile::Sink echo;
    LogFile::Clock clock;
};

LogState& State() {
    static LogState s;
    return s;
}

std::tm LocalNow() {
    std::time_t t = State().clock ? State().clock() : std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

void ToWindow(const std::string& line) {
    if (State().window) State().window(line);
}

}  // namespace

std::string LogStamp(const std::tm& tm) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "【%04d年%02d月%02d日%02d:%02d:%02d】", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t n = maxBytes;
    // Step back over continuation bytes so a character is never split.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

std::string StampedLine(const std::tm& local, std::string_view text) {
    std::string line = LogStamp(local);
    line += ' ';
    line += Utf8Prefix(text, LogFile::kMaxLine - line.size());
    return line;
}

std::string StampedLineNow(std::string_view text) { return StampedLine(LocalNow(), text); }

namespace {

// Creates `folder` (with its parents: a fresh account may not have
// ~/.local/share yet). False when it is still no folder.
bool MakeFolder(const std::string& folder) {
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) return true;
    std::filesystem::create_directories(folder, ec);
    return std::filesystem::is_directory(folder, ec);
}

// Takes `fileName` in `folder` as this run's log and holds it open.
bool StartFile(const std::string& folder, const std::string& fileName) {
    LogState& s = State();
    s.folder = folder;
    s.fileName = fileName;
    platform::SetCurrentDirectory(s.folder);
    s.startHandle.reset(std::fopen(LogFile::FilePath().c_str(), "a"));
    return s.startHandle != nullptr;
}

}  // namespace

bool LogFile::Open() {
    const std::string folder = platform::AppDataFolder() + "/Quillon7";
    if (!MakeFolder(folder)) {
        Prompts().Message(Lang::Tr("ｱﾌﾟﾘｹｰｼｮﾝﾃﾞｨﾚｸﾄﾘの作成に失敗しました。"), MsgIcon::Warning);
        return false;
    }
    std::tm tm = LocalNow();
    char name[32];
    std::snprintf(name, sizeof name, "LOG%02d%02d%02d%02d%02d%02d.txt", tm.tm_year % 100,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    if (!StartFile(folder, name)) ToWindow(Lang::Tr("ﾛｸﾞﾌｧｲﾙを作成出来ませんでした。"));
    return true;
}

bool LogFile::OpenAs(const std::string& folder, const std::string& fileName, std::string& why) {
    if (!MakeFolder(folder)) {
        why = "the log folder " + folder + " cannot be created";
        return false;
    }
    if (StartFile(folder, fileName)) return true;
    why = "the log file " + FilePath() + " cannot be opened: " + std::strerror(errno);
    State().fileName.clear();
    return false;
}

std::string RunLogFolder() { return platform::AppDataFolder() + "/Quillon7-run-logs"; }

std::string RunLogFileName(const std::tm& tm, int millisecond, long pid) {
    char name[64];
    std::snprintf(name, sizeof name, "RUN-%02d%02d%02d-%02d%02d%02d.%03d-%ld.txt",
                  tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  millisecond, pid);
    return name;
}

void LogFile::Write(std::string_view text) {
    LogState& s = State();
    if (!s.enabled) return;
    std::lock_guard<std::recursive_mutex> lock(s.mu);
    std::string line = StampedLine(LocalNow(), text);
    ToWindow(line);
    if (s.echo) s.echo(line);
    if (!s.folder.empty()) platform::SetCurrentDirectory(s.folder);
    FilePtr f;
    if (!s.fileName.empty()) f.reset(std::fopen(FilePath().c_str(), "a"));
    if (!f) {
        ToWindow("Failed to write to the log file.");
        return;
    }
    line += '\n';
    if (std::fwrite(line.data(), 1, line.size(), f.get()) != line.size() ||
        std::fflush(f.get()) != 0) {
        ToWindow("Failed to write to the log file.");
    }
}

void LogFile::SetEnabled(bool enabled) { State().enabled = enabled; }
bool LogFile::Enabled() { return State().enabled; }
void LogFile::AttachWindow(Sink sink) {
    std::lock_guard<std::recursive_mutex> lock(State().mu);
    State().window = std::move(sink);
}
void LogFile::AttachEcho(Sink sink) {
    std::lock_guard<std::recursive_mutex> lock(State().mu);
    State().echo = std::move(sink);
}
std::string LogFile::FileName() { return State().fileName; }
std::string LogFile::Folder() { return State().folder; }

std::string LogFile::FilePath() {
    const LogState& s = State();
    if (s.fileName.empty()) return {};
    return s.folder + "/" + s.fileName;
}

void LogFile::CheckFolderCount(unsigned threshold) {
    unsigned count = 0;
    std::error_code ec;
    std::filesystem::directory_iterator it(State().folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) ++count;
    if (ec) count = 0;
    if (threshold > 0 && count >= threshold) {
        Prompts().Message(Lang::Tr("ﾛｸﾞﾌｧｲﾙが多数あります。\n適宜整理して下さい。"),
                          MsgIcon::Information);
        Write(Lang::Tr("ﾛｸﾞﾌｧｲﾙが多数あります。適宜整理して下さい。"));
        Prompts().OpenWithDesktop(State().folder);
    }
}

void LogFile::SetClock(Clock clock) { State().clock = std::move(clock); }

void LogFile::ResetForTest() {
    LogState& s = State();
    s.enabled = true;
    s.folder.clear();
    s.fileName.clear();
    s.startHandle.reset();
    s.window = nullptr;
    s.echo = nullptr;
    s.clock = nullptr;
}

}  // namespace quillon
