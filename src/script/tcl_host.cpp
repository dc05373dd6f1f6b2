#include "script/tcl_host.h"

#include <fcntl.h>
#include <tcl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "features/long_work.h"
#include "link/board_link.h"
#include "log/log_file.h"
#include "platform/cause.h"
#include "platform/file_io.h"
#include "platform/platform.h"
#include "platform/ui_text.h"
#include "script/dispatcher.h"

namespace quillon::script {

namespace {

// TPRINT writes at most this many bytes of its text.
constexpr std::size_t kMaxPrintBytes = 259;
// Tcl events served by one pump of WAIT.
constexpr int kMaxTclEventsPerPump = 256;
// Scripts are text a person writes; a file beyond this is not one.
constexpr std::uint64_t kMaxScriptBytes = 64u << 20;

// "read" and "read_high". A read macro in a tight loop would spend most of its
// time in two global-variable writes, so after the first write a variable gets
// a trace and a macro only notes the new value; the trace hands it to Tcl when
// the script next reads the variable. A script's own write wins over a noted
// value, and an unset variable is simply written again by the next macro.
class TclVariables final : public MacroVariables {
  public:
    void Bind(Tcl_Interp* interp) {
        interp_ = interp;
        for (Slot& slot : slots_) {
            slot.nameObj = Keep(Tcl_NewStringObj(slot.name, -1));
            slot.pending = false;
            slot.traced = false;
        }
        zero_ = Keep(Tcl_NewWideIntObj(0));
    }
    void Set(const char* name, long long value) override {
        if (!interp_) return;
        Slot* slot = Find(name);
        if (!slot) {
            Tcl_SetVar2Ex(interp_, name, nullptr, Value(value), TCL_GLOBAL_ONLY);
            return;
        }
        if (slot->traced) {
            slot->value = value;
            slot->pending = true;
            return;
        }
        if (!Tcl_ObjSetVar2(interp_, slot->nameObj, nullptr, Value(value), TCL_GLOBAL_ONLY)) {
            return;
        }
        slot->traced =
            Tcl_TraceVar2(interp_, slot->name, nullptr, kTraceFlags, Traced, slot) == TCL_OK;
    }

  private:
    struct Slot {
        const char* name;
        TclVariables* owner;
        Tcl_Obj* nameObj = nullptr;
        long long value = 0;
        bool pending = false;
        bool traced = false;
    };
    static constexpr int kTraceFlags =
        TCL_GLOBAL_ONLY | TCL_TRACE_READS | TCL_TRACE_WRITES | TCL_TRACE_UNSETS;

    Slot* Find(const char* name) {
        for (Slot& slot : slots_) {
            if (std::strcmp(name, slot.name) == 0) return &slot;
        }
        return nullptr;
    }
    // Zero, the high half of every read narrower than 64 bits, is one shared
    // object (a script that changes the variable gets its own copy).
    Tcl_Obj* Value(long long value) const { return value == 0 ? zero_ : Tcl_NewWideIntObj(value); }

