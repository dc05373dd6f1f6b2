// quillon-run: runs one Tcl script against the board without a window, for
// benches and CI. Same Tcl host, same macros and the same log as the panel.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "boards/backends.h"
#include "cli/junit_report.h"
#include "cli/progress_line.h"
#include "cli/run_options.h"
#include "cli/stop_signals.h"
#include "features/long_work.h"
#include "features/reporter.h"
#include "link/board_link.h"
#include "link/usb/usb_backend.h"
#include "log/log_file.h"
#include "platform/cause.h"
#include "platform/file_io.h"
#include "platform/platform.h"
#include "script/tcl_host.h"

namespace {

using namespace quillon;

constexpr int kExitOk = 0;
constexpr int kExitScriptError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoBoard = 3;

std::string Usage() {
    return std::string("usage: quillon-run ") + boards::kBoardOptionsUsage +
           "\n"
           "                   [--quiet] [--log FILE] [--stdout-file FILE] [--junit FILE]\n"
           "                   [--tcl-library] SCRIPT [ARG ...]\n"
           "       quillon-run --list\n";
}

std::string Help() {
    return std::string(
    "Runs the Tcl script SCRIPT against the board, headless, with the same Tcl host,\n"
    "KVX_COMMAND macros and log as the Quillon Panel script page.\n"
    "\n"
    "Options (before SCRIPT; everything after SCRIPT is passed to the script):\n") +
           boards::BoardOptionsHelp("the first one found") +
    "  --list               list the boards connected, one a line, and end:\n"
    "                       usb:BUS-PORTS  VID:PID  speed SPEED  serial SERIAL (- for none);\n"
    "                       a --board usb:ID that names no board, or a serial number two\n"
    "                       boards share, is an error that lists them too\n"
    "  --quiet              do not echo the log lines on standard error (the log file\n"
    "                       still has them all)\n"
    "  --log FILE           write the log to FILE (appended to when it exists) instead of\n"
    "                       a new file in the runner's log folder\n"
    "  --stdout-file FILE   what the script writes with puts goes into FILE, each line\n"
    "                       ended by a carriage return as in the panel's stdout.txt,\n"
    "                       instead of to standard output\n"
    "  --junit FILE         write a JUnit XML report of the run to FILE (one test case:\n"
    "                       the script; failed with the Tcl error and the last log lines)\n"
    "  --tcl-library        load Tcl's own library (Tcl_Init): clock format and scan,\n"
    "                       msgcat, package require of the packages Tcl ships; without\n"
    "                       it the script has what the panel's scripts have\n"
    "  --help, -h           show this text\n"
    "  --version            show the version\n"
    "  --                   ends the options: the next word is SCRIPT even if it starts\n"
    "                       with '-'\n"
    "Each option also takes the form --option=VALUE. LOG, STDOUT and JUNIT files must\n"
    "be regular files (or new ones) in a folder that exists: a folder, a FIFO or a\n"
    "device is refused at the start with status 2.\n"
    "\n"
    "The script:\n"
    "  - sees argv (the list of ARGs), argc and argv0 (SCRIPT as given);\n"
    "  - is read as UTF-8; has the Tcl built-in commands (no package library, no\n"
    "    'clock format', as in the panel; all of Tcl with --tcl-library) plus\n"
    "    TPRINT text (writes a log line) and KVX_COMMAND macro\n"
    "    (RW RR UC MW MR FC WAIT IW IR IW2 IR2 IW3 IR3 GW GR GD STA GTA);\n"
    "  - writes with puts to standard output, each line ended by LF and passed on as\n"
    "    the script ends it (what is left is written at a flush and at the end, also\n"
    "    by exit, an error or a signal), so that 'quillon-run read.tcl > values.txt'\n"
    "    keeps what the script printed and nothing else.\n"
    "Relative file names in macros (and in the script's own commands) resolve in the\n"
    "directory quillon-run was started in.\n"
    "\n"
    "Output: every log line is written to this run's own log file and echoed to\n"
    "standard error as it is written (log lines are diagnostics). The log file is\n"
    "RUN-yymmdd-hhmmss.mmm-PID.txt (start time to the millisecond, process number) in\n"
    "$XDG_DATA_HOME/Quillon7-run-logs (by default ~/.local/share/Quillon7-run-logs),\n"
    "so runs side by side never share one, or FILE of --log. The panel's log folder\n"
    "(Quillon7) is not written to. Message boxes a macro would show become lines on\n"
    "standard error, also with --quiet.\n"
    "\n"
    "Exit status:\n"
    "  0  the script completed without a Tcl error\n"
    "  1  the script ended with a Tcl error (a failed macro, a syntax error, ...): the\n"
    "     interpreter's result goes to standard error and to the log\n"
    "  2  usage error, unknown or incomplete option, bad sim profile, trace file not\n"
    "     creatable, a LOG, STDOUT or JUNIT file that cannot be written, the log\n"
    "     folder not creatable, Tcl's library not found (--tcl-library), or SCRIPT\n"
    "     missing or unreadable\n"
    "  3  no board could be opened (\"USB NOT OPEN!!\" is logged; the script does not run)\n"
    "  4  the run went well but the wire trace, the log file or the JUnit report could\n"
    "     not be written whole (a full disk, --trace /dev/full): standard error says why\n"
    "  130  the run was stopped by SIGINT (Ctrl+C): standard error says so\n"
    "  143  the run was stopped by SIGTERM: standard error says so\n"
    "A script that calls 'exit N' ends the run with status N.\n"
    "\n"
    "Stopping: SIGINT or SIGTERM stops the run the way the panel's cancel does: the\n"
    "transfer in flight ends with its end command, \"ﾕｰｻﾞｰｷｬﾝｾﾙ\" is logged, a file MR\n"
    "was writing replaces nothing, and no catch in the script holds the stop. A\n"
    "configuration load (UC) runs to its end first; a second SIGINT ends at once.\n"
    "\n"
    "Progress: while standard error is a terminal, MW, MR, UC and FC show one line\n"
    "there that updates in place: the bytes done of the total and, after the first\n"
    "second, the rate and the time left. Nothing is shown when it is not a terminal.\n"
    "\n"
    "Examples:\n"
    "  quillon-run --board sim examples/selftest.tcl\n"
    "  quillon-run --board sim --quiet --junit report.xml test.tcl > values.txt\n"
    "\n"
    "See quillon-run(1).\n";
}
// The progress line on standard error; log lines and boxes clear it first.
cli::ProgressLine& TerminalLine() {
    static cli::ProgressLine line(stderr, isatty(STDERR_FILENO) == 1);
    return line;
}

// Pending events (device notices, timers) run when TPRINT or WAIT let them.
class RunnerReporter : public features::Reporter {
  public:
    void Pump() override { QCoreApplication::processEvents(); }
    MsgAnswer Message(const std::string& text, MsgIcon icon, MsgButtons buttons) override {
        TerminalLine().Clear();
        return Reporter::Message(text, icon, buttons);
    }
    void Progress(std::uint64_t done, std::uint64_t total, Unit unit) override {
        TerminalLine().Update(done, total, unit);
    }
};

// What the end of the run needs to know: where its report goes and how the
// script fared.
struct RunState {
    cli::RunnerOptions options;
    std::string boardText;
    cli::ScriptCase report;
    std::uint64_t scriptStartMs = 0;
    bool scriptStarted = false;
    // The log's last lines, for the report of a failed run.
    cli::RecentLines recent{20};
    // A log line did not reach the log file.
    bool logLost = false;
};

RunState& Run() {
    static RunState run;
    return run;
}

// The status the run ends with: a run a signal stopped says so and ends with
// the signal's status, whatever the script's end was.
int EndStatus(int code) {
    TerminalLine().Clear();
    if (const int signal = cli::StopSignal()) {
        std::fprintf(stderr, "quillon-run: stopped by %s\n", cli::StopSignalName(signal));
        return cli::StopStatus(signal);
    }
    return code;
}

// A board that left during the script is told in the log ("USB CLOSE!!")
// before the run ends, so the log shows why the script failed. The notice is
// queued; on a real bus it comes a moment after the request that failed.
void TakeRemovalNotice() {
    QCoreApplication::processEvents();
    QDeadlineTimer deadline(2000);
    while (link::BoardLink::Instance().RemovalPending() && !deadline.hasExpired()) {
        QThread::msleep(5);
        QCoreApplication::processEvents();
    }
}

void NoteOutcome(cli::ScriptCase::Outcome outcome, std::string type, std::string message,
                 std::string details = {}) {
    cli::ScriptCase& c = Run().report;
    c.outcome = outcome;
    c.type = std::move(type);
    c.message = std::move(message);
    c.details = std::move(details);
}

// The JUnit report of the run that ends with `status`. A stop by a signal
// and a trace that was lost say so over what the script did.
bool WriteJunit(int status, const std::string& traceError) {
    RunState& run = Run();
    cli::ScriptCase& c = run.report;
    if (const int signal = cli::StopSignal()) {
        NoteOutcome(cli::ScriptCase::Outcome::Failed, cli::StopSignalName(signal),
                    std::string("stopped by ") + cli::StopSignalName(signal));
    } else if (!traceError.empty() && c.outcome == cli::ScriptCase::Outcome::Passed) {
        NoteOutcome(cli::ScriptCase::Outcome::Error, "trace",
                    "the wire trace is incomplete: " + traceError);
    }
    if (c.outcome != cli::ScriptCase::Outcome::Passed) {
        if (!c.details.empty()) c.details += "\n\n";
        c.details += "Last log lines:\n" + run.recent.Joined();
    }
    if (run.scriptStarted)
        c.seconds = static_cast<double>(platform::TickMs() - run.scriptStartMs) / 1000.0;
    c.properties = {{"board", run.boardText},
                    {"log", LogFile::FilePath()},
                    {"exit status", std::to_string(status)}};
    if (run.options.tclLibrary) c.properties.emplace_back("tcl library", "loaded");
    std::string why;
    if (cli::WriteReport(run.options.junitFile, cli::JunitXml(c), why)) return true;
    std::fprintf(stderr, "quillon-run: the JUnit report %s could not be written: %s\n",
                 run.options.junitFile.c_str(), why.c_str());
    return false;
}

// The end of every run that got past its start, by return or by the
// script's exit: the removal notice, the board closed, the trace written out,
// the report written.
int EndRun(int code) {
    TakeRemovalNotice();
    link::BoardLink::Instance().Close();
    int status = EndStatus(code);
    std::string traceError;
    if (!boards::FinishTrace(traceError)) {
        std::fprintf(stderr, "quillon-run: the wire trace is incomplete: %s\n", traceError.c_str());
        if (status == kExitOk) status = boards::kExitTraceLost;
    } else {
        traceError.clear();
    }
    if (Run().logLost) {
        std::fprintf(stderr, "quillon-run: the log file %s is incomplete\n",
                     LogFile::FilePath().c_str());
        if (status == kExitOk) status = boards::kExitTraceLost;
    }
    if (!Run().options.junitFile.empty() && !WriteJunit(status, traceError) && status == kExitOk)
        status = boards::kExitTraceLost;
    return status;
}

int Usage(const std::string& message) {
    if (!message.empty()) std::fprintf(stderr, "quillon-run: %s\n", message.c_str());
    std::fputs(Usage().c_str(), stderr);
    std::fputs("Try 'quillon-run --help' for more.\n", stderr);
    return kExitUsage;
}

bool IsValueOption(const std::string& a) {
    return a == "--board" || a == "--sim-profile" || a == "--trace" || cli::IsRunnerValueOption(a);
}

bool IsJoinedValueOption(const std::string& a) {
    for (const char* name : {"--board=", "--sim-profile=", "--trace="}) {
        if (a.rfind(name, 0) == 0) return true;
    }
    return cli::IsRunnerWord(a);
}

// --list: the boards connected, as --board usb:ID names them.
int ListBoards() {
    std::string error;
    const std::vector<usb::BoardEntry> boards = usb::ListBoards(&error);
    if (!error.empty()) {
        std::fprintf(stderr, "quillon-run: USB cannot be reached: %s\n", error.c_str());
        return kExitNoBoard;
    }
    for (const usb::BoardEntry& b : boards) std::printf("%s\n", usb::DescribeBoard(b).c_str());
    if (boards.empty()) std::fputs("quillon-run: no board is connected\n", stderr);
    return kExitOk;
}

// A run started with a standard descriptor closed would hand its number to
// the next file it opens (the log, a macro's file), and output meant for the
// terminal would land there.
void KeepStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1) continue;
        const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) ::close(null);
    }
}

