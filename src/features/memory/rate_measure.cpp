#include "features/memory/rate_measure.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "features/busy_gate.h"
#include "features/long_work.h"
#include "link/bulk.h"
#include "platform/cause.h"
#include "platform/platform.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

struct Times {
    std::uint64_t sum = 0;
    std::uint64_t longest = 0;
    std::uint64_t shortest = 0xFFFFFFFF;

    void Add(std::uint64_t t) {
        sum += t;
        longest = std::max(longest, t);
        shortest = std::min(shortest, t);
    }
};

std::string N(std::uint64_t v) {
    return std::to_string(v);
}

std::string Header(const char* direction, std::uint32_t block) {
    return Lang::Fill(
        QT_TRANSLATE_NOOP("Lang", "-------- %1転送ﾚｰﾄ測定【転送ｻｲｽﾞ %2Bytes】 --------"), direction,
        block);
}

void LogSummary(Reporter& r, const Times& t, std::uint32_t block) {
    r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "AVERAGE転送ﾚｰﾄ → %1KBytes/s"),
                     N(std::uint64_t{kRateRepeats} * block / t.sum)));
    r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "BEST転送ﾚｰﾄ → %1KBytes/s"), N(block / t.shortest)));
    r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "WORST転送ﾚｰﾄ → %1KBytes/s"), N(block / t.longest)));
}

// Runs one direction: `transfer` moves one block; `line` is the per-transfer
// format's head ("MemWrite" or "MemRead") and `unit` its rate unit. `first`
// numbers the direction's transfers among all 32 for the progress display.
template <typename Transfer>
link::BulkOutcome Direction(Reporter& r, std::uint32_t block, const char* line, const char* unit,
                            int first, Transfer&& transfer) {
    r.Log(Header(line, block));
    Times times;
    for (int i = 0; i < kRateRepeats; ++i) {
        r.Progress(static_cast<std::uint64_t>(first + i + 1), 2 * kRateRepeats,
                   Reporter::Unit::Steps);
        const std::uint64_t start = platform::TickMs();
        const link::BulkResult moved = transfer();
        if (!moved.done()) return moved.outcome;
        std::uint64_t t = platform::TickMs() - start;
        if (t == 0) t = 1;
        char index[12];  // room for any int, so no compiler warns
        std::snprintf(index, sizeof index, "%02d", i);
        r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "%1%2, 転送時間:%3 ms, ﾚｰﾄ: %4 %5"), line, index,
                         N(t), N(block / t), unit));
        times.Add(t);
    }
    LogSummary(r, times, block);
    return link::BulkOutcome::Done;
}

}  // namespace

link::BulkOutcome MeasureRate(link::BoardHandle h, std::uint32_t blockSize, bool tessera,
                              Reporter& reporter) {
    const link::BulkSource fill = [](std::span<std::uint8_t> piece) {
        std::memset(piece.data(), 0xAA, piece.size());
        return true;
    };
    const link::BulkSink drop = [](std::span<const std::uint8_t>) { return true; };
    const link::BulkOutcome written = Direction(reporter, blockSize, "MemWrite", "KBytes/s", 0, [&] {
        return link::BulkWriteFramed(h, tessera, 0, blockSize, fill);
    });
    if (written != link::BulkOutcome::Done) return written;
    return Direction(reporter, blockSize, "MemRead", "KByte/s", kRateRepeats, [&] {
        return link::BulkReadFramed(h, false, 0, blockSize, drop);
    });
}

bool MeasureTransferRate(link::BoardHandle h, std::uint32_t blockSize, bool tessera,
                         Reporter& reporter) {
    return MeasureRate(h, blockSize, tessera, reporter) == link::BulkOutcome::Done;
}

bool RunRateMeasurement(link::BoardHandle h, int sizeIndex, bool tessera, Reporter& r,
                        const std::function<void(bool enabled)>& setControlsEnabled) {
    ClearCause();  // a new action
    BusyGate::Hold hold = TakeOrRefuse("転送ﾚｰﾄ測定", r);
    if (!hold) return false;
    if (sizeIndex < 0 || sizeIndex >= kRateBlockCount) sizeIndex = 0;
    r.Busy("Waiting for Measuring ...");
    setControlsEnabled(false);
    r.Pump();
    const link::BulkOutcome outcome = MeasureRate(h, kRateBlockSizes[sizeIndex].bytes, tessera, r);
    const bool ok = outcome == link::BulkOutcome::Done;
    if (ok) {
        r.Log(Lang::Tr("転送ﾚｰﾄ測定正常終了しました。"));
    } else if (outcome == link::BulkOutcome::Cancelled) {
        // The transfer in flight ended with its end command; the direction it
        // stopped in has no summary.
        r.Log(Lang::MarkedStd(kUserCancel));
        r.Status(Lang::MarkedStd(kUserCancel));
    } else {
        r.Fail(Lang::MarkedStd(kRateFailed));
        r.FailBox(Lang::MarkedStd(kRateFailed), MsgIcon::Warning);
    }
    r.BusyHide();
    setControlsEnabled(true);
    return ok;
}

}  // namespace quillon::features