    static char* Traced(ClientData data, Tcl_Interp* interp, const char*, const char*, int flags) {
        auto* slot = static_cast<Slot*>(data);
        if (flags & TCL_TRACE_READS) {
            if (slot->pending) {
                slot->pending = false;
                // Traces of this variable are off while this one runs, so the
                // write does not come back here.
                Tcl_ObjSetVar2(interp, slot->nameObj, nullptr, slot->owner->Value(slot->value),
                               TCL_GLOBAL_ONLY);
            }
        } else if (flags & TCL_TRACE_WRITES) {
            slot->pending = false;
        } else if (flags & TCL_TRACE_UNSETS) {
            // The variable and its trace are gone; the next macro writes it anew.
            slot->pending = false;
            slot->traced = false;
        }
        return nullptr;
    }
    static Tcl_Obj* Keep(Tcl_Obj* o) {
        Tcl_IncrRefCount(o);
        return o;
    }
    Tcl_Interp* interp_ = nullptr;
    Slot slots_[2] = {{"read", this}, {"read_high", this}};
    Tcl_Obj* zero_ = nullptr;
};

// Where scripts' standard output goes.
enum class Output { RuntimeCapture, File, Process };

struct HostState {
    Tcl_Interp* interp = nullptr;
    // The standard-output channel, whichever it is.
    Tcl_Channel capture = nullptr;
    Output output = Output::RuntimeCapture;
    std::string capturePath;
    bool library = false;
    std::string initFailure;
    features::Reporter* reporter = &features::DefaultReporter();
    std::string keepDir;
    // The directory changes counted when the kept directory was last made sure of.
    std::uint64_t keptAt = 0;
    bool keptKnown = false;
    std::function<int(int)> exitHandler;
    bool atExitRegistered = false;
    TclVariables variables;
    Tcl_Encoding utf8 = nullptr;
    // The answers "1" and "0", made once.
    Tcl_Obj* one = nullptr;
    Tcl_Obj* zero = nullptr;
    // Tcl's own "cd", which the host's wrapper calls.
    Tcl_ObjCmdProc* cd = nullptr;
    ClientData cdData = nullptr;
    // This run was cancelled ("ﾕｰｻﾞｰｷｬﾝｾﾙ" is in the log).
    bool cancelled = false;
    // Why the last run failed: "line 3: invalid command name "foo"".
    std::string failure;
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

// Puts the process back into the kept directory when anything may have moved
// it (a log line moves into the log folder, a script may "cd"); asking the
// system every time would cost more than a whole macro.
void RestoreKeptDirectory() {
    HostState& s = State();
    if (s.keepDir.empty()) return;
    if (s.keptKnown && platform::DirectoryChanges() == s.keptAt) return;
    if (platform::CurrentDirectory() != s.keepDir) platform::SetCurrentDirectory(s.keepDir);
    s.keptAt = platform::DirectoryChanges();
    s.keptKnown = true;
}

// Tcl's "cd", counted as a change of directory.
int CdCommand(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
    const int code = State().cd(State().cdData, interp, objc, objv);
    platform::NoteDirectoryChanged();
    return code;
}

// Inside, Tcl holds a NUL as the two bytes C0 80 and a character beyond the
// BMP as a surrogate pair; only words with such bytes need converting to the
// UTF-8 that files and the board see.
bool NeedsConversion(std::string_view word) {
    for (char c : word) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0xC0 || b == 0xED) return true;
    }
    return false;
}

void AppendWord(std::string& out, std::string_view word) {
    if (!NeedsConversion(word)) {
        out += word;
        return;
    }
    Tcl_DString ds;
    Tcl_UtfToExternalDString(State().utf8, word.data(), static_cast<int>(word.size()), &ds);
    out.append(Tcl_DStringValue(&ds), static_cast<std::size_t>(Tcl_DStringLength(&ds)));
    Tcl_DStringFree(&ds);
}

std::string_view WordOf(Tcl_Obj* obj) {
    int length = 0;
    const char* bytes = Tcl_GetStringFromObj(obj, &length);
    return {bytes, static_cast<std::size_t>(length)};
}

// WAIT lets the window's events and the script's own (after, fileevent) run.
// A handler that schedules itself again ("after 0") always leaves an event
// pending, so one pump serves a bounded number and WAIT still sees its clock.
void PumpEvents() {
    State().reporter->Pump();
    for (int i = 0; i < kMaxTclEventsPerPump; ++i) {
        if (!Tcl_DoOneEvent(TCL_ALL_EVENTS | TCL_DONT_WAIT)) break;
    }
}

// --- Stopping a script -----------------------------------------------------------
//
// A cancel (the panel's ｷｬﾝｾﾙ, SIGINT in quillon-run) stops the script at its
// next command with the error "cancelled", and no catch in the script can
// hold it. The interpreter's time limit does both: it is armed 50 ms ahead
// while a script runs, and its handler lets events run and moves it on; once
// a cancel is asked for, the handler leaves it expired, and Tcl then refuses
// every further command, catch included. A macro in flight has ended its
// transfer first, with its end command.

// How often a running script lets events run and looks for a cancel.
constexpr int kServeMs = 50;

void ArmServeLimit(Tcl_Interp* interp, int ms) {
    Tcl_Time next;
    Tcl_GetTime(&next);
    next.usec += static_cast<long>(ms) * 1000;
    next.sec += next.usec / 1000000;
    next.usec %= 1000000;
    Tcl_LimitSetTime(interp, &next);
}

// Told once in the log per run.
void NoteCancel() {
    HostState& s = State();
    if (s.cancelled) return;
    s.cancelled = true;
    s.reporter->Log(Lang::MarkedStd(features::kUserCancel));
}

void ServeLimit(ClientData, Tcl_Interp* interp) {
    if (!features::CancelRequested()) State().reporter->Pump();
    if (features::CancelRequested()) {
        NoteCancel();
        return;  // left expired: the script ends here
    }
    ArmServeLimit(interp, kServeMs);
}

// Ends the script from inside a command: the limit expires now.
int CancelScript(Tcl_Interp* interp) {
    NoteCancel();
    ArmServeLimit(interp, -1);
    Tcl_LimitCheck(interp);
    Tcl_SetObjResult(interp, Tcl_NewStringObj("cancelled", -1));
    return TCL_ERROR;
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

// A failed macro says why in the error information, and as the error code
// {KVX_COMMAND why}, which the report of a failed run reads: what the macro
// refused, else the cause its failure left (log/cause.h; the log is off while
// a macro runs), else the macro itself.
void NoteMacroFailure(Tcl_Interp* interp, std::string_view text, const std::string& refusal) {
    const std::optional<std::string> cause = TakeCause();
    std::string why, info;
    if (!refusal.empty()) {
        // A refusal over a file also has the system's word on it.
        why = "KVX_COMMAND refused: " + refusal;
        info = "\n    (" + why + ")";
        if (cause) {
            why += " (" + *cause + ")";
            info += "\n    (" + *cause + ")";
        }
    } else {
        why = "KVX_COMMAND failed: " + (cause ? std::string(MacroText(text).name()) + ": " + *cause
                                              : std::string(Utf8Prefix(text, kMaxPrintBytes)));
        info = "\n    (" + why + ")";
    }
    Tcl_AddErrorInfo(interp, info.c_str());
    Tcl_SetErrorCode(interp, "KVX_COMMAND", why.c_str(), nullptr);
}

// Why a run failed, with the line of the script where it stopped: the
// macro's reason or Tcl's own message, and the line of the file that the
// error information names.
std::string FailureLine(Tcl_Interp* interp) {
    std::string message = Tcl_GetStringResult(interp);
    Tcl_Obj* options = Tcl_GetReturnOptions(interp, TCL_ERROR);
    Tcl_IncrRefCount(options);
    Tcl_Obj* key = Tcl_NewStringObj("-errorcode", -1);
    Tcl_IncrRefCount(key);
    Tcl_Obj* code = nullptr;
    int n = 0;
    Tcl_Obj** words = nullptr;
    if (Tcl_DictObjGet(nullptr, options, key, &code) == TCL_OK && code &&
        Tcl_ListObjGetElements(nullptr, code, &n, &words) == TCL_OK && n == 2 &&
        WordOf(words[0]) == "KVX_COMMAND") {
        message = WordOf(words[1]);
    }
    Tcl_DecrRefCount(key);
    Tcl_DecrRefCount(options);
    // "(file "/x/run.tcl" line 3)": the top-level command that failed.
    const char* info = Tcl_GetVar(interp, "errorInfo", TCL_GLOBAL_ONLY);
    const std::string_view text = info ? info : "";
    const std::size_t file = text.rfind("(file \"");
    const std::size_t at = file == std::string_view::npos ? file : text.find("\" line ", file);
    if (at == std::string_view::npos) return message;
    std::size_t end = at + 7;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == at + 7) return message;
    return "line " + std::string(text.substr(at + 7, end - at - 7)) + ": " + message;
}

int KvxCommand(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
    HostState& s = State();
    // The words are joined with no separator; the usual single word is used
    // where Tcl holds it.
    std::string joined;
    std::string_view text;
    if (objc == 2 && !NeedsConversion(WordOf(objv[1]))) {
        text = WordOf(objv[1]);
    } else {
        for (int i = 1; i < objc; ++i) AppendWord(joined, WordOf(objv[i]));
        text = joined;
    }

    // Each macro is an action of its own: a cause left by an earlier one
    // does not explain its failure.
    ClearCause();
    MacroContext ctx;
    ctx.board = link::CurrentBoard();
    ctx.reporter = s.reporter;
    ctx.baseDir = s.keepDir;
    ctx.variables = &s.variables;
    ctx.pump = PumpEvents;
    MacroAnswer answer = DispatchMacro(MacroText(text), ctx);
    RestoreKeptDirectory();
    if (features::CancelRequested()) return CancelScript(interp);
    if (answer.result == "1")
        Tcl_SetObjResult(interp, s.one);
    else if (answer.result == "0")
        Tcl_SetObjResult(interp, s.zero);
    else
        Tcl_SetObjResult(interp, Tcl_NewStringObj(answer.result.c_str(), -1));
    // An unknown macro's answer names it already.
    if (answer.error && answer.result == "0") NoteMacroFailure(interp, text, ctx.refusal);
    return answer.error ? TCL_ERROR : TCL_OK;
}

// The cause of a failed run for its report (log/cause.h): why it stopped
// and where, else the result, which then says all there is.
void NoteFailure() {
    const std::string& failure = State().failure;
    SetCause(failure.empty() ? TclHost::Result() : failure);
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

// The channel scripts' standard output goes to. The process's own is a
// copy of descriptor 1: Tcl closes the descriptor of a channel it closes
// ("close stdout", the end of the run), and a file opened after that must not
// take the number the program's own output is written to.
Tcl_Channel OpenOutput(Tcl_Interp* interp) {
    HostState& s = State();
    if (s.output != Output::Process) {
        // The panel's capture is readable by this user only, in a folder only
        // this user can enter; a file the user named gets the usual mode.
        const int mode = s.output == Output::RuntimeCapture ? 0600 : 0666;
        return Tcl_OpenFileChannel(interp, s.capturePath.c_str(), "w", mode);
    }
    const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) return nullptr;
    Tcl_Channel chan = Tcl_MakeFileChannel(
        reinterpret_cast<ClientData>(static_cast<std::intptr_t>(fd)), TCL_WRITABLE);
    if (!chan) ::close(fd);
    return chan;
}

bool InitFailed(std::string why) {
    State().initFailure = std::move(why);
    LogFile::Write(Lang::Tr("TCLの初期化に失敗しました。"));
    return false;
}

}  // namespace