// The files the run will write, before anything is done: the reason a name
// cannot serve, with the option that named it.
bool CheckOutputFiles(const cli::RunnerOptions& o) {
    for (auto [what, path] : {std::pair<const char*, const std::string*>{"log file", &o.logFile},
                              {"stdout file", &o.stdoutFile},
                              {"JUnit report", &o.junitFile}}) {
        if (path->empty()) continue;
        const std::string problem = cli::OutputFileProblem(*path);
        if (problem.empty()) continue;
        std::fprintf(stderr, "quillon-run: the %s %s %s\n", what, path->c_str(), problem.c_str());
        return false;
    }
    return true;
}

// This run's own log: --log FILE, or a file named by the start time to the
// millisecond and the process number in the runner's log folder.
bool OpenRunLog(const std::string& logFile) {
    std::string why;
    bool opened;
    if (!logFile.empty()) {
        const std::filesystem::path path(logFile);
        opened = LogFile::OpenAs(path.parent_path().string(), path.filename().string(), why);
    } else {
        const auto now = std::chrono::system_clock::now();
        const std::time_t t = std::chrono::system_clock::to_time_t(now);
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
            1000;
        std::tm tm{};
        localtime_r(&t, &tm);
        opened = LogFile::OpenAs(
            RunLogFolder(), RunLogFileName(tm, static_cast<int>(ms), static_cast<long>(getpid())),
            why);
    }
    if (opened) return true;
    if (logFile.empty()) why += " (--log FILE writes the log elsewhere)";
    std::fprintf(stderr, "quillon-run: %s\n", why.c_str());
    return false;
}


