#include "cli/progress_line.h"

#include <chrono>
#include <cinttypes>

namespace quillon::cli {

namespace {

using Unit = features::Reporter::Unit;

// A terminal redrawn more often only flickers.
constexpr std::int64_t kRedrawMs = 100;
// The rate of the first moments says little (the begin command, the first buffers).
constexpr std::uint64_t kRateAfterMs = 1000;

constexpr double kKiB = 1024.0;
constexpr double kMiB = 1024.0 * 1024.0;

std::string Printf(const char* format, auto... values) {
    char text[64];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// Both sizes in the one unit the larger of them needs.
std::string Sizes(std::uint64_t done, std::uint64_t total) {
    const std::uint64_t scale = total > done ? total : done;
    const auto one = [scale](std::uint64_t n) {
        if (scale >= 1024 * 1024) return Printf("%.1f MiB", static_cast<double>(n) / kMiB);
        if (scale >= 1024) return Printf("%.1f KiB", static_cast<double>(n) / kKiB);
        return Printf("%" PRIu64 " B", n);
    };
    return total == 0 ? one(done) : one(done) + " / " + one(total);
}

std::string TimeLeft(std::uint64_t seconds) {
    if (seconds >= 3600)
        return Printf("%" PRIu64 ":%02u:%02u left", seconds / 3600,
                      static_cast<unsigned>(seconds / 60 % 60),
                      static_cast<unsigned>(seconds % 60));
    return Printf("%" PRIu64 ":%02u left", seconds / 60, static_cast<unsigned>(seconds % 60));
}

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::string ProgressText(std::uint64_t done, std::uint64_t total, Unit unit,
                         std::uint64_t elapsedMs) {
    if (total > 0 && done > total) done = total;
    std::string text;
    switch (unit) {
        case Unit::Bytes:
            text = Sizes(done, total);
            break;
        case Unit::Steps:
            text = total == 0 ? Printf("%" PRIu64, done)
                              : Printf("%" PRIu64 " / %" PRIu64, done, total);
            break;
        case Unit::Percent:
            text = Printf("%" PRIu64 " %%", done);
            break;
    }
    if (elapsedMs < kRateAfterMs) return text;
    const double seconds = static_cast<double>(elapsedMs) / 1000.0;
    if (unit == Unit::Bytes)
        text += Printf("  %.1f MB/s", static_cast<double>(done) / seconds / 1e6);
    if (total > 0 && done > 0 && done < total) {
        // At the rate so far, rounded up: "0:00 left" only once it is done.
        const double left = seconds * static_cast<double>(total - done) / static_cast<double>(done);
        auto whole = static_cast<std::uint64_t>(left);
        if (static_cast<double>(whole) < left) ++whole;
        text += "  " + TimeLeft(whole);
    }
    return text;
}

void ProgressLine::Update(std::uint64_t done, std::uint64_t total, Unit unit) {
    if (!enabled_) return;
    const std::int64_t now = NowMs();
    // Every transfer reports its start as 0 done; a count that goes back is
    // another transfer too.
    if (!running_ || done == 0 || done < lastDone_) {
        running_ = true;
        startMs_ = now;
        drawnMs_ = now - kRedrawMs;
    }
    lastDone_ = done;
    if (total > 0 && done >= total) {
        running_ = false;
        Clear();
        return;
    }
    if (shown_ && now - drawnMs_ < kRedrawMs) return;
    drawnMs_ = now;
    const std::string text =
        ProgressText(done, total, unit, static_cast<std::uint64_t>(now - startMs_));
    std::fprintf(out_, "\r%s\x1b[K", text.c_str());
    std::fflush(out_);
    shown_ = true;
}

void ProgressLine::Clear() {
    if (!shown_) return;
    shown_ = false;
    std::fputs("\r\x1b[K", out_);
    std::fflush(out_);
}

}  // namespace quillon::cli
