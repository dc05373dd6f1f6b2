// Split memory write and split memory read against the simulated board at
// unlimited link speed, beside the baseline of the same bytes measured in the
// same run, with the peak memory each transfer added to the program.
//
//   memory_bench [--scratch] [--repeats N] [MiB ...]     (default: 256 1024, 3 repeats)
//
// For every length a file of random bytes is made in $TMPDIR (else /tmp). The
// baseline reads that file in 2 MiB pieces and copies each piece once with
// memcpy: what any transfer of the file must do at the least. The split write
// sends the file to the board, the split read brings it back into a second
// file, and the normal (streamed) write and read do the same in one transfer
// each. Reads also show the ratio to a write baseline (the same memcpy, then
// the piece written to a file), since a read must write its file.
//
// The board's memory discards what it is sent and reads back its address
// pattern (memory_store = discard), so the figures are the program's own;
// with --scratch it keeps every byte in its scratch file, as by default, and
// the reads are checked against the source. Put TMPDIR on a tmpfs
// (/dev/shm) to leave the disk out.
//
// Every figure is the best of the repeats, in MB/s (10^6 bytes), with its
// ratio to the baseline measured just before it. Peak memory is the growth of
// the resident set (VmHWM, reset before each transfer) over what the program
// held just before it; the board's memory is part of the program, as it is
// in the panel.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "features/memory/mem_transfer.h"
#include "link/board_link.h"
#include "log/file_io.h"
#include "sim/sim_backend.h"

using namespace quillon;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kPiece = 2u << 20;

// Logs and boxes go nowhere: the figures are the output.
class Quiet : public features::Reporter {
  public:
    void Log(std::string_view) override {}
    MsgAnswer Message(const std::string& text, MsgIcon, MsgButtons) override {
        std::fprintf(stderr, "memory_bench: %s\n", text.c_str());
        return MsgAnswer::Ok;
    }
};

long StatusKiB(const char* key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + std::strlen(key), nullptr, 10);
    }
    return -1;
}

// Peak-memory window: the resident set now, and the peak since.
struct Peak {
    long before;
    Peak() {
        std::ofstream("/proc/self/clear_refs") << "5";  // resets VmHWM to VmRSS
        before = StatusKiB("VmRSS:");
    }
    double GrowthMiB() const { return (StatusKiB("VmHWM:") - before) / 1024.0; }
};

bool MakeFile(const std::string& path, std::uint64_t bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::vector<std::uint64_t> piece(kPiece / 8);
    std::mt19937_64 rng(42);
    bool ok = true;
    for (std::uint64_t done = 0; done < bytes && ok; done += kPiece) {
        for (auto& w : piece) w = rng();
        ok = std::fwrite(piece.data(), 1, kPiece, f) == kPiece;
    }
    return std::fclose(f) == 0 && ok;
}

// Reads `path` piece by piece and copies each piece; with `out` also writes
// the copy to that file.
double Baseline(const std::string& path, std::uint64_t bytes, const std::string& out = {}) {
    std::unique_ptr<std::uint8_t[]> in(new std::uint8_t[kPiece]), copy(new std::uint8_t[kPiece]);
    std::memset(copy.get(), 0, kPiece);
    platform::InputFile file;
    if (file.Open(path) != platform::InputFile::Status::Ok) return 0;
    platform::OutputFile sink;
    if (!out.empty() && !sink.Open(out)) return 0;
    const auto t0 = Clock::now();
    for (std::uint64_t done = 0; done < bytes; done += kPiece) {
        file.Read(in.get(), kPiece);
        std::memcpy(copy.get(), in.get(), kPiece);
        if (!out.empty()) sink.Write(copy.get(), kPiece);
    }
    if (!out.empty()) sink.Close();
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    // Keep the copy from being optimised away.
    if (copy[kPiece / 2] == 0x5A && copy[1] == 0xA5) std::fputc(' ', stderr);
    return bytes / s / 1e6;
}

struct Result {
    double mbs = 0;
    double peakMiB = 0;
    bool ok = false;
};

int g_repeats = 3;

// The best of the repeats; the baseline is measured before each one and the
// ratio taken to the best baseline.
template <typename Base, typename Run>
Result Measure(std::uint64_t bytes, double& baseline, Base&& base, Run&& run) {
    Result best;
    best.ok = true;
    baseline = 0;
    for (int i = 0; i < g_repeats; ++i) {
        baseline = std::max(baseline, base());
        Peak peak;
        const auto t0 = Clock::now();
        const bool ok = run();
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        best.ok = best.ok && ok;
        best.mbs = std::max(best.mbs, bytes / s / 1e6);
        best.peakMiB = std::max(best.peakMiB, peak.GrowthMiB());
    }
    return best;
}

