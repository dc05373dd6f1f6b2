#include "script/tcl_host.h"

#include <tcl.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "link/board_link.h"
#include "log/log_file.h"
#include "log/platform.h"
#include "script/dispatcher.h"

namespace quillon::script {

namespace {

// TPRINT writes at most this many bytes of its text.
constexpr std::size_t kMaxPrintBytes = 259;
// Tcl events served by one pump of WAIT.
constexpr int kMaxTclEventsPerPump = 256;

struct HostState {
    Tcl_Interp* interp = nullptr;
    Tcl_Channel capture = nullptr;
    std::string capturePath;
    features::Reporter* reporter = &features::DefaultReporter();
    std::string keepDir;
    std::function<int(int)> exitHandler;
    bool atExitRegistered = false;
};

HostState& State() {
    static HostState s;
    return s;
}

// The capture channel while it is still the standard output: a script may have
// closed it ("close stdout"), and Tcl then freed it.
Tcl_Channel LiveCapture() {
    HostState& s = State();
    if (s.capture && Tcl_GetStdChannel(TCL_STDOUT) != s.capture) s.capture = nullptr;
    return s.capture;
}

void RestoreKeptDirectory() {
    const std::string& dir = State().keepDir;
    if (!dir.empty() && platform::CurrentDirectory() != dir) platform::SetCurrentDirectory(dir);
}

int TprintCommand(ClientData, Tcl_Interp* interp, int argc, const char* argv[]) {
    // Only the first argument is written; none writes an empty line.
    std::string_view text = argc > 1 ? std::string_view(argv[1]) : std::string_view();
    State().reporter->Log(Utf8Prefix(text, kMaxPrintBytes));
    State().reporter->Pump();
    RestoreKeptDirectory();
    Tcl_ResetResult(interp);
    return TCL_OK;
}

int KvxCommand(ClientData, Tcl_Interp* interp, int argc, const char* argv[]) {
    std::vector<std::string_view> words;
    words.reserve(argc > 1 ? argc - 1 : 0);
    for (int i = 1; i < argc; ++i) words.emplace_back(argv[i]);

    MacroContext ctx;
    ctx.board = link::CurrentBoard();
    ctx.reporter = State().reporter;
    ctx.baseDir = State().keepDir;
    ctx.setVariable = [interp](const char* name, const std::string& value) {
        Tcl_SetVar(interp, name, value.c_str(), TCL_GLOBAL_ONLY);
    };
    // WAIT lets the window's events and the script's own (after, fileevent) run.
    // A handler that schedules itself again ("after 0") always leaves an event
    // pending, so one pump serves a bounded number and WAIT still sees its clock.
    ctx.pump = [] {
        State().reporter->Pump();
        for (int i = 0; i < kMaxTclEventsPerPump; ++i) {
            if (!Tcl_DoOneEvent(TCL_ALL_EVENTS | TCL_DONT_WAIT)) break;
        }
    };
    MacroAnswer answer = DispatchMacro(words, ctx);
    RestoreKeptDirectory();
    Tcl_SetObjResult(interp, Tcl_NewStringObj(answer.result.c_str(), -1));
    if (answer.error && !ctx.refusal.empty()) {
        std::string info = "\n    (KVX_COMMAND refused: " + ctx.refusal + ")";
        Tcl_AddErrorInfo(interp, info.c_str());
    }
    return answer.error ? TCL_ERROR : TCL_OK;
}

void ExitProc(ClientData data) {
    const int code = static_cast<int>(reinterpret_cast<std::intptr_t>(data));
    const int status = State().exitHandler ? State().exitHandler(code) : code;
    TclHost::Shutdown();
    std::exit(status);
}

void SetOption(Tcl_Interp* interp, Tcl_Channel chan, const char* name, const char* value) {
    if (Tcl_SetChannelOption(interp, chan, name, value) != TCL_OK) Tcl_ResetResult(interp);
}

}  // namespace

bool TclHost::Init(features::Reporter& reporter) {
    HostState& s = State();
    s.reporter = &reporter;
    if (s.interp) return true;

    const std::string folder = platform::PrivateRuntimeFolder();
    if (folder.empty()) {
        LogFile::Write("TCLの初期化に失敗しました。");
        return false;
    }
    s.capturePath = folder + "/stdout.txt";

    Tcl_FindExecutable(nullptr);
    // Scripts, file names and the capture are UTF-8 whatever the locale says;
    // under LANG=C Tcl would otherwise take them as Latin-1.
    Tcl_SetSystemEncoding(nullptr, "utf-8");
    Tcl_Interp* interp = Tcl_CreateInterp();
    if (!interp) {
        LogFile::Write("TCLの初期化に失敗しました。");
        return false;
    }
    // Readable by this user only, in a folder only this user can enter.
    Tcl_Channel chan = Tcl_OpenFileChannel(interp, s.capturePath.c_str(), "w", 0600);
    if (!chan) {
        Tcl_DeleteInterp(interp);
        LogFile::Write("TCLの初期化に失敗しました。");
        return false;
    }
    // The standard channel first: registering creates the interpreter's channel
    // table, which takes the standard channels as they are at that moment.
    Tcl_SetStdChannel(chan, TCL_STDOUT);
    Tcl_RegisterChannel(interp, chan);
    SetOption(interp, chan, "-translation", "cr");
    SetOption(interp, chan, "-buffering", "line");
    SetOption(interp, chan, "-encoding", "utf-8");

    Tcl_CreateCommand(interp, "TPRINT", TprintCommand, nullptr, nullptr);
    Tcl_CreateCommand(interp, "KVX_COMMAND", KvxCommand, nullptr, nullptr);
    Tcl_SetExitProc(ExitProc);

    s.interp = interp;
    s.capture = chan;
    if (!s.atExitRegistered) {
        s.atExitRegistered = true;
        std::atexit([] { TclHost::Shutdown(); });
    }
    return true;
}

void TclHost::SetReporter(features::Reporter& reporter) {
    State().reporter = &reporter;
}

bool TclHost::Ready() {
    return State().interp != nullptr;
}
Tcl_Interp* TclHost::Interp() {
    return State().interp;
}

int TclHost::RunFile(const std::string& path) {
    Tcl_Interp* interp = State().interp;
    if (!interp) return TCL_ERROR;
    // The start lines of the run were logged, and the log writer moved into
    // its folder: the script starts where the runner keeps it.
    RestoreKeptDirectory();
    Tcl_Obj* pathObj = Tcl_NewStringObj(path.c_str(), -1);
    Tcl_IncrRefCount(pathObj);
    int code = Tcl_FSEvalFileEx(interp, pathObj, "utf-8");
    Tcl_DecrRefCount(pathObj);
    if (Tcl_Channel chan = LiveCapture()) Tcl_Flush(chan);
    RestoreKeptDirectory();
    return code;
}

std::string TclHost::Result() {
    Tcl_Interp* interp = State().interp;
    if (!interp) return "TCLの初期化に失敗しました。";
    return Tcl_GetStringResult(interp);
}

std::string TclHost::ErrorInfo() {
    Tcl_Interp* interp = State().interp;
    if (!interp) return {};
    const char* info = Tcl_GetVar(interp, "errorInfo", TCL_GLOBAL_ONLY);
    return info ? info : "";
}

std::string TclHost::Variable(const char* name) {
    Tcl_Interp* interp = State().interp;
    if (!interp) return {};
    const char* v = Tcl_GetVar(interp, name, TCL_GLOBAL_ONLY);
    return v ? v : "";
}

TclHost::RunReport TclHost::RunLogged(const std::string& path) {
    features::Reporter& r = *State().reporter;
    r.Log("-------- TCLｽｸﾘﾌﾟﾄ実行開始 --------");
    r.Log("TCLｽｸﾘﾌﾟﾄﾌｧｲﾙ：" + path);
    RunReport report;
    const std::uint64_t start = platform::TickMs();
    report.code = RunFile(path);
    report.elapsedMs = platform::TickMs() - start;
    report.result = Result();
    report.failed = report.code == TCL_ERROR;
    if (report.failed) {
        r.Log(report.result);
    } else {
        r.Log("-------- TCLｽｸﾘﾌﾟﾄ実行終了 --------");
    }
    RestoreKeptDirectory();
    return report;
}

TclHost::AutoReport TclHost::RunAutoScript(const std::string& path) {
    features::Reporter& r = *State().reporter;
    AutoReport report;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        r.Log("ｵｰﾄTCLｽｸﾘﾌﾟﾄ失敗(ﾌｧｲﾙ無し)");
        report.outcome = AutoOutcome::NoFile;
        return report;
    }
    if (!Ready()) {
        // Nothing can run it: reported like a run that failed.
        r.Log("ｵｰﾄｺTCLｽｸﾘﾌﾟﾄ失敗 → " + path);
        report.outcome = AutoOutcome::NoInterpreter;
        return report;
    }
    const std::uint64_t start = platform::TickMs();
    const int code = RunFile(path);
    report.elapsedMs = platform::TickMs() - start;
    if (code == TCL_ERROR) {
        r.Log("ｵｰﾄｺTCLｽｸﾘﾌﾟﾄ失敗 → " + path);
        report.outcome = AutoOutcome::Failed;
    } else {
        r.Log("AUTO TCL[" + path + "]");
        r.Log(" → ｵｰﾄTCL実行時間：" + std::to_string(report.elapsedMs) + "ms");
        report.outcome = AutoOutcome::Succeeded;
    }
    return report;
}

