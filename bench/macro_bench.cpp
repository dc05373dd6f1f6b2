// The cost of a KVX_COMMAND macro against the simulated board, beside a
// trivial Tcl command timed in the same loop of the same run:
//
//   macro_bench [--trace-only] [calls per round (50000)] [rounds (15)]
//
// Each case runs in the interpreter the runner uses (same host, same
// dispatcher, the runner's kept directory) in two loops: a `for` loop at a
// script's top level, as scripts run macros, and a bare `time {BODY} N`, which
// adds far less of its own and so gives the harsher ratio.
// Round by round it alternates with the same loop around a trivial command:
// `set x 1`, or for the unknown name, which fails, `error x`, both inside
// `catch` (Tcl's own error path costs ten plain commands, whoever fails). The
// ratios are the medians of the rounds' ratios, so a round slowed by other work
// on the machine does not decide them; the times are the best rounds of the
// `for` loop. The last lines repeat RR with the wire trace on (lines gathered
// into a file) and give it against RR with the trace off; --trace-only runs
// just those.

#include <tcl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "boards/backends.h"
#include "features/reporter.h"
#include "link/board_link.h"
#include "link/trace.h"
#include "platform/platform.h"
#include "script/tcl_host.h"

namespace {

using namespace quillon;

enum class Loop { For, Time };

// Microseconds per call of `body` run n times: in a `for` loop evaluated the way
// a script file's top level is (so the loop is interpreted, its body compiled
// once), or in a bare `time {body} n`.
double MicrosPerCall(Tcl_Interp* interp, const std::string& body, long n, Loop loop) {
    const std::string count = std::to_string(n);
    const std::string script = loop == Loop::For
                                   ? "for {set i 0} {$i < " + count + "} {incr i} {" + body + "}"
                                   : "lindex [time {" + body + "} " + count + "] 0";
    const auto t0 = std::chrono::steady_clock::now();
    if (Tcl_EvalEx(interp, script.c_str(), -1, TCL_EVAL_GLOBAL) != TCL_OK) {
        std::fprintf(stderr, "macro_bench: %s: %s\n", body.c_str(), Tcl_GetStringResult(interp));
        std::exit(1);
    }
    if (loop == Loop::Time) return std::atof(Tcl_GetStringResult(interp));
    const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - t0;
    return took.count() / static_cast<double>(n);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Figures {
    double macro = 1e30;  // best round of the for loop, microseconds per call
    double baseline = 1e30;
    double forRatio = 0;  // medians of the rounds' ratios
    double timeRatio = 0;
};

Figures Measure(Tcl_Interp* interp, const std::string& body, const std::string& baseline, long n,
                int rounds) {
    Figures f;
    std::vector<double> forRatios, timeRatios;
    for (int r = 0; r < rounds; ++r) {
        const double m = MicrosPerCall(interp, body, n, Loop::For);
        const double b = MicrosPerCall(interp, baseline, n, Loop::For);
        f.macro = std::min(f.macro, m);
        f.baseline = std::min(f.baseline, b);
        forRatios.push_back(m / b);
        timeRatios.push_back(MicrosPerCall(interp, body, n, Loop::Time) /
                             MicrosPerCall(interp, baseline, n, Loop::Time));
    }
    f.forRatio = Median(forRatios);
    f.timeRatio = Median(timeRatios);
    return f;
}

void Report(const char* name, const Figures& f) {
    std::printf("%-30s %9.3f %11.0f %11.3f %9.2f %9.2f\n", name, f.macro, 1e6 / f.macro, f.baseline,
                f.forRatio, f.timeRatio);
}

// The macros against trivial commands, one line each.
void ReportMacros(Tcl_Interp* interp, long n, int rounds) {
    const std::string set = "set x 1";
    Report("RR -A16 -W32 (set x 1)", Measure(interp, "KVX_COMMAND {RR -A16 -W32}", set, n, rounds));
    Report("RW -A16 -W32 -D12345678 (set)",
           Measure(interp, "KVX_COMMAND {RW -A16 -W32 -D12345678}", set, n, rounds));
    Report("MW -L200 -W32 512 B (set)",
           Measure(interp, "KVX_COMMAND {MW -L200 -W32 -Fdata.bin}", set, n / 10, rounds));
    Report("unknown name (catch/error x)",
           Measure(interp, "catch {KVX_COMMAND {XX -A1}}", "catch {error x}", n, rounds));
    Report("unknown name (catch/set x 1)",
           Measure(interp, "catch {KVX_COMMAND {XX -A1}}", "catch {set x 1}", n, rounds));
}

bool OpenBoard(std::shared_ptr<link::TraceLog> trace) {
    link::BoardLink& board = link::BoardLink::Instance();
    board.Close();
    if (trace) {
        board.SetDeviceWrapper([trace](std::unique_ptr<link::Device> d) {
            return link::MakeTraceDevice(std::move(d), trace);
        });
    } else {
        board.SetDeviceWrapper(nullptr);
    }
    return board.Open();
}

}  // namespace

int main(int argc, char** argv) {
    const bool traceOnly = argc > 1 && std::string(argv[1]) == "--trace-only";
    if (traceOnly) {
        --argc;
        ++argv;
    }
    const long n = argc > 1 ? std::max(1L, std::atol(argv[1])) : 50000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;

    const std::filesystem::path work =
        std::filesystem::temp_directory_path() / ("macro_bench." + std::to_string(::getpid()));
    std::filesystem::create_directories(work);
    {
        std::ofstream data(work / "data.bin", std::ios::binary);
        for (int i = 0; i < 512; ++i) data.put(static_cast<char>(i));
    }

    boards::BoardOptions options;
    options.board = "sim";
    std::string error;
    if (!boards::SetUpBoardLink(options, error) || !OpenBoard(nullptr)) {
        std::fprintf(stderr, "macro_bench: the simulated board did not open: %s\n", error.c_str());
        return 1;
    }
    features::Reporter reporter;
    if (!script::TclHost::Init(reporter)) {
        std::fprintf(stderr, "macro_bench: no Tcl interpreter\n");
        return 1;
    }
    // As quillon-run runs scripts: the start directory kept, the macros'
    // relative names resolved there.
    platform::SetCurrentDirectory(work.string());
    script::TclHost::SetKeepDirectory(work.string());
    Tcl_Interp* interp = script::TclHost::Interp();

    std::printf("%ld calls a round, %d rounds; ratios: medians of the rounds' macro/trivial\n", n,
                rounds);
    std::printf("%-30s %9s %11s %11s %9s %9s\n", "macro (trivial command)", "us/call", "calls/s",
                "trivial us", "for-loop", "time-loop");
    // RR reads a register that holds something (a fresh one reads 0).
    MicrosPerCall(interp, "KVX_COMMAND {RW -A16 -W32 -D12345678}", 1, Loop::For);
    if (!traceOnly) ReportMacros(interp, n, rounds);

    const std::string tracePath = (work / "trace.txt").string();
    auto trace = link::TraceLog::Open(tracePath, error);
    if (!trace || !OpenBoard(trace)) {
        std::fprintf(stderr, "macro_bench: %s\n", error.c_str());
        return 1;
    }
    // Trace on against trace off, round by round.
    std::vector<double> ratios;
    Figures traced;
    for (int r = 0; r < rounds; ++r) {
        OpenBoard(trace);
        const double on = MicrosPerCall(interp, "KVX_COMMAND {RR -A16 -W32}", n, Loop::For);
        OpenBoard(nullptr);
        const double off = MicrosPerCall(interp, "KVX_COMMAND {RR -A16 -W32}", n, Loop::For);
        traced.macro = std::min(traced.macro, on);
        traced.baseline = std::min(traced.baseline, off);
        ratios.push_back(on / off);
    }
    std::printf("%-30s %9.3f %11.0f\n", "RR, trace on", traced.macro, 1e6 / traced.macro);
    std::printf("trace on / trace off (RR): %.2f\n", Median(ratios));

    trace->Close(error);
    script::TclHost::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(work, ec);
    return 0;
}
