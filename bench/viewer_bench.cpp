// The data viewer's model on a large file, beside reading the same file once
// with read() in the same run.
//
//   viewer_bench [MiB]     (default 1024)
//
// A file of a slow sine with noise and one spike a MiB is made in $TMPDIR
// (else /tmp) and read once to bring it into the page cache; every figure is
// then the best of three runs on the cached file:
//   - read():       the whole file in 4 MiB pieces, nothing else done;
//   - first screen: open, check and 64 hex rows formatted, what the window
//                   shows first;
//   - full plot:    the block summary of 8-bit words and the 1280 columns of
//                   the whole file drawn from it;
//   - 32-bit plot:  the same with 32-bit big-endian words;
//   - compare:      the file against itself with 32-bit words.
// Memory is the growth of the resident set (VmHWM reset before each step)
// over what the program held just before it.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "features/memory/data_view.h"
#include "peak_memory.h"

using namespace quillon;
using bench::Peak;
using bench::StatusKiB;

namespace {

using Clock = std::chrono::steady_clock;

bool MakeFile(const std::string& path, std::uint64_t bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::vector<std::uint8_t> piece(1u << 20);
    std::uint32_t noise = 1;
    for (std::uint64_t at = 0; at < bytes; at += piece.size()) {
        for (std::size_t i = 0; i < piece.size(); ++i) {
            noise = noise * 1664525u + 1013904223u;
            const double x = static_cast<double>(at + i) / 4.0e6;
            piece[i] = static_cast<std::uint8_t>(120 + 80 * std::sin(x) + (noise >> 28));
        }
        piece[at % 4093] = 0xFF;
        if (std::fwrite(piece.data(), 1, piece.size(), f) != piece.size()) {
            std::fclose(f);
            return false;
        }
    }
    return std::fclose(f) == 0;
}

struct Figure {
    double ms = 1e300;
    double mib = 0;
};

Figure Best(const std::function<void()>& step) {
    Figure best;
    for (int i = 0; i < 3; ++i) {
        const Peak peak;
        const auto t0 = Clock::now();
        step();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        best.ms = std::min(best.ms, ms);
        best.mib = std::max(best.mib, peak.GrowthMiB());
    }
    return best;
}

void ReadOnce(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::vector<char> piece(features::kViewPiece);
    while (::read(fd, piece.data(), piece.size()) > 0) {
    }
    ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    const char* tmp = std::getenv("TMPDIR");
    const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/viewer_bench_" +
                             std::to_string(::getpid()) + ".bin";
    if (!MakeFile(path, mib << 20)) {
        std::fprintf(stderr, "viewer_bench: cannot write %s\n", path.c_str());
        return 1;
    }
    ReadOnce(path);  // into the page cache
    std::printf("viewer_bench: %llu MiB file, page cache warm, best of 3\n",
                static_cast<unsigned long long>(mib));

    const Figure baseline = Best([&] { ReadOnce(path); });
    std::string firstRow;
    const Figure first = Best([&] {
        features::DataFile file;
        file.Open(path);
        const auto bytes = file.ReadVector(0, 64 * features::kHexRowBytes);
        for (std::size_t r = 0; r < 64; ++r) {
            const std::span<const std::uint8_t> row(bytes.data() + r * 16, 16);
            firstRow = features::HexOffset(r * 16) + "  " + features::HexBytes(row) + "  " +
                       features::AsciiText(row);
        }
    });
    auto plot = [&](features::WordFormat format) {
        return Best([&] {
            features::DataFile file;
            file.Open(path);
            features::PlotSummary summary;
            summary.Build(file, format);
            const auto columns = summary.Columns(file, 0, summary.words(), 1280);
            if (columns.size() != 1280)
                std::fprintf(stderr, "viewer_bench: %zu columns\n", columns.size());
        });
    };
    const Figure plot8 = plot({1, false, false});
    const Figure plot32 = plot({4, true, true});
    const Figure compare = Best([&] {
        features::DataFile a, b;
        a.Open(path);
        b.Open(path);
        const auto r = features::CompareFiles(a, b, {.wordBytes = 4});
        if (!r.same()) std::fprintf(stderr, "viewer_bench: a file differs from itself\n");
    });
    ::unlink(path.c_str());

    auto line = [&](const char* what, const Figure& f) {
        std::printf("  %-14s %8.1f ms  %6.2f x read()  %7.1f MiB added\n", what, f.ms,
                    f.ms / baseline.ms, f.mib);
    };
    line("read()", baseline);
    line("first screen", first);
    line("full plot", plot8);
    line("32-bit plot", plot32);
    line("compare", compare);
    std::printf("  idle resident set %.1f MiB\n", StatusKiB("VmRSS:") / 1024.0);
    return 0;
}