void TclHost::SetScriptArguments(const std::string& script, const std::vector<std::string>& args) {
    Tcl_Interp* interp = State().interp;
    if (!interp) return;
    Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
    for (const std::string& a : args)
        Tcl_ListObjAppendElement(nullptr, list, Tcl_NewStringObj(a.c_str(), -1));
    Tcl_SetVar2Ex(interp, "argv", nullptr, list, TCL_GLOBAL_ONLY);
    Tcl_SetVar2Ex(interp, "argc", nullptr, Tcl_NewIntObj(static_cast<int>(args.size())),
                  TCL_GLOBAL_ONLY);
    Tcl_SetVar2Ex(interp, "argv0", nullptr, Tcl_NewStringObj(script.c_str(), -1), TCL_GLOBAL_ONLY);
}

void TclHost::SetKeepDirectory(const std::string& dir) {
    State().keepDir = dir;
    RestoreKeptDirectory();
}

void TclHost::SetExitHandler(std::function<int(int)> handler) {
    State().exitHandler = std::move(handler);
}

std::string TclHost::CapturePath() {
    return State().capturePath;
}

void TclHost::Shutdown() {
    HostState& s = State();
    if (!s.interp || !LiveCapture()) return;
    Tcl_Channel chan = s.capture;
    s.capture = nullptr;
    Tcl_Flush(chan);
    // Tcl_Close panics on a channel that is still a standard channel: take it
    // out of that role first, then the unregister drops the last reference and
    // closes the file.
    Tcl_SetStdChannel(nullptr, TCL_STDOUT);
    Tcl_UnregisterChannel(s.interp, chan);
}

}  // namespace quillon::script
