// Builds every configuration-stream layout from one file-sized buffer and sets
// the rate beside memcpy of the same stream size, measured in the same run.
//
//   config_stream_bench [file MiB (64)] [repeats (5)]
//
// Each figure is the best of the repeats, into a buffer already faulted in, so
// the ratio compares the builder's own work with a plain copy of its output.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "features/config/config_stream.h"

using quillon::features::BuildConfigStream;
using quillon::features::ConfigLayout;
using quillon::features::ConfigOptions;
using quillon::features::ConfigStreamLength;

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double BestSeconds(int repeats, F&& f) {
    double best = 1e30;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = Clock::now();
        f();
        const auto t1 = Clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    return best;
}

struct Case {
    const char* name;
    ConfigOptions options;
};

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::size_t n = mib << 20;

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
        {"tessera-altera", {ConfigLayout::TesseraAltera, false, false, false}},
        {"tessera-altera+encrypt", {ConfigLayout::TesseraAltera, false, false, true}},
        {"tessera-xilinx", {ConfigLayout::TesseraXilinx, false, false, false}},
        {"tessera-xilinx+encrypt", {ConfigLayout::TesseraXilinx, false, false, true}},
        {"tessera-tavel", {ConfigLayout::TesseraTavel, false, false, false}},
    };

    std::printf("file %zu MiB, best of %d\n", mib, repeats);
    std::printf("%-26s %10s %12s %12s %12s %7s\n", "layout", "stream MiB", "file MB/s",
                "stream MB/s", "memcpy MB/s", "ratio");
    for (const Case& c : cases) {
        const auto len = ConfigStreamLength(n, c.options);
        if (!len) {
            std::printf("%-26s refused (stream longer than one transfer)\n", c.name);
            continue;
        }
        const std::size_t size = static_cast<std::size_t>(*len);
        std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[size]);
        std::unique_ptr<std::uint8_t[]> src(new std::uint8_t[size]);
        std::memset(out.get(), 1, size);  // fault both buffers in before timing
        std::memset(src.get(), 2, size);

        const double build = BestSeconds(repeats, [&] {
            BuildConfigStream(file, c.options, {out.get(), size});
        });
        const double copy = BestSeconds(repeats, [&] { std::memcpy(out.get(), src.get(), size); });
        const double streamRate = size / build / 1e6;
        const double copyRate = size / copy / 1e6;
        std::printf("%-26s %10.1f %12.0f %12.0f %12.0f %6.0f%%\n", c.name, size / 1048576.0,
                    n / build / 1e6, streamRate, copyRate, 100.0 * streamRate / copyRate);
    }
    return 0;
}