bool TclHost::Init(features::Reporter& reporter) {
    HostState& s = State();
    s.reporter = &reporter;
    if (s.interp) return true;

    s.initFailure.clear();
    if (s.output == Output::RuntimeCapture) {
        const std::string folder = platform::PrivateRuntimeFolder();
        if (folder.empty()) return InitFailed("no private runtime folder for the capture file");
        s.capturePath = folder + "/stdout.txt";
    }

    Tcl_FindExecutable(nullptr);
    // Scripts, file names and the capture are UTF-8 whatever the locale says;
    // under LANG=C Tcl would otherwise take them as Latin-1.
    Tcl_SetSystemEncoding(nullptr, "utf-8");
    Tcl_Interp* interp = Tcl_CreateInterp();
    if (!interp) return InitFailed("the Tcl interpreter could not be created");
    // Before any channel is made: a library that cannot be found leaves no
    // capture behind.
    if (s.library && Tcl_Init(interp) != TCL_OK) {
        std::string why = Tcl_GetStringResult(interp);
        Tcl_DeleteInterp(interp);
        return InitFailed(std::move(why));
    }
    Tcl_Channel chan = OpenOutput(interp);
    if (!chan) {
        std::string why = s.output == Output::Process
                              ? std::string("the standard output cannot be used")
                              : Tcl_GetStringResult(interp);
        Tcl_DeleteInterp(interp);
        return InitFailed(std::move(why));
    }
    // The standard channel first: registering creates the interpreter's channel
    // table, which takes the standard channels as they are at that moment.
    Tcl_SetStdChannel(chan, TCL_STDOUT);
    Tcl_RegisterChannel(interp, chan);
    SetOption(interp, chan, "-translation", s.output == Output::Process ? "lf" : "cr");
    // Line by line, so that what a script printed is out when it goes on
    // (a reader of a pipe sees each line as it comes) and lines keep their
    // order with the log lines on standard error.
    SetOption(interp, chan, "-buffering", "line");
    SetOption(interp, chan, "-encoding", "utf-8");

    Tcl_CreateCommand(interp, "TPRINT", TprintCommand, nullptr, nullptr);
    Tcl_CreateObjCommand(interp, "KVX_COMMAND", KvxCommand, nullptr, nullptr);
    Tcl_SetExitProc(ExitProc);
    // A script's "cd" is a change of directory the kept directory must see.
    Tcl_CmdInfo cd;
    if (Tcl_GetCommandInfo(interp, "cd", &cd) && cd.isNativeObjectProc && cd.objProc) {
        s.cd = cd.objProc;
        s.cdData = cd.objClientData;
        cd.objProc = CdCommand;
        cd.objClientData = nullptr;
        Tcl_SetCommandInfo(interp, "cd", &cd);
    }
    s.utf8 = Tcl_GetEncoding(nullptr, "utf-8");
    s.one = Tcl_NewStringObj("1", 1);
    Tcl_IncrRefCount(s.one);
    s.zero = Tcl_NewStringObj("0", 1);
    Tcl_IncrRefCount(s.zero);
    s.variables.Bind(interp);
    Tcl_LimitAddHandler(interp, TCL_LIMIT_TIME, ServeLimit, nullptr, nullptr);
    // The clock is read at every command (a few nanoseconds): an expired
    // limit then stops the very next one, a caught error's handler included.
    Tcl_LimitSetGranularity(interp, TCL_LIMIT_TIME, 1);

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
    State().failure.clear();
    Tcl_Interp* interp = State().interp;
    if (!interp) return TCL_ERROR;
    // The start lines of the run were logged, and the log writer moved into
    // its folder: the script starts where the runner keeps it.
    RestoreKeptDirectory();
    // A FIFO or a device would hold the program in Tcl's read for ever, and a
    // file of any size would be read whole: neither reaches Tcl.
    {
        platform::InputFile script;
        const auto status = script.Open(path);
        const char* why =
            status == platform::InputFile::Status::NotRegular ? "not a regular file"
            : status == platform::InputFile::Status::Ok && script.size() > kMaxScriptBytes
                ? "larger than 64 MiB"
                : nullptr;
        if (why) {
            const std::string text = "couldn't read file \"" + path + "\": " + why;
            Tcl_SetObjResult(interp, Tcl_NewStringObj(text.c_str(), -1));
            Tcl_SetVar(interp, "errorInfo", text.c_str(), TCL_GLOBAL_ONLY);
            return TCL_ERROR;
        }
    }
    Tcl_Obj* pathObj = Tcl_NewStringObj(path.c_str(), -1);
    Tcl_IncrRefCount(pathObj);
    HostState& s = State();
    s.cancelled = false;
    int code;
    if (features::CancelRequested()) {
        // Stopped before it began (a signal during the start-up).
        NoteCancel();
        code = TCL_ERROR;
    } else {
        ArmServeLimit(interp, kServeMs);
        Tcl_LimitTypeSet(interp, TCL_LIMIT_TIME);
        code = Tcl_FSEvalFileEx(interp, pathObj, "utf-8");
        s.failure = code == TCL_ERROR ? FailureLine(interp) : std::string();
        // Also clears an expired limit: the next script runs.
        Tcl_LimitTypeReset(interp, TCL_LIMIT_TIME);
    }
    if (s.cancelled) {
        code = TCL_ERROR;
        Tcl_SetObjResult(interp, Tcl_NewStringObj("cancelled", -1));
        Tcl_SetVar(interp, "errorInfo", "cancelled", TCL_GLOBAL_ONLY);
        s.failure = Lang::MarkedStd(features::kUserCancel);
    }
    Tcl_DecrRefCount(pathObj);
    if (Tcl_Channel chan = LiveCapture()) Tcl_Flush(chan);
    RestoreKeptDirectory();
    return code;
}

