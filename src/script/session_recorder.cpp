#include "script/session_recorder.h"

#include <sys/stat.h>

#include <filesystem>

#include "features/file_names.h"
#include "platform/platform.h"
#include "platform/ui_text.h"

namespace quillon::script {

namespace {

std::mutex g_mutex;  // the active recording and the running script
std::unique_ptr<SessionRecorder> g_active;
std::string g_runningScript;

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    std::error_code ec;
    const auto pa = std::filesystem::absolute(a, ec).lexically_normal();
    const auto pb = std::filesystem::absolute(b, ec).lexically_normal();
    return pa == pb;
}

void SetRunningScript(const std::string& path) {
    std::lock_guard lock(g_mutex);
    g_runningScript = path;
}

std::string RunningScript() {
    std::lock_guard lock(g_mutex);
    return g_runningScript;
}

std::unique_ptr<SessionRecorder> SessionRecorder::Start(const std::string& path,
                                                        const std::string& board,
                                                        std::string& why) {
    if (SameFile(path, RunningScript())) {
        why = Lang::Tr("実行中のｽｸﾘﾌﾟﾄには記録できません。");
        return nullptr;
    }
    // A folder, a FIFO (it would hold the panel until a reader came), a device
    // or a place this user may not write is refused before anything is created.
    const features::NameCheck check = features::CheckNameToWrite(path);
    if (!check.ok()) {
        why = check.reason;
        return nullptr;
    }
    std::unique_ptr<SessionRecorder> r(new SessionRecorder);
    r->path_ = std::filesystem::absolute(path).lexically_normal().string();
    if (!r->file_.Open(path)) {
        why = Lang::Tr("ﾌｧｲﾙを作成できません。");
        return nullptr;
    }
    r->WriteLine(TclComment(std::string("Quillon Panel ") + QUILLON_VERSION +
                            " session recording"));
    r->WriteLine(TclComment("board: " + board));
    r->WriteLine(TclComment("started: " + platform::LocalTimeText("%Y-%m-%d %H:%M:%S")));
    r->WriteLine(TclComment("replay: quillon-run --board " + board + " " + r->path_));
    if (!r->healthy()) {
        why = Lang::Tr("ﾌｧｲﾙに書き込めません。");
        return nullptr;
    }
    return r;
}

SessionRecorder::~SessionRecorder() {
    if (file_.isOpen()) Stop();
}

bool SessionRecorder::healthy() const {
    std::lock_guard lock(mutex_);
    return !failed_;
}

void SessionRecorder::WriteLine(std::string_view line) {
    std::lock_guard lock(mutex_);
    if (failed_ || !file_.isOpen()) return;
    std::string text(line);
    text += '\n';
    // Written through to the file at once: no buffer of ours holds a line.
    if (!file_.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()))
        failed_ = true;
}

void SessionRecorder::Op(const MacroOp& op, std::string_view note) {
    WriteLine(RecordedLine(op, note));
}

void SessionRecorder::Note(std::string_view text) {
    WriteLine(TclComment(text));
}

void SessionRecorder::Raw(std::string_view line) {
    WriteLine(line);
}

bool SessionRecorder::Stop() {
    WriteLine(TclComment("stopped: " + platform::LocalTimeText("%Y-%m-%d %H:%M:%S")));
    std::lock_guard lock(mutex_);
    const bool closed = file_.Close();
    return closed && !failed_;
}

SessionRecorder* ActiveRecording() {
    std::lock_guard lock(g_mutex);
    return g_active.get();
}

std::unique_ptr<SessionRecorder> SetActiveRecording(std::unique_ptr<SessionRecorder> recorder) {
    std::lock_guard lock(g_mutex);
    std::swap(g_active, recorder);
    return recorder;
}

void Record(const MacroOp& op, std::string_view note) {
    std::lock_guard lock(g_mutex);
    if (g_active) g_active->Op(op, note);
}

void RecordNote(std::string_view text) {
    std::lock_guard lock(g_mutex);
    if (g_active) g_active->Note(text);
}

std::string ReadNote(std::string_view value) {
    return "read -> " + std::string(value);
}

}  // namespace quillon::script