bool Same(const std::string& a, const std::string& b) {
    platform::InputFile fa, fb;
    if (fa.Open(a) != platform::InputFile::Status::Ok) return false;
    if (fb.Open(b) != platform::InputFile::Status::Ok) return false;
    if (fa.size() != fb.size()) return false;
    std::unique_ptr<std::uint8_t[]> x(new std::uint8_t[kPiece]), y(new std::uint8_t[kPiece]);
    for (;;) {
        const auto n = fa.Read(x.get(), kPiece);
        const auto m = fb.Read(y.get(), kPiece);
        if (!n || !m || *n != *m) return false;
        if (*n == 0) return true;
        if (std::memcmp(x.get(), y.get(), *n) != 0) return false;
    }
}

void Row(const char* what, const Result& r, double baseline, const char* base) {
    std::printf("  %-24s %6.0f MB/s  %5.2f x %-12s (%5.0f MB/s)  peak +%5.1f MiB%s\n", what,
                r.mbs, baseline > 0 ? r.mbs / baseline : 0.0, base, baseline, r.peakMiB,
                r.ok ? "" : "  FAILED");
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::uint64_t> sizes;
    bool scratch = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--scratch")
            scratch = true;
        else if (a == "--repeats" && i + 1 < argc)
            g_repeats = std::max(1, std::atoi(argv[++i]));
        else
            sizes.push_back(std::strtoull(argv[i], nullptr, 10));
    }
    if (sizes.empty()) sizes = {256, 1024};

    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = std::string(tmp && *tmp ? tmp : "/tmp");
    const std::string src = dir + "/memory_bench-" + std::to_string(::getpid()) + ".bin";
    const std::string dst = src + ".back";

    link::BoardLink& bl = link::BoardLink::Instance();
    sim::Profile profile;
    profile.memoryDiscard = !scratch;
    bl.SetBackend(std::make_unique<sim::SimBackend>(profile));
    if (!bl.Open()) {
        std::fprintf(stderr, "memory_bench: the simulated board did not open\n");
        return 1;
    }
    Quiet quiet;
    features::MemTransferView view;
    std::printf("memory_bench: simulated board at unlimited speed, memory_store = %s, files in %s, "
                "best of %d\n",
                scratch ? "scratch" : "discard", dir.c_str(), g_repeats);
    std::printf("  idle resident set %.1f MiB\n", StatusKiB("VmRSS:") / 1024.0);

    bool allOk = true;
    for (std::uint64_t mib : sizes) {
        const std::uint64_t bytes = mib << 20;
        if (!MakeFile(src, bytes)) {
            std::fprintf(stderr, "memory_bench: cannot write %s\n", src.c_str());
            return 1;
        }
        std::printf("%llu MiB\n", static_cast<unsigned long long>(mib));
        const link::BoardHandle h = link::CurrentBoard();
        features::SplitCount count;
        auto readBase = [&] { return Baseline(src, bytes); };
        auto writeBase = [&] { return Baseline(src, bytes, dst); };
        // A read is checked (untimed) when the board kept what it was sent.
        auto checked = [&](Result& r) { r.ok = r.ok && (!scratch || Same(src, dst)); };
        double base = 0;

        Result r = Measure(bytes, base, readBase, [&] {
            return features::MemSplitWrite(h, false, 0, src, bytes, count, false, quiet, view);
        });
        Row("split write", r, base, "read+copy");
        allOk = allOk && r.ok;
        r = Measure(bytes, base, readBase, [&] {
            return features::MemSplitRead(h, false, 0, dst, bytes, count, false, quiet, view);
        });
        checked(r);
        Row("split read", r, base, "read+copy");
        const double readRate = r.mbs;
        Measure(bytes, base, writeBase, [] { return true; });
        std::printf("  %-24s %6.0f MB/s  %5.2f x %-12s (%5.0f MB/s)\n", "", readRate,
                    base > 0 ? readRate / base : 0.0, "copy+write", base);
        allOk = allOk && r.ok;

        if (bytes <= features::kNormalLimit) {
            features::MemTransferRequest req;
            char hex[32];
            std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(bytes));
            req.lengthText = hex;
            req.split = false;
            req.path = src;
            r = Measure(bytes, base, readBase,
                        [&] { return features::MemWriteRun(h, req, quiet, view); });
            Row("normal (streamed) write", r, base, "read+copy");
            allOk = allOk && r.ok;
            req.path = dst;
            r = Measure(bytes, base, writeBase,
                        [&] { return features::MemReadRun(h, req, quiet, view); });
            checked(r);
            Row("normal (streamed) read", r, base, "copy+write");
            allOk = allOk && r.ok;
        }
        std::remove(dst.c_str());
    }
    std::remove(src.c_str());
    bl.Close();
    return allOk ? 0 : 1;
}
