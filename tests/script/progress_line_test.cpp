// quillon-run's progress line: the text for sizes, rates and times left, and
// that it writes only where it is enabled and leaves the line clear.

#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using quillon::cli::ProgressLine;
using quillon::cli::ProgressText;
using Unit = quillon::features::Reporter::Unit;

constexpr std::uint64_t kMiB = 1024 * 1024;

struct TextCase {
    std::uint64_t done, total;
    Unit unit;
    std::uint64_t elapsedMs;
    const char* text;
};

TEST(ProgressText, SizesRatesAndTimeLeft) {
    const TextCase cases[] = {
        {0, 256 * kMiB, Unit::Bytes, 0, "0.0 MiB / 256.0 MiB"},
        // No rate in the first second.
        {96 * kMiB, 256 * kMiB, Unit::Bytes, 999, "96.0 MiB / 256.0 MiB"},
        {96 * kMiB, 256 * kMiB, Unit::Bytes, 2500, "96.0 MiB / 256.0 MiB  40.3 MB/s  0:05 left"},
        {128 * kMiB, 256 * kMiB, Unit::Bytes, 4000, "128.0 MiB / 256.0 MiB  33.6 MB/s  0:04 left"},
        {1024 * kMiB, 4096 * kMiB, Unit::Bytes, 30000,
         "1024.0 MiB / 4096.0 MiB  35.8 MB/s  1:30 left"},
        {kMiB, 1024 * kMiB, Unit::Bytes, 10000, "1.0 MiB / 1024.0 MiB  0.1 MB/s  2:50:30 left"},
        // A transfer that hangs has a rate of 0 and no time left.
        {0, 256 * kMiB, Unit::Bytes, 2000, "0.0 MiB / 256.0 MiB  0.0 MB/s"},
        {256 * kMiB, 256 * kMiB, Unit::Bytes, 3000, "256.0 MiB / 256.0 MiB  89.5 MB/s"},
        // Total not known: what moved and the rate.
        {5 * kMiB, 0, Unit::Bytes, 2000, "5.0 MiB  2.6 MB/s"},
        {0, 0, Unit::Bytes, 0, "0 B"},
        // Small totals in the unit they need, both sides alike.
        {512 * 1024, kMiB, Unit::Bytes, 0, "0.5 MiB / 1.0 MiB"},
        {1536, 4096, Unit::Bytes, 0, "1.5 KiB / 4.0 KiB"},
        {100, 256, Unit::Bytes, 0, "100 B / 256 B"},
        {300, 256, Unit::Bytes, 0, "256 B / 256 B"},
        {3, 10, Unit::Steps, 500, "3 / 10"},
        {5, 10, Unit::Steps, 2000, "5 / 10  0:02 left"},
        {40, 100, Unit::Percent, 4000, "40 %  0:06 left"},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(ProgressText(c.done, c.total, c.unit, c.elapsedMs), c.text)
            << c.done << " of " << c.total << " after " << c.elapsedMs << " ms";
    }
}

std::string Drawn(bool enabled, void (*use)(ProgressLine&)) {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    ProgressLine line(out, enabled);
    use(line);
    std::fclose(out);
    std::string text(data, size);
    std::free(data);
    return text;
}

TEST(ProgressLine, DrawnInPlaceClearedAtTheEndAndNothingWhenOff) {
    const auto transfer = [](ProgressLine& line) {
        line.Update(0, 4096, Unit::Bytes);
        line.Update(4096, 4096, Unit::Bytes);
        line.Clear();
    };
    EXPECT_EQ(Drawn(true, transfer), "\r0.0 KiB / 4.0 KiB\x1b[K\r\x1b[K");
    EXPECT_EQ(Drawn(false, transfer), "");
    // Cleared for a log line, drawn again by the next report.
    EXPECT_EQ(Drawn(true,
                    [](ProgressLine& line) {
                        line.Update(0, 0, Unit::Bytes);
                        line.Clear();
                        line.Clear();
                        line.Update(10, 0, Unit::Bytes);
                    }),
              "\r0 B\x1b[K\r\x1b[K\r10 B\x1b[K");
}

}  // namespace
