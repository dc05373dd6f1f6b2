// quillon-run: runs one Tcl script against the board without a window, for
// benches and CI. Same Tcl host, same macros and the same log as the panel.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "cli/progress_line.h"
#include "cli/stop_signals.h"
#include "features/long_work.h"
#include "features/reporter.h"
#include "link/usb/usb_backend.h"
#include "boards/backends.h"
#include "link/board_link.h"
#include "log/file_io.h"
#include "log/log_file.h"
#include "log/platform.h"
#include "script/tcl_host.h"

namespace {

using namespace quillon;

constexpr int kExitOk = 0;
constexpr int kExitScriptError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoBoard = 3;

constexpr const char* kUsage =
    "usage: quillon-run [--board usb|usb:ID|sim] [--sim-profile FILE] [--trace FILE [--trace-sync]]\n"
    "                   SCRIPT [ARG ...]\n"
    "       quillon-run --list\n";

constexpr const char* kHelp =
    "Runs the Tcl script SCRIPT against the board, headless, with the same Tcl host,\n"
    "KVX_COMMAND macros and log as the Quillon Panel script page.\n"
    "\n"
    "Options (before SCRIPT; everything after SCRIPT is passed to the script):\n"
    "  --board usb|sim      the board: the real board through libusb (default: the first\n"
    "                       one found) or the simulated board\n"
    "  --board usb:ID       one of several boards: ID is its serial number or its bus and\n"
    "                       port path (1-4.2, stable while it stays in the same socket);\n"
    "                       an ID that names no board, or a serial number two boards\n"
    "                       share, is an error that lists the boards there are\n"
    "  --list               list the boards connected, one a line, and end:\n"
    "                       usb:BUS-PORTS  VID:PID  speed SPEED  serial SERIAL (- for none)\n"
    "  --sim-profile FILE   profile of the simulated board (key = value lines)\n"
    "  --trace FILE         write every USB transfer to FILE (the wire trace); lines are\n"
    "                       written in blocks, at the latest a second after their transfer;\n"
    "                       FILE.pcap is a capture for Wireshark (usbmon records, a submit\n"
    "                       and a completion per transfer) instead of text lines\n"
    "  --trace-sync         write each trace line as its transfer returns (for a script\n"
    "                       that reads its own trace; slower)\n"
    "  --help, -h           show this text\n"
    "  --version            show the version\n"
    "  --                   ends the options: the next word is SCRIPT even if it starts\n"
    "                       with '-'\n"
    "Each option also takes the form --option=VALUE.\n"
    "\n"
    "The script:\n"
    "  - sees argv (the list of ARGs), argc and argv0 (SCRIPT as given);\n"
    "  - is read as UTF-8; has the Tcl built-in commands (no package library, no\n"
    "    'clock format') plus TPRINT text (writes a log line) and KVX_COMMAND macro\n"
    "    (RW RR UC MW MR FC WAIT IW IR IW2 IR2 IW3 IR3 GW GR GD STA GTA);\n"
    "  - writes with puts into quillon-run-PID-stdout.txt (PID: this run's process\n"
    "    number) in the private runtime folder ($XDG_RUNTIME_DIR, or else\n"
    "    $XDG_DATA_HOME/Quillon7-run, by default ~/.local/share/Quillon7-run), not to\n"
    "    this terminal; the file is removed at the end when nothing was written to it.\n"
    "    (The panel's own capture there is stdout.txt.)\n"
    "Relative file names in macros (and in the script's own commands) resolve in the\n"
    "directory quillon-run was started in.\n"
    "\n"
    "Output: every log line is written to this run's log file\n"
    "($XDG_DATA_HOME/Quillon7/LOGyymmddhhnnss.txt) and echoed to standard output as it\n"
    "is written. Message boxes a macro would show become lines on standard error.\n"
    "\n"
    "Exit status:\n"
    "  0  the script completed without a Tcl error\n"
    "  1  the script ended with a Tcl error (a failed macro, a syntax error, ...): the\n"
    "     interpreter's result goes to standard error and to the log\n"
    "  2  usage error, unknown or incomplete option, bad sim profile, trace file not\n"
    "     creatable, or SCRIPT missing or unreadable\n"
    "  3  no board could be opened (\"USB NOT OPEN!!\" is logged; the script does not run)\n"
    "  4  the run went well but the wire trace could not be written whole (a full disk,\n"
    "     --trace /dev/full): standard error says where it stopped\n"
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
    "Example:\n"
    "  quillon-run --board sim examples/selftest.tcl\n"
    "\n"
    "See quillon-run(1).\n";

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

int Usage(const std::string& message) {
    if (!message.empty()) std::fprintf(stderr, "quillon-run: %s\n", message.c_str());
    std::fputs(kUsage, stderr);
    std::fputs("Try 'quillon-run --help' for more.\n", stderr);
    return kExitUsage;
}

bool IsValueOption(const std::string& a) {
    return a == "--board" || a == "--sim-profile" || a == "--trace";
}

bool IsJoinedValueOption(const std::string& a) {
    for (const char* name : {"--board=", "--sim-profile=", "--trace="}) {
        if (a.rfind(name, 0) == 0) return true;
    }
    return false;
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

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> all(argv + 1, argv + argc);
    QCoreApplication app(argc, argv);

    // The options end at SCRIPT: what follows belongs to the script.
    std::size_t scriptIndex = all.size();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::string& a = all[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs("\n", stdout);
            std::fputs(kHelp, stdout);
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
    // From here on a signal stops the run through its usual end.
    cli::InstallStopHandlers();

    std::error_code ec;
    // The log writer moves into the log folder: remember where the user was.
    const std::string startDir = platform::CurrentDirectory();
    const std::string scriptPath = std::filesystem::absolute(scriptArg, ec).string();

    if (!boards::SetUpBoardLink(*options, error)) {
        std::fprintf(stderr, "quillon-run: %s\n", error.c_str());
        return kExitUsage;
    }
    // Hot-plug notices may come from a backend thread: they are queued to this
    // thread and handled where events are pumped.
    boards::RegisterQueuedNotices();

    LogFile::AttachEcho([](const std::string& line) {
        TerminalLine().Clear();
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });
    LogFile::Open();
    boards::RouteHintsToLog();
    platform::SetCurrentDirectory(startDir);
    LogFile::Write(std::string("quillon-run Ver") + QUILLON_VERSION);

    RunnerReporter reporter;
    // A capture of its own: the panel and other runs may be running beside it.
    script::TclHost::SetCaptureFile("quillon-run-" + std::to_string(QCoreApplication::applicationPid()) +
                                        "-stdout.txt",
                                    true);
    const auto finish = [](int code) {
        TakeRemovalNotice();
        script::TclHost::Shutdown();
        link::BoardLink::Instance().Close();
        return boards::FinishTraceStatus(EndStatus(code), "quillon-run");
    };
    if (!script::TclHost::Init(reporter)) {
        std::fputs("quillon-run: the Tcl interpreter could not be created\n", stderr);
        return finish(kExitScriptError);
    }
    script::TclHost::SetKeepDirectory(startDir);
    script::TclHost::SetExitHandler([](int code) {
        TakeRemovalNotice();
        link::BoardLink::Instance().Close();
        return boards::FinishTraceStatus(EndStatus(code), "quillon-run");
    });

    // Stopped during the start-up: the board is not even opened.
    if (cli::StopSignal()) {
        LogFile::Write(features::kUserCancel);
        return finish(kExitScriptError);
    }
    if (!link::BoardLink::Instance().Open()) {
        LogFile::Write("USB NOT OPEN!!");
        std::fputs("quillon-run: no board could be opened\n", stderr);
        return finish(kExitNoBoard);
    }
    LogFile::Write("USB OPEN!!");
    platform::SetCurrentDirectory(startDir);

    script::TclHost::SetScriptArguments(scriptArg, scriptArgs);
    script::TclHost::RunReport run = script::TclHost::RunLogged(scriptPath);
    // A stopped script's result is only "cancelled": the log and the line
    // EndStatus writes say it better.
    if (run.failed && !(cli::StopSignal() && run.result == "cancelled")) {
        std::fprintf(stderr, "%s\n", run.result.c_str());
        // The stack says where: "while executing ..." with the script's line.
        std::string info = script::TclHost::ErrorInfo();
        if (info.rfind(run.result, 0) == 0) info.erase(0, run.result.size());
        if (!info.empty() && info.front() == '\n') info.erase(0, 1);
        if (!info.empty()) std::fprintf(stderr, "%s\n", info.c_str());
    }
    return finish(run.failed ? kExitScriptError : kExitOk);
}