std::string TclHost::Result() {
    Tcl_Interp* interp = State().interp;
    if (!interp) return Lang::Tr("TCLの初期化に失敗しました。");
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
    r.Log(Lang::Tr("-------- TCLｽｸﾘﾌﾟﾄ実行開始 --------"));
    r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "TCLｽｸﾘﾌﾟﾄﾌｧｲﾙ：%1"), path));
    RunReport report;
    const std::uint64_t start = platform::TickMs();
    report.code = RunFile(path);
    report.elapsedMs = platform::TickMs() - start;
    report.result = Result();
    report.failed = report.code == TCL_ERROR;
    if (report.failed) {
        // The result alone is "0" for a failed macro: the line after it says
        // why (unless the result says it already).
        NoteFailure();
        if (PeekCause() == report.result)
            r.Log(report.result);
        else
            r.Fail(report.result);
    } else {
        r.Log(Lang::Tr("-------- TCLｽｸﾘﾌﾟﾄ実行終了 --------"));
    }
    RestoreKeptDirectory();
    return report;
}

TclHost::AutoReport TclHost::RunAutoScript(const std::string& path) {
    features::Reporter& r = *State().reporter;
    AutoReport report;
    // Only a regular file runs; one that may not be read goes on to the run,
    // whose error then says so.
    if (const auto problem = platform::CheckFileToRead(path);
        problem != platform::NameProblem::None && problem != platform::NameProblem::Denied) {
        r.Log(Lang::Tr("ｵｰﾄTCLｽｸﾘﾌﾟﾄ失敗(ﾌｧｲﾙ無し)"));
        report.outcome = AutoOutcome::NoFile;
        return report;
    }
    if (!Ready()) {
        // Nothing can run it: reported like a run that failed.
        r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ｵｰﾄｺTCLｽｸﾘﾌﾟﾄ失敗 → %1"), path));
        report.outcome = AutoOutcome::NoInterpreter;
        return report;
    }
    const std::uint64_t start = platform::TickMs();
    const int code = RunFile(path);
    report.elapsedMs = platform::TickMs() - start;
    if (code == TCL_ERROR) {
        NoteFailure();
        r.Fail(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ｵｰﾄｺTCLｽｸﾘﾌﾟﾄ失敗 → %1"), path));
        report.outcome = AutoOutcome::Failed;
    } else {
        r.Log("AUTO TCL[" + path + "]");
        r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", " → ｵｰﾄTCL実行時間：%1ms"), report.elapsedMs));
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
    State().keptKnown = false;
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
    if (!s.interp) return;
    if (LiveCapture()) {
        Tcl_Channel chan = s.capture;
        s.capture = nullptr;
        Tcl_Flush(chan);
        // Tcl_Close panics on a channel that is still a standard channel: take it
        // out of that role first, then the unregister drops the last reference and
        // closes the file.
        Tcl_SetStdChannel(nullptr, TCL_STDOUT);
        Tcl_UnregisterChannel(s.interp, chan);
    }
}

void TclHost::CaptureTo(const std::string& path) {
    State().output = Output::File;
    State().capturePath = path;
}

void TclHost::PassStandardOutput() {
    State().output = Output::Process;
    State().capturePath.clear();
}

void TclHost::UseTclLibrary(bool use) {
    State().library = use;
}

std::string TclHost::InitFailure() {
    return State().initFailure;
}

}  // namespace quillon::script