std::string HostName() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) return {};
    return buf;
}

// What a script misses without Tcl's library fails with one of these.
bool NeedsTclLibrary(const std::string& result) {
    return result.find("\"::tcl::clock::") != std::string::npos ||
           result.rfind("can't find package ", 0) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    KeepStandardDescriptors();
    std::vector<std::string> all(argv + 1, argv + argc);
    QCoreApplication app(argc, argv);

    // The options end at SCRIPT: what follows belongs to the script.
    std::size_t scriptIndex = all.size();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::string& a = all[i];
        if (a == "--help" || a == "-h") {
            std::fputs(Usage().c_str(), stdout);
            std::fputs("\n", stdout);
            std::fputs(Help().c_str(), stdout);
            std::printf("Manual: %s/scripting.html\n",
                        platform::ProgramFilesFolder("manual").c_str());
            return kExitOk;
        }
        if (a == "--version") {
            std::printf("quillon-run %s\n", QUILLON_VERSION);
            return kExitOk;
        }
        if (a == "--") {
            scriptIndex = i + 1;
            break;
        }
        if (IsValueOption(a)) {
            ++i;
            continue;
        }
        if (IsJoinedValueOption(a) || a == boards::kTraceSyncOption || a == "--list") continue;
        if (a.size() > 1 && a[0] == '-') return Usage("unknown option " + a);
        scriptIndex = i;
        break;
    }
    if (std::find(all.begin(), all.begin() + std::min(scriptIndex, all.size()), "--list") !=
        all.begin() + std::min(scriptIndex, all.size())) {
        return ListBoards();
    }
    std::vector<std::string> optionWords(all.begin(),
                                         all.begin() + std::min(scriptIndex, all.size()));
    optionWords.erase(std::remove(optionWords.begin(), optionWords.end(), "--"), optionWords.end());
    std::string error;
    auto runnerOptions = cli::TakeRunnerOptions(optionWords, error);
    if (!runnerOptions) return Usage(error);
    auto options = boards::TakeBoardOptions(optionWords, error);
    if (!options) return Usage(error);
    if (scriptIndex >= all.size()) return Usage("no script given");
    const std::string scriptArg = all[scriptIndex];
    const std::vector<std::string> scriptArgs(all.begin() + scriptIndex + 1, all.end());

    {
        platform::InputFile script;
        const auto status = script.Open(scriptArg);
        if (status == platform::InputFile::Status::Missing) {
            std::fprintf(stderr, "quillon-run: no such script: %s\n", scriptArg.c_str());
            return kExitUsage;
        }
        if (status != platform::InputFile::Status::Ok) {
            std::fprintf(stderr, "quillon-run: the script %s %s\n", scriptArg.c_str(),
                         platform::InputFile::Describe(status));
            return kExitUsage;
        }
    }
    if (!CheckOutputFiles(*runnerOptions)) return kExitUsage;
    // From here on a signal stops the run through its usual end.
    cli::InstallStopHandlers();

    std::error_code ec;
    // The log writer moves into the log folder: remember where the user was.
    const std::string startDir = platform::CurrentDirectory();
    const std::string scriptPath = std::filesystem::absolute(scriptArg, ec).string();
    RunState& run = Run();
    run.options = *runnerOptions;
    for (std::string* path :
         {&run.options.logFile, &run.options.stdoutFile, &run.options.junitFile}) {
        if (!path->empty()) *path = std::filesystem::absolute(*path, ec).string();
    }
    run.boardText = boards::BoardChoiceText(*options);
    run.report.name = scriptArg;
    run.report.file = scriptPath;
    run.report.timestamp = platform::LocalTimeText("%Y-%m-%dT%H:%M:%S");
    run.report.hostname = HostName();

    // Standard error is the run's log window: log lines are diagnostics, and
    // it shows them beside the progress line, and tells when the log file did
    // not take one (the writer's own notice, which has no time stamp).
    LogFile::AttachWindow([](const std::string& line) {
        RunState& run = Run();
        TerminalLine().Clear();
        if (line.rfind("【", 0) != 0) {
            if (!run.logLost) {
                std::fprintf(stderr, "quillon-run: the log file %s did not take a line: %s\n",
                             LogFile::FilePath().c_str(), line.c_str());
            }
            run.logLost = true;
            return;
        }
        run.recent.Add(line);
        if (run.options.quiet) return;
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    });
    if (!boards::SetUpBoardLink(*options, error)) {
        std::fprintf(stderr, "quillon-run: %s\n", error.c_str());
        return kExitUsage;
    }
    // Hot-plug notices may come from a backend thread: they are queued to this
    // thread and handled where events are pumped.
    boards::RegisterQueuedNotices();
    if (!OpenRunLog(run.options.logFile)) {
        boards::FinishTrace(error);
        return kExitUsage;
    }
    platform::SetCurrentDirectory(startDir);
    boards::RouteHintsToLog();
    LogFile::Write(std::string("quillon-run Ver") + QUILLON_VERSION);

    RunnerReporter reporter;
    if (run.options.stdoutFile.empty())
        script::TclHost::PassStandardOutput();
    else
        script::TclHost::CaptureTo(run.options.stdoutFile);
    script::TclHost::UseTclLibrary(run.options.tclLibrary);
    const auto finish = [](int code) {
        script::TclHost::Shutdown();
        return EndRun(code);
    };
    if (!script::TclHost::Init(reporter)) {
        std::string why = script::TclHost::InitFailure();
        while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
        if (run.options.tclLibrary) {
            // Asked for and not there: a setup to put right, not a script that failed.
            std::fprintf(stderr, "quillon-run: --tcl-library: Tcl's library cannot be loaded: %s\n",
                         why.c_str());
            link::BoardLink::Instance().Close();
            boards::FinishTrace(error);
            return kExitUsage;
        }
        std::fprintf(stderr, "quillon-run: the Tcl interpreter could not be created: %s\n",
                     why.c_str());
        NoteOutcome(cli::ScriptCase::Outcome::Error, "Tcl",
                    "the Tcl interpreter could not be created: " + why);
        return finish(kExitScriptError);
    }
    script::TclHost::SetKeepDirectory(startDir);
    script::TclHost::SetExitHandler([](int code) {
        if (code != kExitOk) {
            NoteOutcome(cli::ScriptCase::Outcome::Failed, "exit",
                        "the script ended with exit " + std::to_string(code));
        }
        return EndRun(code);
    });

    // Stopped during the start-up: the board is not even opened.
    if (cli::StopSignal()) {
        LogFile::Write(features::kUserCancel);
        return finish(kExitScriptError);
    }
    if (!link::BoardLink::Instance().Open()) {
        LogFile::Write("USB NOT OPEN!!");
        std::fputs("quillon-run: no board could be opened\n", stderr);
        NoteOutcome(cli::ScriptCase::Outcome::Error, "no board",
                    "no board could be opened (USB NOT OPEN!!)");
        return finish(kExitNoBoard);
    }
    LogFile::Write("USB OPEN!!");
    platform::SetCurrentDirectory(startDir);

    script::TclHost::SetScriptArguments(scriptArg, scriptArgs);
    run.scriptStartMs = platform::TickMs();
    run.scriptStarted = true;
    script::TclHost::RunReport report = script::TclHost::RunLogged(scriptPath);
    // A stopped script's result is only "cancelled": the log and the line
    // EndStatus writes say it better.
    if (report.failed && !(cli::StopSignal() && report.result == "cancelled")) {
        TerminalLine().Clear();
        std::fprintf(stderr, "%s\n", report.result.c_str());
        // The stack says where: "while executing ..." with the script's line.
        std::string info = script::TclHost::ErrorInfo();
        if (info.rfind(report.result, 0) == 0) info.erase(0, report.result.size());
        if (!info.empty() && info.front() == '\n') info.erase(0, 1);
        if (!info.empty()) std::fprintf(stderr, "%s\n", info.c_str());
        if (!run.options.tclLibrary && NeedsTclLibrary(report.result)) {
            std::fputs("quillon-run: Tcl's library is not loaded (as in the panel): no clock "
                       "format or scan, no package require; --tcl-library loads it\n",
                       stderr);
        }
        // The line of the script and the macro's reason, which "0" alone is not.
        NoteOutcome(cli::ScriptCase::Outcome::Failed, "TclError",
                    PeekCause().value_or(report.result), script::TclHost::ErrorInfo());
    }
    return finish(report.failed ? kExitScriptError : kExitOk);
}
