// A long run against the simulated board that must not wear the program down:
// configuration loads, split memory transfers and register macros, many times
// over, with the open file descriptors, the threads and the resident set
// sampled before and after. Run by hand:
//
//   soak [--configs N] [--pieces N] [--macros N]   (default 1000, 10000, 1000000)
//
// Each phase runs once briefly first, so that what is made once per process
// (the Tcl interpreter, the board's scratch file, allocator pools) is in the
// "before" sample. The split transfers alternate writes and reads of 64
// pieces (128 MiB) through one file pair in $TMPDIR (else /tmp); the board
// discards what it is sent (memory_store = discard), so the disk sees only
// the files. Exit status 1 when descriptors or threads grew, or the resident
// set grew by more than 8 MiB.

#include <dirent.h>
#include <tcl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "features/config/fpga_load.h"
#include "features/memory/mem_transfer.h"
#include "link/board_link.h"
#include "platform/platform.h"
#include "script/tcl_host.h"
#include "sim/sim_backend.h"

#include "quiet_reporter.h"

using namespace quillon;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t kPiecesPerTransfer = 64;
constexpr long kRssAllowanceKiB = 8 * 1024;

struct Sample {
    long fds = 0, threads = 0, rssKiB = 0;
};

long StatusValue(const char* key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + std::strlen(key), nullptr, 10);
    }
    return -1;
}

Sample Take() {
    Sample s;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (const dirent* e = ::readdir(d)) s.fds += e->d_name[0] != '.';
        ::closedir(d);
        --s.fds;  // the listing's own descriptor
    }
    s.threads = StatusValue("Threads:");
    s.rssKiB = StatusValue("VmRSS:");
    return s;
}

void Print(const char* when, const Sample& s) {
    std::printf("  %-28s fds %3ld  threads %2ld  RSS %8.1f MiB\n", when, s.fds, s.threads,
                s.rssKiB / 1024.0);
    std::fflush(stdout);
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

bool Configure(const std::string& design, long n, features::Reporter& quiet) {
    for (long i = 0; i < n; ++i) {
        if (!features::FpgaConfigure(link::CurrentBoard(), design, false, false, false, quiet)) {
            std::fprintf(stderr, "soak: configuration load %ld failed\n", i + 1);
            return false;
        }
    }
    return true;
}

bool Split(const std::string& source, const std::string& back, long pieces, features::Reporter& quiet) {
    features::MemTransferView view;
    const std::uint64_t length = kPiecesPerTransfer * features::kSplitPiece;
    for (long done = 0, k = 0; done < pieces; done += kPiecesPerTransfer, ++k) {
        features::SplitCount count;
        const bool ok = k % 2 == 0 ? features::MemSplitWrite(link::CurrentBoard(), false, 0, source,
                                                             length, count, false, quiet, view)
                                   : features::MemSplitRead(link::CurrentBoard(), false, 0, back,
                                                            length, count, false, quiet, view);
        if (!ok) {
            std::fprintf(stderr, "soak: split transfer %ld failed\n", k + 1);
            return false;
        }
    }
    return true;
}

bool Macros(long n) {
    Tcl_Interp* interp = script::TclHost::Interp();
    const std::string loop = "for {set i 0} {$i < " + std::to_string(n) +
                             "} {incr i} { KVX_COMMAND {RR -A16 -W32} }";
    if (Tcl_Eval(interp, loop.c_str()) != TCL_OK) {
        std::fprintf(stderr, "soak: macros failed: %s\n", Tcl_GetStringResult(interp));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    long configs = 1000, pieces = 10000, macros = 1000000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        const long v = std::atol(argv[i + 1]);
        if (a == "--configs") configs = v;
        else if (a == "--pieces") pieces = v;
        else if (a == "--macros") macros = v;
        else {
            std::fprintf(stderr, "usage: soak [--configs N] [--pieces N] [--macros N]\n");
            return 2;
        }
    }

    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = tmp && *tmp ? tmp : "/tmp";
    const std::string stem = dir + "/soak-" + std::to_string(::getpid());
    const std::string design = stem + ".rbf", source = stem + ".bin", back = stem + ".back";
    std::ofstream(design, std::ios::binary) << std::string(256 * 1024, '\x5A');
    {
        std::ofstream out(source, std::ios::binary);
        const std::string piece(features::kSplitPiece, '\x3C');
        for (std::uint64_t i = 0; i < kPiecesPerTransfer; ++i) out << piece;
    }

    link::BoardLink& bl = link::BoardLink::Instance();
    sim::Profile profile;
    profile.memoryDiscard = true;
    bl.SetBackend(std::make_unique<sim::SimBackend>(profile));
    bench::QuietReporter quiet("soak");
    if (!bl.Open() || !script::TclHost::Init(quiet)) {
        std::fprintf(stderr, "soak: the simulated board or the Tcl interpreter did not start\n");
        return 1;
    }
    platform::SetCurrentDirectory(dir);
    script::TclHost::SetKeepDirectory(dir);

    std::printf("soak: %ld configuration loads (256 KiB), %ld split pieces (2 MiB), %ld RR macros\n",
                configs, pieces, macros);
    // Everything made once per process, made now.
    bool ok = Configure(design, 10, quiet) && Split(source, back, 2 * kPiecesPerTransfer, quiet) &&
              Macros(10000);
    const Sample before = Take();
    Print("after warm-up", before);

    auto t = Clock::now();
    ok = ok && Configure(design, configs, quiet);
    std::printf("  configuration loads   %8.1f s\n", Seconds(t));
    Print("after the loads", Take());
    t = Clock::now();
    ok = ok && Split(source, back, pieces, quiet);
    std::printf("  split pieces          %8.1f s\n", Seconds(t));
    Print("after the split transfers", Take());
    t = Clock::now();
    ok = ok && Macros(macros);
    std::printf("  register macros       %8.1f s\n", Seconds(t));
    const Sample after = Take();
    Print("at the end", after);

    for (const std::string& f : {design, source, back}) std::remove(f.c_str());
    if (!ok) return 1;
    const bool grew = after.fds > before.fds || after.threads > before.threads ||
                      after.rssKiB - before.rssKiB > kRssAllowanceKiB;
    std::printf("soak: %s (descriptors %+ld, threads %+ld, resident set %+.1f MiB)\n",
                grew ? "GREW" : "steady", after.fds - before.fds, after.threads - before.threads,
                (after.rssKiB - before.rssKiB) / 1024.0);
    return grew ? 1 : 0;
}
