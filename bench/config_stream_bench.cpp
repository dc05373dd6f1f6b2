// Builds every configuration-stream layout from one file-sized buffer and sets
// its rate beside the memory-bandwidth baseline of that layout, measured in the
// same run.
//
//   config_stream_bench [file MiB (64)] [rounds (9)]
//
// The baseline is memcpy that reads the layout's input once and writes its whole
// output once: the file in 64 KiB pieces (which stay in the cache), each piece
// copied as many times as the layout expands it. It moves the same bytes to and
// from memory as the builder, so the ratio is the builder's share of the
// machine's copy speed. Builder and baseline alternate, into buffers already
// faulted in; the rates are the best rounds, the ratio the median of the
// rounds' ratios, so that a round slowed by other work on the machine does not
// decide it.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "features/config/config_stream.h"

using quillon::features::BuildConfigStream;
using quillon::features::ConfigLayout;
using quillon::features::ConfigOptions;
using quillon::features::ConfigStreamLength;

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double Seconds(F&& f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

constexpr std::size_t kPiece = 64 * 1024;

// Output offset at which the part of the stream made from file[0, s) ends, in
// proportion to the layout's expansion.
std::size_t OutputAt(std::size_t s, std::size_t n, std::size_t len) {
    return s >= n ? len : static_cast<std::size_t>(static_cast<long double>(s) * len / n);
}

void CopyBaseline(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t len) {
    std::size_t o = 0;
    for (std::size_t s = 0; s < n; s += kPiece) {
        const std::size_t piece = std::min(kPiece, n - s);
        const std::size_t end = OutputAt(s + piece, n, len);
        while (o < end) {
            const std::size_t k = std::min(piece, end - o);
            std::memcpy(out + o, in + s, k);
            o += k;
        }
    }
}

struct Case {
    const char* name;
    ConfigOptions options;
};

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const std::size_t n = mib << 20;
    if (n == 0) {
        std::fprintf(stderr, "config_stream_bench: the file size must be at least 1 MiB\n");
        return 2;
    }

    std::vector<std::uint8_t> file(n);
    std::mt19937_64 rng(1);
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
        const std::uint64_t v = rng();
        std::memcpy(file.data() + i, &v, 8);
    }

    const Case cases[] = {
        {"standard", {ConfigLayout::Standard, false, false, false}},
        {"standard+encrypt", {ConfigLayout::Standard, false, false, true}},
        {"standard+xilinx", {ConfigLayout::Standard, true, false, false}},
        {"standard+xilinx+encrypt", {ConfigLayout::Standard, true, false, true}},
        {"standard+bitswap", {ConfigLayout::Standard, false, true, false}},
        {"standard+xilinx+bitswap", {ConfigLayout::Standard, true, true, false}},
        {"standard+bitswap+encrypt", {ConfigLayout::Standard, false, true, true}},
        {"standard+xilinx+bitswap+enc", {ConfigLayout::Standard, true, true, true}},
        {"tessera-altera", {ConfigLayout::TesseraAltera, false, false, false}},
        {"tessera-altera+encrypt", {ConfigLayout::TesseraAltera, false, false, true}},
        {"tessera-xilinx", {ConfigLayout::TesseraXilinx, false, false, false}},
        {"tessera-xilinx+encrypt", {ConfigLayout::TesseraXilinx, false, false, true}},
        {"tessera-tavel", {ConfigLayout::TesseraTavel, false, false, false}},
    };

    std::printf("file %zu MiB, %d rounds; baseline: memcpy reading the file, writing the stream\n",
                mib, repeats);
    std::printf("%-28s %10s %12s %14s %7s\n", "layout", "stream MiB", "stream MB/s",
                "baseline MB/s", "ratio");
    double worst = 1e30;
    for (const Case& c : cases) {
        const auto len = ConfigStreamLength(n, c.options);
        if (!len) {
            std::printf("%-28s refused (stream longer than one transfer)\n", c.name);
            continue;
        }
        const std::size_t size = static_cast<std::size_t>(*len);
        std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[size]);
        std::memset(out.get(), 1, size);  // fault the buffer in before timing

        double build = 1e30;
        double copy = 1e30;
        std::vector<double> ratios;
        for (int r = 0; r < repeats; ++r) {
            const double b = Seconds([&] {
                BuildConfigStream(file, c.options, {out.get(), size});
            });
            const double m = Seconds([&] { CopyBaseline(file.data(), n, out.get(), size); });
            build = std::min(build, b);
            copy = std::min(copy, m);
            ratios.push_back(m / b);
        }
        std::sort(ratios.begin(), ratios.end());
        const double ratio = ratios[ratios.size() / 2];
        worst = std::min(worst, ratio);
        std::printf("%-28s %10.1f %12.0f %14.0f %7.2f\n", c.name, size / 1048576.0,
                    size / build / 1e6, size / copy / 1e6, ratio);
    }
    std::printf("lowest ratio %.2f\n", worst);
    return 0;
}
